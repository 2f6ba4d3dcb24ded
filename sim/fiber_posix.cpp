#include <ucontext.h>

#include <cstdlib>

#include "sim/fiber.h"

struct SimFiber {
    ucontext_t context;
    void* stack;
    void (*entry)(void*);
    void* argument;
};

static ucontext_t host_context;
static SimFiber* running = nullptr;

void sim_fibers_init() {}

static void trampoline() {
    SimFiber* self = running;
    self->entry(self->argument);
    // The entry must not return; if it does, go back to the host for good.
    running = nullptr;
    setcontext(&host_context);
}

SimFiber* sim_fiber_create(void (*entry)(void*), void* argument, std::size_t stack_size) {
    auto* f = new SimFiber{};
    f->stack = std::malloc(stack_size);
    f->entry = entry;
    f->argument = argument;
    getcontext(&f->context);
    f->context.uc_stack.ss_sp = f->stack;
    f->context.uc_stack.ss_size = stack_size;
    f->context.uc_link = nullptr;
    makecontext(&f->context, trampoline, 0);
    return f;
}

void sim_fiber_resume(SimFiber* fiber) {
    running = fiber;
    swapcontext(&host_context, &fiber->context);
    running = nullptr;
}

void sim_fiber_yield() {
    SimFiber* self = running;
    swapcontext(&self->context, &host_context);
}

void sim_fiber_destroy(SimFiber* fiber) {
    if (!fiber) return;
    std::free(fiber->stack);
    delete fiber;
}

bool sim_fiber_running() { return running != nullptr; }
