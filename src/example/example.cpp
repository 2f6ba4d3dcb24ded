#include "src/example/example.h"

void example_each_frame(RunContext&, PluginState& state) { ++state.example.frames; }

void example_at_unload(RunContext& ctx, PluginState& state) {
    log_format(ctx, LogLevel::info, "Example: {:d} frames, {:d} presses", state.example.frames,
               state.example.presses);
}

static bool example_pressed(RunContext& ctx, PluginState& state) {
    const std::int64_t index = selected_marker(state.list_page);
    if (index < 0) return false;
    ++state.example.presses;
    log_format(ctx, LogLevel::info, "Example pressed on marker {:d}", index);
    return true;
}

const Button example_button{
    .control = control_example,
    .text = [](const PluginState& state) { return state.example.presses % 2 ? "Example: Odd" : "Example: Even"; },
    .turn = ButtonTurn::on_row,
    .enabled = [](const PluginState& state) { return state.list_page.rows.length > 0; },
    .press = example_pressed,
    .sound = "SELECT",
};
