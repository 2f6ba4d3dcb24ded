#include "src/markers/marker_editing.h"

#include <cstring>

#include "src/file_formats/marker_spacing.h"
#include "src/map/blips.h"
#include "src/map/location_names.h"
#include "src/markers/marker_list.h"
#include "src/markers/marker_persistence.h"
#include "src/markers/marker_undo.h"
#include "src/markers/markers_on_disk.h"

static void free_name(const RunContext& ctx, Marker& m) { free_marker_name(ctx.general, m.data.name); }
static void free_texts(const RunContext& ctx, Marker& m) { free_marker_texts(ctx.general, m.data); }

// A zero-terminated copy of `text` in the general allocator, or null when memory ran out.
static char* owned_copy(const RunContext& ctx, std::string_view text) {
    char* copy = static_cast<char*>(allocate_bytes(ctx.general, text.size() + 1, 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

// `text` in the frame's scratch memory; the text itself when there is no room.
static const char* scratch_copy(const RunContext& ctx, const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(allocate_bytes(ctx.scratch, size, 1));
    if (!copy) return text;
    std::memcpy(copy, text, size);
    return copy;
}

// Whether a marker stands closer to `position` than the markers' spacing.
static bool marker_nearby(const PluginState& state, const Vector3& position) {
    for (const Marker& m : state.markers) {
        if (distance_squared(m.data.position, vector3_to_position(position)) < minimum_spacing_squared) return true;
    }
    return false;
}

Marker* append_marker(RunContext& ctx, PluginState& state, const Vector3& position) {
    if (marker_nearby(state, position)) return nullptr;
    Marker m{};
    m.data.position = vector3_to_position(position);
    m.data.category = state.current_category;
    m.data.name = nullptr;
    m.data.timestamp._nsec = platform_now_ns();
    m.blip = 0;
    m.is_new = true;
    if (!array_append(state.markers, ctx.general, m)) return nullptr;
    marker_list_changed(ctx, state, MarkerListChange::added);
    return &state.markers[state.markers.length - 1];
}

bool try_add_marker(RunContext& ctx, PluginState& state, const Vector3& position) {
    if (marker_nearby(state, position)) {
        // The ring plays its refusal sound already.
        show_notice(state.notice, "A marker lies within 1 m of here already", platform_now_ns(), NoticeSound::none);
        return false;
    }
    if (!append_marker(ctx, state, position)) return false;
    save_data_to_disk(ctx, state);
    return true;
}

bool delete_marker_at(RunContext& ctx, PluginState& state, std::int64_t index) {
    if (!index_in_range(index, state.markers.length)) return false;
    const auto at = static_cast<std::size_t>(index);
    // Into deleted.json before markers.json loses it: a crash between the two
    // leaves it in both, never in neither. When it cannot be kept there, it stays.
    const char* label = scratch_copy(ctx, shown_marker_label(ctx, state, state.markers[at], PlaceLookup::quiet));
    if (!remember_deleted_marker(ctx, state, at, label)) return false;
    note_marker_deleted(ctx, state, at);
    Marker& m = state.markers[at];
    free_texts(ctx, m);
    remove_marker_blip(state, m);
    array_remove_ordered(state.markers, static_cast<std::size_t>(index));
    marker_list_changed(ctx, state, MarkerListChange::removed, static_cast<std::size_t>(index));
    save_data_to_disk(ctx, state);
    return true;
}

// The name changed, without a note of the change for a markers.json not read yet.
static void change_name(RunContext& ctx, PluginState& state, Marker& marker, std::string_view name) {
    const auto index = static_cast<std::size_t>(&marker - state.markers.data);
    if (!name.empty()) {
        if (char* copy = owned_copy(ctx, name)) {
            free_name(ctx, marker);
            marker.data.name = copy;
        }
    } else {
        free_name(ctx, marker);
    }
    marker_list_changed(ctx, state, MarkerListChange::renamed, index);
}

void set_marker_name(RunContext& ctx, PluginState& state, Marker& marker, std::string_view name) {
    note_marker_renamed(ctx, state, static_cast<std::size_t>(&marker - state.markers.data));
    change_name(ctx, state, marker, name);
}

bool set_marker_found(RunContext& ctx, PluginState& state, std::size_t index, bool found) {
    if (index >= state.markers.length || state.markers[index].data.is_found == found) return false;
    note_marker_found(ctx, state, index);
    MarkerDataV1& m = state.markers[index].data;
    m.is_found = found;
    m.found._nsec = found ? platform_now_ns() : 0;
    marker_list_changed(ctx, state, MarkerListChange::found, index);
    return true;
}

void rename_marker(RunContext& ctx, PluginState& state, Marker& marker, std::string_view name) {
    // An empty text takes the name away: said, since the marker is then called by its place or category.
    if (name.empty() && marker_has_name(marker.data))
        log_format(ctx, LogLevel::info, "Removed the name of {}", marker.data.name);
    // A keyboard confirmed without a change leaves nothing to undo.
    const std::string_view was = marker_has_name(marker.data) ? std::string_view(marker.data.name) : std::string_view();
    if (was != name) remember_renamed_marker(ctx, state, static_cast<std::size_t>(&marker - state.markers.data));
    set_marker_name(ctx, state, marker, name);
    save_data_to_disk(ctx, state);
}

bool put_marker_back(RunContext& ctx, PluginState& state, std::size_t at, MarkerDataV1& record) {
    if (at > state.markers.length || !array_append(state.markers, ctx.general, Marker{})) {
        free_marker_texts(ctx.general, record);
        log_format(ctx, LogLevel::error, "Could not restore the marker: {}", "out of memory");
        return false;
    }
    std::memmove(static_cast<void*>(state.markers.data + at + 1), state.markers.data + at,
                 (state.markers.length - 1 - at) * sizeof(Marker));
    state.markers[at] = Marker{record, 0, false, GuarmaSide::unknown};
    hand_over_marker_texts(record);
    note_marker_restored(ctx, state, at);
    marker_list_changed(ctx, state, MarkerListChange::joined, at);
    log_format(ctx, LogLevel::info, "Restored {}",
               scratch_copy(ctx, shown_marker_label(ctx, state, state.markers[at], PlaceLookup::quiet)));
    save_data_to_disk(ctx, state);
    return true;
}

void undo_marker_rename(RunContext& ctx, PluginState& state, Marker& marker, const char* name) {
    const char* was_called = scratch_copy(ctx, shown_marker_label(ctx, state, marker, PlaceLookup::quiet));
    note_rename_undone(ctx, state, static_cast<std::size_t>(&marker - state.markers.data));
    change_name(ctx, state, marker, name ? std::string_view(name) : std::string_view());
    log_format(ctx, LogLevel::info, "Renamed {} back to {}", was_called, has_text(name) ? name : "no name");
    save_data_to_disk(ctx, state);
}

void set_marker_note(RunContext& ctx, PluginState& state, Marker& marker, std::string_view note) {
    const auto index = static_cast<std::size_t>(&marker - state.markers.data);
    const char* label = scratch_copy(ctx, shown_marker_label(ctx, state, marker, PlaceLookup::quiet));
    if (note.empty()) {
        if (!marker_has_note(marker.data)) return;  // nothing to remove, nothing to save
        log_format(ctx, LogLevel::info, "Removed the note of {}", label);
        note_marker_noted(ctx, state, index);
        free_marker_name(ctx.general, marker.data.note);
    } else {
        char* copy = owned_copy(ctx, note);
        if (!copy) {
            log_format(ctx, LogLevel::error, "Could not keep the note of {}: {}", label, "out of memory");
            return;
        }
        note_marker_noted(ctx, state, index);
        free_marker_name(ctx.general, marker.data.note);
        marker.data.note = copy;
        log_format(ctx, LogLevel::info, "Wrote a note on {}", label);
    }
    save_data_to_disk(ctx, state);
}

bool move_marker_to_category(RunContext& ctx, PluginState& state, std::int64_t index, std::int64_t category) {
    if (!index_in_range(index, state.markers.length) || !index_in_range(category, state.categories.length)) {
        return false;
    }
    Marker& m = state.markers[static_cast<std::size_t>(index)];
    if (m.data.category == category) return false;
    // Named as the list named it before the move: a marker without a name or a
    // place is called by the category it leaves. Copied, as a place is the
    // game's text, which need not outlast the natives the move calls.
    const char* was_called = scratch_copy(ctx, shown_marker_label(ctx, state, m, PlaceLookup::quiet));
    note_marker_moved(ctx, state, static_cast<std::size_t>(index));
    m.data.category = category;
    marker_list_changed(ctx, state, MarkerListChange::moved, static_cast<std::size_t>(index));
    log_format(ctx, LogLevel::info, "Moved {} to {}", was_called,
               state.categories[static_cast<std::size_t>(category)].name);
    save_data_to_disk(ctx, state);
    return true;
}

std::int64_t category_after(const PluginState& state, std::int64_t category) {
    if (!index_in_range(category, state.categories.length)) return -1;
    return (category + 1) % static_cast<std::int64_t>(state.categories.length);
}
