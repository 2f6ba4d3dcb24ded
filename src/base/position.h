// A point of the world as three packed floats: how a marker keeps its place
// (the game passes points as a Vector3, scripthook/types.h).
#pragma once

struct Position {
    float x, y, z;
};
static_assert(sizeof(Position) == 12);

