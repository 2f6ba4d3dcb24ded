// Cooperative script fibers: the host switches into a script, the script
// switches back from scriptWait. Windows uses fibers, Linux ucontext.
#pragma once

#include <cstddef>

struct SimFiber;

// Call once on the host's thread before any other fiber call.
void sim_fibers_init();
SimFiber* sim_fiber_create(void (*entry)(void*), void* argument, std::size_t stack_size);
// From the host: run the fiber until it switches back.
void sim_fiber_resume(SimFiber* fiber);
// From inside a fiber: back to the host.
void sim_fiber_yield();
// The fiber must not be running.
void sim_fiber_destroy(SimFiber* fiber);
bool sim_fiber_running();
