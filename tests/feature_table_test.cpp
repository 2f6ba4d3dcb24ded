// The features' table: its rows in their order, and which of them act at each
// moment, in the order they act (the order is behaviour: the tour's trace pins it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/core/feature_row.h"

namespace {

using Names = std::vector<std::string>;

template <class Has>
Names rows_with(Has has) {
    Names names;
    for (const FeatureRow& row : feature_table) {
        if (has(row)) names.emplace_back(row.name);
    }
    return names;
}

}  // namespace

TEST(FeatureTable, ListsTheFeaturesInTheirOrder) {
    EXPECT_EQ(rows_with([](const FeatureRow&) { return true; }),
              (Names{"category page", "list page", "waypoint capture", "route", "markers file", "packs", "undo",
                     "search", "settings", "collections", "menu", "notice", "blips"}));
}

TEST(FeatureTable, EachMomentRunsItsRowsInTheTablesOrder) {
    struct Case {
        const char* moment;
        Names rows;
        Names expected;
    } cases[] = {
        {"setup", rows_with([](const FeatureRow& r) { return r.setup != nullptr; }), {"markers file", "packs"}},
        {"release",
         rows_with([](const FeatureRow& r) { return r.release != nullptr; }),
         {"category page", "list page", "route", "markers file", "packs", "undo", "search", "blips"}},
        {"start",
         rows_with([](const FeatureRow& r) { return r.start != nullptr; }),
         {"category page", "list page", "markers file", "packs", "undo", "settings", "collections", "menu"}},
        // The blip pass last: it spends what the frame has left of its natives.
        {"frame",
         rows_with([](const FeatureRow& r) { return r.frame != nullptr; }),
         {"waypoint capture", "route", "markers file", "settings", "collections", "menu", "notice", "blips"}},
        {"typing", rows_with([](const FeatureRow& r) { return r.typing != nullptr; }), {"list page", "search"}},
        {"saved", rows_with([](const FeatureRow& r) { return r.saved != nullptr; }), {"packs", "undo"}},
        // deleted.json before markers.json, which waits for it.
        {"before_save", rows_with([](const FeatureRow& r) { return r.before_save != nullptr; }), {"undo"}},
        // A late read of markers.json waits while the keyboard is open for a marker.
        {"holds_marker_index",
         rows_with([](const FeatureRow& r) { return r.holds_marker_index != nullptr; }),
         {"list page"}},
        {"unload", rows_with([](const FeatureRow& r) { return r.unload != nullptr; }), {"route", "markers file"}},
        // Walked bottom up by marker_list_changed: blips, route, and the list
        // page last (its search, then its rows).
        {"list_changed",
         rows_with([](const FeatureRow& r) { return r.list_changed != nullptr; }),
         {"list page", "route", "collections", "blips"}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.rows, c.expected) << c.moment;
}

TEST(FeatureTable, EachButtonSitsInItsFeaturesRowWithItsTurn) {
    using Turns = std::vector<ButtonTurn>;
    std::vector<std::pair<std::string, Turns>> rows;
    std::size_t buttons = 0;
    for (const FeatureRow& row : feature_table) {
        Turns turns;
        for (const Button* b : row.buttons) {
            if (b) turns.push_back(b->turn);
        }
        buttons += turns.size();
        if (!turns.empty()) rows.emplace_back(row.name, turns);
    }
    // The menu keeps room for `most_buttons`: one more is never made.
    EXPECT_LE(buttons, most_buttons);
    using T = ButtonTurn;
    EXPECT_EQ(rows, (std::vector<std::pair<std::string, Turns>>{
                        {"category page", {T::ring, T::ring}},  // "Add Here", "Add at Waypoint"
                        // "Edit Markers", "Rename", "Sort", "Delete", "Note", "Back"
                        {"list page", {T::ring, T::on_row, T::before_rows, T::on_row, T::on_row, T::leaving}},
                        {"route", {T::on_row}},
                        {"undo", {T::before_rows}},          // "Undo Delete" / "Undo Rename": the rows change
                        {"search", {T::on_row, T::on_row}},  // "Search", "Move"
                        {"settings", {T::ring, T::ring}},    // "Capture", "Hide on Map", on the ring
                        {"collections", {T::on_row}},        // "Found"
                    }));
}
