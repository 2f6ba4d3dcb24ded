// How a Vector3 reads in the log.
#pragma once

#include "src/base/log.h"
#include "src/base/text_builder.h"
#include "src/scripthook/types.h"

// Intended: a debugger's rendering of the record, padding left out
// ("Vector3{_x = {x = 1.5}, _y = {y = -20}, _z = {z = 3.25}}"); log readers
// and tests expect exactly this.
inline void render_vector3(TextBuilder& out, const void* value) {
    Vector3 v;
    std::memcpy(&v, value, sizeof v);
    text_append(out, "Vector3{_x = {x = ");
    text_append_f32_shortest(out, v._x.x);
    text_append(out, "}, _y = {y = ");
    text_append_f32_shortest(out, v._y.y);
    text_append(out, "}, _z = {z = ");
    text_append_f32_shortest(out, v._z.z);
    text_append(out, "}}");
}

inline LogArg log_arg(const Vector3& v) { return log_arg_custom(v, render_vector3); }
