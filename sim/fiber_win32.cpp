#include <windows.h>

#include "sim/fiber.h"

struct SimFiber {
    void* handle;
    void (*entry)(void*);
    void* argument;
};

static void* host_fiber = nullptr;
static SimFiber* running = nullptr;

// GetCurrentFiber reads the thread block through gs:, which g++ 12 takes for
// an out-of-bounds read of a zero-length array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void sim_fibers_init() {
    if (!host_fiber) {
        host_fiber = ConvertThreadToFiber(nullptr);
        if (!host_fiber) host_fiber = GetCurrentFiber();  // the thread was a fiber already
    }
}
#pragma GCC diagnostic pop

static void WINAPI fiber_start(void* parameter) {
    auto* self = static_cast<SimFiber*>(parameter);
    self->entry(self->argument);
    // The entry must not return; if it does, go back to the host for good.
    running = nullptr;
    SwitchToFiber(host_fiber);
}

SimFiber* sim_fiber_create(void (*entry)(void*), void* argument, std::size_t stack_size) {
    auto* f = new SimFiber{nullptr, entry, argument};
    f->handle = CreateFiber(stack_size, fiber_start, f);
    if (!f->handle) {
        delete f;
        return nullptr;
    }
    return f;
}

void sim_fiber_resume(SimFiber* fiber) {
    running = fiber;
    SwitchToFiber(fiber->handle);
    running = nullptr;
}

void sim_fiber_yield() { SwitchToFiber(host_fiber); }

void sim_fiber_destroy(SimFiber* fiber) {
    if (!fiber) return;
    if (fiber->handle) DeleteFiber(fiber->handle);
    delete fiber;
}

bool sim_fiber_running() { return running != nullptr; }
