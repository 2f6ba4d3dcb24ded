// The features' buttons (`Button` in src/core/feature_row.h, listed in the
// rows of the features' table) as prompts of the game: made at a script
// start, shown with the full menu, their presses taken in the menu's tick,
// their texts set again when what they say changes. A button's place among
// all the table's buttons, in order, is where the menu keeps its prompt
// (`Menu::buttons`) and its press memory (`PressMemory::buttons`).
#pragma once

#include "src/base/run_context.h"
#include "src/core/feature_row.h"
#include "src/scripthook/types.h"
#include "src/state/state.h"

// At a script start (the menu's row, after the settings are read): every
// button's prompt, in the table's order, which is the order the game lists
// them in. The ring's are shown (in the map's prompt group); the full menu's
// wait, hidden and disabled, for the full menu.
void make_buttons(PluginState& state);
// Shows (enabled) or hides (disabled) the full menu's prompts, as the full
// menu opens and closes; the ring's the other way round.
void show_full_menu_buttons(PluginState& state, bool on);
// The menu's tick takes the presses of the buttons of `turn`, in the table's
// order: a button with `enabled` tells the game whether it is (at every tick,
// or when that changes), its press or hold is tested, and a new press of an
// enabled button runs its `press`; when that acted, a hold starts again and
// the button's sound plays.
void take_presses(RunContext& ctx, PluginState& state, ButtonTurn turn);
// The texts of the buttons of `turn` follow what their `text` says now (a text
// is set only when it changed).
void texts_follow(PluginState& state, ButtonTurn turn);
// The same for one button, where its feature changes what it says outside a
// press (a search started from the keyboard, or ended as the menu closes).
void button_text_follows(PluginState& state, const Button& button);
// The button's prompt (0 for a button not in the table, or before its prompt is made).
Prompt button_prompt(const PluginState& state, const Button& button);
