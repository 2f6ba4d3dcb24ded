// Marker blips: dressing, the nearest markers past the limit, following the
// player without churn, the limit and its lowering, stale handles, the Guarma
// divide, what a steady frame costs, and the count of markers holding a blip.
#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>

#include "sim_fixture.h"
#include "src/map/blips.h"
#include "src/markers/marker_editing.h"
#include "src/markers/marker_persistence.h"
#include "src/script_main.h"

namespace {

struct Spot {
    float x, y, z;
};

std::string markers_file(const std::vector<Spot>& spots, std::int64_t category = 1) {
    std::vector<TextMarker> markers;
    for (const Spot& p : spots) markers.push_back(TextMarker{p.x, p.y, p.z, category, "", "", std::nullopt});
    return markers_file_text(markers);
}

// `count` markers on the x axis, 10 apart from `x0`.
std::string markers_file(int count, float x0 = 0) {
    std::vector<Spot> spots;
    for (int i = 0; i < count; ++i) spots.push_back({x0 + static_cast<float>(i) * 10, 0, 0});
    return markers_file(spots);
}

// Markers scattered over a square of side `size` centred on (cx, cy).
std::vector<Spot> cluster(int count, float cx, float cy, float size, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-size / 2, size / 2);
    std::vector<Spot> spots;
    for (int i = 0; i < count; ++i) spots.push_back({std::round(cx + d(rng)), std::round(cy + d(rng)), 0});
    return spots;
}

// 1,200 markers: 700 around (4000, 4000) first in the file, then the 500
// around the origin, where the player starts.
std::vector<Spot> two_clusters() {
    std::vector<Spot> spots = cluster(700, 4000, 4000, 1500, 1);
    std::vector<Spot> near = cluster(500, 0, 0, 1500, 2);
    spots.insert(spots.end(), near.begin(), near.end());
    return spots;
}

class BlipTest : public SimTest {
protected:
    void start(const std::string& markers, const std::string& scenario = "{frames: 100000}") {
        write_markers(markers);
        begin(scenario);
        frames(1);  // the script's start: markers loaded, no blip yet
    }
    // The choice is made and all of it is on the map (the log's count may
    // still wait for the sides of farther markers).
    static bool in_place() {
        const BlipChoice& c = plugin_state.blip_choice;
        return c.step == BlipChoiceStep::none && c.up_to_date;
    }
    // Runs frames until the blips are in place (at least one, at most
    // `most`); the frames it took.
    int until_in_place(int most = 1000) {
        int n = 0;
        do {
            frames(1);
            ++n;
        } while (!in_place() && n < most);
        EXPECT_TRUE(in_place()) << "not in place after " << n << " frames";
        return n;
    }
    // ...and until every marker's side of the divide is known: from then on
    // nothing is left for the blip pass to do but its checks.
    int until_at_rest(int most = 1000) {
        int n = 0;
        do {
            frames(1);
            ++n;
        } while (!(in_place() && plugin_state.blip_choice.sides_known_to >= plugin_state.markers.length) && n < most);
        EXPECT_TRUE(in_place()) << "not in place after " << n << " frames";
        return n;
    }
    std::int64_t live_blips() const {
        std::int64_t n = 0;
        for (const Marker& m : plugin_state.markers) n += m.blip != 0 && session->host.game.blips.count(m.blip);
        return n;
    }
    std::int64_t walk_count() const {
        std::int64_t n = 0;
        for (const Marker& m : plugin_state.markers) n += m.blip != 0;
        return n;
    }
    // The markers holding a live blip, by index.
    std::set<std::size_t> holders() const {
        std::set<std::size_t> out;
        for (std::size_t i = 0; i < plugin_state.markers.length; ++i) {
            const Blip b = plugin_state.markers[i].blip;
            if (b != 0 && session->host.game.blips.count(b)) out.insert(i);
        }
        return out;
    }
    // By a sort of the whole list: the `k` markers nearest to `from` (ties by
    // list order) among those whose category is in the table and for which
    // `same_side` holds.
    std::set<std::size_t> nearest(std::size_t k, Spot from,
                                  const std::function<bool(const Marker&)>& same_side = nullptr) const {
        std::vector<std::pair<float, std::size_t>> by_distance;
        const Position p{from.x, from.y, from.z};
        for (std::size_t i = 0; i < plugin_state.markers.length; ++i) {
            const Marker& m = plugin_state.markers[i];
            if (m.data.category < 0 || m.data.category >= 10) continue;
            if (same_side && !same_side(m)) continue;
            by_distance.push_back({distance_squared(m.data.position, p), i});
        }
        std::sort(by_distance.begin(), by_distance.end());
        std::set<std::size_t> out;
        for (std::size_t i = 0; i < k && i < by_distance.size(); ++i) out.insert(by_distance[i].second);
        return out;
    }
    void place_player(Spot at) {
        game().player_position[0] = at.x;
        game().player_position[1] = at.y;
        game().player_position[2] = at.z;
    }
    std::vector<std::string> showing_lines() const {
        std::vector<std::string> out;
        for (const std::string& m : messages()) {
            if (m.rfind("Showing the nearest", 0) == 0) out.push_back(m);
        }
        return out;
    }
    std::size_t count_in_frame(const std::string& native, std::int64_t frame) const {
        return calls(native, frame).size();
    }
    // The natives the blip pass called in `frame`: those after the texture requests.
    std::map<std::string, int> blip_pass_natives(std::int64_t frame) const {
        std::map<std::string, int> per_native;
        bool past_textures = false;
        for (const SimTraceEntry& e : session->host.trace) {
            if (e.frame != frame) continue;
            const std::string n = e.signature->name;
            if (n == "request_texture_dictionary") {
                past_textures = true;
                continue;
            }
            if (past_textures) ++per_native[n];
        }
        return per_native;
    }
};

constexpr int frames_per_second = 60;

}  // namespace

// ---- one blip ------------------------------------------------------------------------------

TEST_F(BlipTest, EachBlipIsDressedInOrderAndOnlyValidCategoriesGetOne) {
    start(R"({"markers": [
        {"position": [10, 20, 30], "category": 5, "name": "Camp"},
        {"position": [40, 50, 60], "category": 0, "name": ""},
        {"position": [70, 80, 90], "category": 12}]})");
    frames(1);
    ASSERT_NE(plugin_state.markers[0].blip, 0u);
    ASSERT_NE(plugin_state.markers[1].blip, 0u);
    EXPECT_EQ(plugin_state.markers[2].blip, 0u) << "a category outside the table never gets a blip";
    const SimBlip& chest = game().blips.at(plugin_state.markers[0].blip);
    EXPECT_EQ(chest.style, sim_joaat("BLIP_STYLE_CREATOR_DEFAULT"));
    EXPECT_EQ(chest.sprite, sim_joaat("blip_chest"));
    EXPECT_EQ(chest.name, "Camp");
    EXPECT_EQ(chest.x, 10.0f);
    EXPECT_EQ(chest.z, 30.0f);
    EXPECT_EQ(chest.modifiers, (std::vector<std::uint32_t>{0xF366785F, 0xECA93E13})) << "loaded markers are not new";
    const SimBlip& flag = game().blips.at(plugin_state.markers[1].blip);
    EXPECT_EQ(flag.name, "Marker (Flag)") << "an empty name shows the category's";
    EXPECT_EQ(flag.modifiers, (std::vector<std::uint32_t>{0xF366785F})) << "the flag has no colour modifier";

    // The calls for one blip, in order.
    std::vector<std::string> frame_calls = natives_in_frame(1);
    auto first = std::find(frame_calls.begin(), frame_calls.end(), "create_blip_at_coords");
    ASSERT_NE(first, frame_calls.end());
    std::vector<std::string> seq(first - 1, first + 6);
    EXPECT_EQ(seq, (std::vector<std::string>{"hash_of_name", "create_blip_at_coords", "blip_exists", "hash_of_name",
                                             "set_blip_sprite", "set_blip_name", "set_blip_coords"}));
}

TEST_F(BlipTest, ANewMarkerGetsTheNewMarkerModifierOnItsFirstBlipOnly) {
    start("{}");
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(100, 100, 10));
    });
    frames(1);
    ASSERT_NE(plugin_state.markers[0].blip, 0u);
    EXPECT_FALSE(plugin_state.markers[0].is_new);
    EXPECT_EQ(game().blips.at(plugin_state.markers[0].blip).modifiers,
              (std::vector<std::uint32_t>{0xF366785F, 0x95BD6684}));
    game().blips.clear();  // the game drops it: the next blip is not "new" any more
    frames(frames_per_second);
    ASSERT_NE(plugin_state.markers[0].blip, 0u);
    EXPECT_EQ(game().blips.at(plugin_state.markers[0].blip).modifiers, (std::vector<std::uint32_t>{0xF366785F}));
}

// ---- the nearest past the limit ------------------------------------------------------------

TEST_F(BlipTest, PastTheLimitTheNearestHoldBlipsWhereverTheyStandInTheList) {
    start(markers_file(two_clusters()));
    until_in_place();
    EXPECT_EQ(holders(), nearest(500, {0, 0, 0}));
    for (std::size_t i = 700; i < 1200; ++i) EXPECT_NE(plugin_state.markers[i].blip, 0u) << i;
    EXPECT_EQ(plugin_state.blip_choice.markers_with_blip, 500);
    until_at_rest();  // the count waits for every marker's side
    EXPECT_EQ(showing_lines(), (std::vector<std::string>{"Showing the nearest 500 of 1200 markers on the map"}));

    // The player rides to the other cluster, 100 m a frame, and stops there.
    const int ride = 57;
    for (int f = 1; f <= ride; ++f) {
        place_player({4000.0f * static_cast<float>(f) / ride, 4000.0f * static_cast<float>(f) / ride, 0});
        frames(1);
    }
    frames(8 * frames_per_second);
    const std::set<std::size_t> there = nearest(500, {4000, 4000, 0});
    EXPECT_EQ(holders(), there);
    EXPECT_EQ(std::count_if(there.begin(), there.end(), [](std::size_t i) { return i < 700; }), 500)
        << "all of them in the cluster listed first";
    EXPECT_EQ(live_blips(), 500);
    EXPECT_EQ(static_cast<std::int64_t>(game().blips.size()), 500) << "the blips left behind were removed";
    EXPECT_EQ(showing_lines().size(), 1u) << "said once";
}

TEST_F(BlipTest, NothingIsSaidWhenAllFit) {
    start(markers_file(500));
    frames(3 * frames_per_second);
    EXPECT_EQ(live_blips(), 500);
    EXPECT_EQ(showing_lines(), std::vector<std::string>{});
}

TEST_F(BlipTest, TiesInDistanceGoByListOrder) {
    // 501 markers on the x axis around the player: the two 250 m away are
    // tied for the last place, and the one listed first takes it.
    std::vector<Spot> spots;
    for (int i = 0; i < 501; ++i) spots.push_back({static_cast<float>(i - 250), 0, 0});
    std::swap(spots.front(), spots.back());  // +250 now comes first in the list, -250 last
    start(markers_file(spots), "{frames: 1000, world: {player: {position: [-1, 0, 0]}}}");
    until_in_place();
    EXPECT_EQ(plugin_state.markers[0].blip, 0u) << "+250 is 251 m away";
    EXPECT_NE(plugin_state.markers[500].blip, 0u) << "-250 is 249 m away";
    place_player({0, 0, 0});
    frames(2 * frames_per_second);
    until_in_place();
    EXPECT_NE(plugin_state.markers[0].blip, 0u) << "+250, listed first";
    EXPECT_EQ(plugin_state.markers[500].blip, 0u) << "-250, listed last, gave its blip up";
    EXPECT_EQ(holders(), nearest(500, {0, 0, 0}));
}

// ---- following the player ------------------------------------------------------------------

TEST_F(BlipTest, AMarkerThatStaysAmongTheNearestKeepsItsBlip) {
    start(markers_file(cluster(700, 0, 0, 800, 3)));
    until_in_place();
    std::map<std::size_t, Blip> before;
    for (std::size_t i : holders()) before[i] = plugin_state.markers[i].blip;
    const std::size_t calls_before = session->host.trace.size();

    place_player({60, 0, 0});  // past the distance that makes a new choice
    until_in_place();
    const std::set<std::size_t> now = nearest(500, {60, 0, 0});
    ASSERT_EQ(holders(), now);
    std::size_t kept = 0, created = 0, removed = 0;
    for (std::size_t i : now) {
        if (before.count(i)) {
            EXPECT_EQ(plugin_state.markers[i].blip, before[i]) << "marker " << i << " kept its blip";
            ++kept;
        }
    }
    for (std::size_t t = calls_before; t < session->host.trace.size(); ++t) {
        const std::string n = session->host.trace[t].signature->name;
        created += n == "create_blip_at_coords";
        removed += n == "remove_blip";
    }
    EXPECT_GT(kept, 400u);
    EXPECT_LT(kept, 500u) << "the move changed which markers are nearest";
    EXPECT_EQ(created, 500 - kept);
    EXPECT_EQ(removed, 500 - kept);
}

TEST_F(BlipTest, AShortMoveIsFollowedOnceThePlayerHasStoodStillForTwoSeconds) {
    // 600 markers 2 m apart on the x axis, centred on the player: a move of
    // 30 m changes which 500 are nearest, but is too short for a new choice.
    std::vector<Spot> spots;
    for (int i = 0; i < 600; ++i) spots.push_back({static_cast<float>(2 * i - 600), 0, 0});
    start(markers_file(spots));
    until_in_place();
    const std::set<std::size_t> at_start = nearest(500, {0, 0, 0});
    ASSERT_EQ(holders(), at_start);

    place_player({30, 0, 0});
    const std::set<std::size_t> there = nearest(500, {30, 0, 0});
    ASSERT_NE(there, at_start);
    frames(frames_per_second);
    EXPECT_EQ(holders(), at_start) << "a second after: not yet";
    frames(frames_per_second + 2);
    EXPECT_EQ(holders(), there) << "two seconds still: exactly the nearest";

    // Standing on, nothing changes.
    const std::size_t calls_before = session->host.trace.size();
    frames(3 * frames_per_second);
    for (std::size_t t = calls_before; t < session->host.trace.size(); ++t) {
        const std::string n = session->host.trace[t].signature->name;
        ASSERT_NE(n, "create_blip_at_coords");
        ASSERT_NE(n, "remove_blip");
        ASSERT_NE(n, "zone_at_coords");
    }
}

TEST_F(BlipTest, ChangesToTheListAreFollowedAtOnce) {
    start(markers_file(two_clusters()));
    until_in_place();
    // A marker added beside the player takes a place among the nearest.
    in_script([] {
        RunContext ctx = script_context();
        plugin_state.current_category = 3;
        try_add_marker(ctx, plugin_state, position_to_vector3(1, 1, 0));
    });
    frames(1);
    ASSERT_EQ(plugin_state.markers.length, 1201u);
    EXPECT_NE(plugin_state.markers[1200].blip, 0u);
    EXPECT_EQ(holders(), nearest(500, {0, 0, 0}));

    // Deleting one of the nearest gives its place to the next nearest.
    const std::set<std::size_t> before = holders();
    const std::size_t gone = *before.begin();
    in_script([gone] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, static_cast<std::int64_t>(gone));
    });
    frames(1);
    EXPECT_EQ(holders(), nearest(500, {0, 0, 0}));
    EXPECT_EQ(live_blips(), 500);
    EXPECT_EQ(static_cast<std::int64_t>(game().blips.size()), 500);
}

TEST_F(BlipTest, WithManyMarkersTheChoiceIsSpreadOverFramesAndAChangeMeanwhileStartsItAfresh) {
    // Keys for every marker, then three passes over them: the frames a frame's share pays for.
    const std::size_t count = 70000;
    const auto frames_per_choice =
        static_cast<int>((count * (blip_key_work + 3) + blip_choice_work_per_frame - 1) / blip_choice_work_per_frame);
    ASSERT_GT(frames_per_choice, 2);
    start(markers_file(cluster(static_cast<int>(count), 0, 0, 14000, 4)));
    frames(frames_per_choice - 1);
    EXPECT_EQ(walk_count(), 0) << "still at work on the choice";
    EXPECT_NE(plugin_state.blip_choice.step, BlipChoiceStep::none);
    frames(1);
    EXPECT_GT(walk_count(), 0) << "made, and put on the map from the same frame on...";
    EXPECT_LT(walk_count(), 500) << "...a frame's room at a time";
    until_in_place();
    EXPECT_EQ(holders(), nearest(500, {0, 0, 0}));

    // The player moves on; while the new choice is under way, the blips stay
    // and a deleted marker makes it start again.
    place_player({300, 0, 0});
    frames(frames_per_choice - 2);
    EXPECT_EQ(holders(), nearest(500, {0, 0, 0}));
    const std::size_t gone = *nearest(1, {300, 0, 0}).begin();
    ASSERT_NE(plugin_state.markers[gone].blip, 0u);
    in_script([gone] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, static_cast<std::int64_t>(gone));
    });
    frames(frames_per_choice - 1);
    EXPECT_EQ(walk_count(), 499) << "only the deleted marker's blip went";
    until_in_place();
    EXPECT_EQ(holders(), nearest(500, {300, 0, 0}));
}

// ---- the limit -----------------------------------------------------------------------------

TEST_F(BlipTest, RefusingThe30thBlipDropsTheLimitToZeroRemovesAllAndTheNextPassRebuilds) {
    start(markers_file(40), "{frames: 100, blips: {capacity: 29}}");
    frames(1);
    EXPECT_EQ(plugin_state.blip_choice.blip_limit, 0);
    EXPECT_EQ(live_blips(), 0);
    EXPECT_EQ(plugin_state.blip_choice.markers_with_blip, 0);
    const std::int64_t f = game().frame - 1;
    EXPECT_EQ(count_in_frame("create_blip_at_coords", f), 30u);
    EXPECT_EQ(count_in_frame("remove_blip", f), 29u) << "every marker holding a blip; the refused one holds 0";
    frames(1);  // the limit is back at 500 and the same happens again
    EXPECT_EQ(count_in_frame("create_blip_at_coords", f + 1), 30u);
    EXPECT_EQ(plugin_state.blip_choice.blip_limit, 0);
    EXPECT_EQ(showing_lines(), std::vector<std::string>{}) << "a limit of 0 does not last";
}

TEST_F(BlipTest, RefusingThe120thBlipKeepsTheNearest69) {
    // 200 markers on the x axis, the player past the last: the nearest are last in the list.
    start(markers_file(200), "{frames: 1000, world: {player: {position: [2000, 0, 0]}}, blips: {capacity: 119}}");
    until_at_rest();
    EXPECT_EQ(plugin_state.blip_choice.blip_limit, 69);
    EXPECT_EQ(calls("create_blip_at_coords").size(), 120u);
    EXPECT_EQ(calls("remove_blip").size(), 50u) << "the farthest 50 go, the nearest keep theirs";
    EXPECT_EQ(holders(), nearest(69, {2000, 0, 0}));
    for (std::size_t i = 131; i < 200; ++i) EXPECT_NE(plugin_state.markers[i].blip, 0u) << i;
    EXPECT_EQ(showing_lines(), (std::vector<std::string>{"Showing the nearest 69 of 200 markers on the map"}));

    frames(3 * frames_per_second);
    EXPECT_EQ(holders(), nearest(69, {2000, 0, 0}));
    EXPECT_EQ(plugin_state.blip_choice.blip_limit, 69);
    EXPECT_EQ(showing_lines().size(), 1u);
}

TEST_F(BlipTest, AGameThatRefusesPast119BlipsShowsTheNearestOfTheLoweredLimit) {
    start(markers_file(two_clusters()), "{frames: 100000, blips: {capacity: 119}}");
    until_at_rest();
    EXPECT_EQ(plugin_state.blip_choice.blip_limit, 69);
    EXPECT_EQ(holders(), nearest(69, {0, 0, 0}));
    EXPECT_EQ(showing_lines(), (std::vector<std::string>{"Showing the nearest 69 of 1200 markers on the map"}));
    place_player({4000, 4000, 0});
    frames(8 * frames_per_second);
    EXPECT_EQ(holders(), nearest(69, {4000, 4000, 0}));
    EXPECT_EQ(game().blips_refused, 1) << "the lowered limit holds";
}

TEST_F(BlipTest, WhenTheGameIsFullANewMarkerBesideThePlayerStillGetsItsPlaceAmongTheLoweredNearest) {
    start(markers_file(cluster(700, 0, 0, 800, 3)));
    until_in_place();
    ASSERT_EQ(live_blips(), 500);
    game().blip_capacity = 490;  // other scripts took blips meanwhile: the game makes no more for us
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(1, 1, 0));
    });
    frames(1);  // refused: the limit drops to 449 (499 held - 50)
    EXPECT_EQ(plugin_state.blip_choice.blip_limit, 449);
    until_in_place();
    EXPECT_NE(plugin_state.markers[700].blip, 0u) << "the nearest of all";
    EXPECT_EQ(holders(), nearest(449, {0, 0, 0}));
}

// ---- stale handles, steady frames ----------------------------------------------------------

TEST_F(BlipTest, ABlipTheGameDroppedIsMadeAgainWithinASecond) {
    start(markers_file(600));
    until_in_place();
    ASSERT_EQ(live_blips(), 500);
    for (std::size_t which : {0u, 250u, 499u}) {
        const Blip old = plugin_state.markers[which].blip;
        ASSERT_NE(old, 0u);
        game().blips.erase(old);  // the game dropped it
        int waited = 0;
        while (plugin_state.markers[which].blip == old && waited < 2 * frames_per_second) {
            frames(1);
            ++waited;
        }
        EXPECT_LE(waited, frames_per_second) << "marker " << which;
        auto pre = calls("blip_pre_remove");
        ASSERT_FALSE(pre.empty());
        EXPECT_EQ(pre.back()->args[0], old) << "the stale handle is removed first";
        frames(1);
        EXPECT_NE(plugin_state.markers[which].blip, 0u);
        EXPECT_TRUE(game().blips.count(plugin_state.markers[which].blip));
        EXPECT_EQ(live_blips(), 500);
        EXPECT_EQ(plugin_state.blip_choice.markers_with_blip, 500);
    }
}

TEST_F(BlipTest, ASteadyFrameOnlyChecksAFewBlipsAndEveryBlipInTurn) {
    start(markers_file(two_clusters()));
    until_at_rest();
    ASSERT_EQ(live_blips(), 500);
    std::set<std::uint64_t> checked;
    const int second = frames_per_second;
    for (int f = 0; f < second; ++f) {
        frames(1);
        const std::int64_t frame = game().frame - 1;
        const std::map<std::string, int> pass = blip_pass_natives(frame);
        EXPECT_EQ(pass, (std::map<std::string, int>{{"blip_exists", 12}})) << "frame " << frame;
        EXPECT_LE(natives_in_frame(frame).size(), 40u);
        for (const SimTraceEntry* e : calls("blip_exists", frame)) checked.insert(e->args[0]);
    }
    EXPECT_EQ(checked.size(), 500u) << "every blip looked at within a second";
}

// The process heap, except for what the blips ask for.
Allocator heap_but_not_for_blips;

TEST_F(BlipTest, WithoutMemoryForAChoiceTheMapKeepsItsBlipsAndTheLogSaysSoOnce) {
    start(markers_file(two_clusters()));
    until_in_place();
    const std::set<std::size_t> before = holders();
    ASSERT_EQ(before.size(), 500u);

    AllocationTracker& tracker = runtime_globals.allocation_tracker;
    const Allocator backing = tracker.backing;
    heap_but_not_for_blips = backing;
    tracker.backing.allocate = [](void* data, std::size_t size, std::size_t align,
                                  const std::source_location& where) -> void* {
        if (std::string_view(where.file_name()).ends_with("src/map/blips.cpp")) return nullptr;
        return heap_but_not_for_blips.allocate(data, size, align, where);
    };
    // One more marker: its keys need room the choice cannot have.
    in_script([] {
        RunContext ctx = script_context();
        try_add_marker(ctx, plugin_state, position_to_vector3(2, 3, 0));
    });
    frames(frames_per_second);
    EXPECT_EQ(holders(), before) << "the blips there were stay";
    EXPECT_EQ(plugin_state.markers[1200].blip, 0u);
    const std::string said =
        "Could not choose which markers to show on the map: out of memory. The map keeps the blips it has; restart "
        "the game if markers near you are missing";
    const std::vector<std::string> logged = messages();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), said), 1);

    tracker.backing = backing;  // memory again: the choice is made at the next frame
    frames(1);
    EXPECT_NE(plugin_state.markers[1200].blip, 0u);
    EXPECT_EQ(holders(), nearest(500, {0, 0, 0}));
}

// ---- the Guarma divide ---------------------------------------------------------------------

TEST_F(BlipTest, BlipsFollowThePlayersSideOfTheGuarmaDivideAndEachSideIsAskedOnce) {
    const std::string guarma_file = R"({"markers": [
        {"position": [10, 10, 0], "category": 1},
        {"position": [5010, 5010, 0], "category": 1},
        {"position": [30, 30, 0], "category": 1}]})";
    start(guarma_file, R"({frames: 1000, zones: [{type: "STATE", hash: "0x7356B8ED", rect: [5000, 5000, 6000, 6000]},
                                             {type: "STATE", hash: "0xB32957A3", rect: [0, 0, 1000, 1000]}],
                          world: {player: {position: [20, 20, 0]}},
                          events: [{frame: 5, player: {position: [5020, 5020, 0]}},
                                   {frame: 200, player: {position: [25, 25, 0]}}]})");
    frames(1);
    EXPECT_NE(plugin_state.markers[0].blip, 0u) << "mainland marker, player on the mainland";
    EXPECT_EQ(plugin_state.markers[1].blip, 0u) << "Guarma marker waits";
    EXPECT_NE(plugin_state.markers[2].blip, 0u);
    frames(4);  // the player reaches Guarma
    EXPECT_NE(plugin_state.markers[1].blip, 0u);
    EXPECT_EQ(plugin_state.markers[0].blip, 0u) << "only the player's side is on the map";
    EXPECT_EQ(holders(), (std::set<std::size_t>{1}));
    frames(200);  // and back
    EXPECT_EQ(holders(), (std::set<std::size_t>{0, 2}));

    // Each marker's side was asked of the game once, however often the choice was made.
    std::map<std::pair<float, float>, int> asked;
    for (const SimTraceEntry* e : calls("zone_at_coords")) ++asked[{f32_of(e->args[0]), f32_of(e->args[1])}];
    EXPECT_EQ(asked[std::make_pair(10.0f, 10.0f)], 1);
    EXPECT_EQ(asked[std::make_pair(5010.0f, 5010.0f)], 1);
    EXPECT_EQ(asked[std::make_pair(30.0f, 30.0f)], 1);
}

// ---- the list and the count ----------------------------------------------------------------

TEST_F(BlipTest, DeletingAMarkerRemovesItsBlip) {
    start(markers_file(2));
    frames(1);
    const Blip first = plugin_state.markers[0].blip;
    ASSERT_NE(first, 0u);
    in_script([] {
        RunContext ctx = script_context();
        delete_marker_at(ctx, plugin_state, 0);
    });
    EXPECT_FALSE(game().blips.count(first));
    EXPECT_EQ(plugin_state.blip_choice.markers_with_blip, 1);
}

TEST_F(BlipTest, TheCountOfMarkersWithABlipAlwaysMatchesAWalk) {
    start(markers_file(30), "{frames: 2000, blips: {capacity: 25}}");
    std::mt19937 rng(5);
    for (int step = 0; step < 300; ++step) {
        switch (rng() % 6) {
            case 0: frames(1); break;  // the pass: creation, refusal, trimming
            case 1: {                  // the game drops some blips
                for (int k = static_cast<int>(rng() % 5); k > 0 && !game().blips.empty(); --k)
                    game().blips.erase(game().blips.begin());
                frames(1);
                break;
            }
            case 2: {
                const auto i = static_cast<std::int64_t>(rng() % (plugin_state.markers.length + 1));
                in_script([i] {
                    RunContext ctx = script_context();
                    delete_marker_at(ctx, plugin_state, i);
                });
                break;
            }
            case 3: {
                const float x = static_cast<float>(rng() % 100000);
                in_script([x] {
                    RunContext ctx = script_context();
                    try_add_marker(ctx, plugin_state, position_to_vector3(x, 7, 0));
                });
                break;
            }
            case 4:
                game().blip_capacity = static_cast<std::int64_t>(rng() % 40);
                frames(1);
                break;
            case 5:  // a script restart: the list is discarded and loaded again
                restart_script();
                break;
        }
        ASSERT_EQ(plugin_state.blip_choice.markers_with_blip, walk_count()) << "step " << step;
    }
}

TEST_F(BlipTest, AfterAnyChangesAndMovesTheNearestHoldBlipsOnceThePlayerStandsStill) {
    start(markers_file(cluster(700, 0, 0, 800, 3)));
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> anywhere(-500, 500);
    for (int step = 0; step < 25; ++step) {
        switch (rng() % 4) {
            case 0: {
                const auto i = static_cast<std::int64_t>(rng() % plugin_state.markers.length);
                in_script([i] {
                    RunContext ctx = script_context();
                    delete_marker_at(ctx, plugin_state, i);
                });
                break;
            }
            case 1: {
                const Vector3 at = position_to_vector3(anywhere(rng), anywhere(rng), 0);
                in_script([at] {
                    RunContext ctx = script_context();
                    try_add_marker(ctx, plugin_state, at);
                });
                break;
            }
            case 2:  // a short move
                place_player({game().player_position[0] + static_cast<float>(rng() % 40),
                              game().player_position[1] - static_cast<float>(rng() % 40), 0});
                break;
            case 3:  // a long ride
                place_player({anywhere(rng), anywhere(rng), 0});
                break;
        }
        frames(static_cast<int>(rng() % 30));
        for (int f = 0; f < 30; ++f) {
            frames(1);
            ASSERT_LE(walk_count(), 500) << "step " << step;
        }
        frames(2 * frames_per_second + 2);  // standing still
        const Spot at{game().player_position[0], game().player_position[1], game().player_position[2]};
        ASSERT_EQ(holders(), nearest(500, at)) << "step " << step;
        ASSERT_EQ(walk_count(), 500) << "step " << step;
    }
}

// ---- the frame's room ----------------------------------------------------------------------
//
// However many markers there are, no frame calls more than 1,000 natives (the
// whole frame, the menu's included): the first start, a fast travel, a
// crossing into Guarma, a game that refuses blips, the list changing while
// blips are being made. The map ends as a full sort says: the nearest 500 on
// the player's side, each blip made once, nearest first.

namespace {

// A corner of the markers' area is Guarma ("Guarma", a fixed hash of the game's).
constexpr float guarma_rect[4] = {4000, -7000, 7000, -4000};

bool in_guarma_rect(float x, float y) {
    return x >= guarma_rect[0] && y >= guarma_rect[1] && x <= guarma_rect[2] && y <= guarma_rect[3];
}

// `count` markers at random over 14 km x 14 km, in every category; one in 22
// stands in the Guarma corner.
std::string spread_markers(int count) {
    std::mt19937 rng(static_cast<unsigned>(count));
    std::uniform_real_distribution<float> c(-7000, 7000);
    std::vector<TextMarker> markers;
    for (int i = 0; i < count; ++i) {
        const float x = std::round(c(rng)), y = std::round(c(rng));
        markers.push_back(TextMarker{x, y, 40, i % 10, i % 3 ? "M" : "", "", std::nullopt});
    }
    return markers_file_text(markers);
}

enum class Trip { first_start, fast_travel, into_guarma, back_from_guarma, travel_while_making, list_change };

struct RoomCase {
    const char* name;
    int markers;
    Trip trip;
    bool full_menu;
    int capacity;  // the game refuses blips past this many (-1: never)
};

std::ostream& operator<<(std::ostream& out, const RoomCase& c) { return out << c.name; }

}  // namespace

class BlipRoomTest : public BlipTest, public ::testing::WithParamInterface<RoomCase> {
protected:
    // Natives per frame, from the trace, from `first` on.
    std::size_t most_natives_in_a_frame(std::int64_t first) const {
        std::map<std::int64_t, std::size_t> per_frame;
        for (const SimTraceEntry& e : session->host.trace) {
            if (e.frame >= first) ++per_frame[e.frame];
        }
        std::size_t most = 0;
        for (const auto& [frame, n] : per_frame) most = std::max(most, n);
        return most;
    }
    // The markers a sort of the whole list puts on the map for a player at `at`.
    std::set<std::size_t> expected_at(Spot at, std::size_t limit) const {
        const bool player_in_guarma = in_guarma_rect(at.x, at.y);
        return nearest(limit, at, [player_in_guarma](const Marker& m) {
            return in_guarma_rect(m.data.position.x, m.data.position.y) == player_in_guarma;
        });
    }
    // The blips made from trace entry `from` on were made nearest `at` first,
    // and each one dressed once.
    void expect_made_nearest_first(std::size_t from, Spot at) {
        float last = 0;
        std::size_t made = 0, sprites = 0, names = 0, coords = 0;
        for (std::size_t t = from; t < session->host.trace.size(); ++t) {
            const SimTraceEntry& e = session->host.trace[t];
            const std::string n = e.signature->name;
            sprites += n == "set_blip_sprite";
            names += n == "set_blip_name";
            coords += n == "set_blip_coords";
            if (n != "create_blip_at_coords" || e.result[0] == 0 || !game().blips.count(e.result[0])) continue;
            ++made;
            const float dx = f32_of(e.args[1]) - at.x, dy = f32_of(e.args[2]) - at.y, dz = f32_of(e.args[3]) - at.z;
            const float d = dx * dx + dy * dy + dz * dz;
            EXPECT_GE(d, last) << "blip " << made << " made after a nearer one";
            last = d;
        }
        EXPECT_GT(made, 0u);
        EXPECT_EQ(sprites, names);
        EXPECT_EQ(names, coords);
    }
};

TEST_P(BlipRoomTest, NoFrameCallsMoreThanAThousandNativesAndTheNearestEndOnTheMap) {
    const RoomCase& c = GetParam();
    const std::string capacity = c.capacity < 0 ? "null" : std::to_string(c.capacity);
    // In the full menu the list is sorted nearest first: the heaviest page.
    Scenario scenario =
        Scenario()
            .with("frames", 100000)
            .with("blips", "{capacity: " + capacity + "}")
            .with("zones", R"([{type: "STATE", hash: "0x7356B8ED", rect: [4000, -7000, 7000, -4000]}])");
    if (c.full_menu) {
        scenario.with("world", "{player: {position: [0, 0, 40]}, map: true}")
            .with("events",
                  R"([{frame: 1, press: "INPUT_PLAYER_MENU"}, {frame: 3, press: "INPUT_GAME_MENU_EXTRA_OPTION"}])");
    } else {
        scenario.with("world", "{player: {position: [0, 0, 40]}}");
    }
    start(spread_markers(c.markers), scenario.text());
    const std::int64_t limit = c.capacity < 0 ? 500 : c.capacity - 50;
    Spot at{0, 0, 40};
    std::size_t trip_starts = 0;
    if (c.trip != Trip::first_start) {
        if (c.trip == Trip::back_from_guarma) at = {5500, -5500, 40};
        place_player(at);
        if (c.trip != Trip::travel_while_making) until_in_place();
        if (c.trip == Trip::travel_while_making) frames(3);  // some blips made, most not
        ASSERT_LT(plugin_state.blip_choice.markers_with_blip, limit + (c.trip == Trip::travel_while_making ? 0 : 1));
        trip_starts = session->host.trace.size();
        switch (c.trip) {
            case Trip::fast_travel:
            case Trip::travel_while_making: at = {3000, 2500, 40}; break;
            case Trip::into_guarma: at = {5500, -5500, 40}; break;
            case Trip::back_from_guarma: at = {-2000, -3000, 40}; break;
            case Trip::list_change: break;
            case Trip::first_start: break;
        }
        place_player(at);
        if (c.trip == Trip::list_change) {
            // Added beside the player while the list's nearest are being made.
            const std::size_t gone = *nearest(1, at).begin();
            in_script([gone] {
                RunContext ctx = script_context();
                delete_marker_at(ctx, plugin_state, static_cast<std::int64_t>(gone));
                try_add_marker(ctx, plugin_state, position_to_vector3(3, 4, 40));
            });
        }
    }
    const int taken = until_in_place(5000);
    if (c.full_menu) {
        EXPECT_EQ(plugin_state.menu.state, MENU_FULL);
        EXPECT_EQ(plugin_state.list_page.sort_mode, sort_mode_proximity);
    }

    EXPECT_LE(most_natives_in_a_frame(1), 1000u);
    EXPECT_EQ(plugin_state.blip_choice.blip_limit, limit);
    EXPECT_EQ(holders(), expected_at(at, static_cast<std::size_t>(limit)));
    EXPECT_EQ(plugin_state.blip_choice.markers_with_blip, walk_count());
    EXPECT_EQ(static_cast<std::int64_t>(game().blips.size()), walk_count()) << "no blip lost track of";
    if (c.trip != Trip::list_change && c.capacity < 0) expect_made_nearest_first(trip_starts, at);
    RecordProperty("frames_until_in_place", taken);
}

INSTANTIATE_TEST_SUITE_P(
    Trips, BlipRoomTest,
    ::testing::Values(RoomCase{"FirstStart1000", 1000, Trip::first_start, false, -1},
                      RoomCase{"FirstStart10000", 10000, Trip::first_start, false, -1},
                      RoomCase{"FirstStart100000", 100000, Trip::first_start, false, -1},
                      RoomCase{"FirstStartFullMenu10000", 10000, Trip::first_start, true, -1},
                      RoomCase{"FastTravel1000", 1000, Trip::fast_travel, false, -1},
                      RoomCase{"FastTravel10000FullMenu", 10000, Trip::fast_travel, true, -1},
                      RoomCase{"FastTravel100000", 100000, Trip::fast_travel, false, -1},
                      RoomCase{"IntoGuarma1000", 1000, Trip::into_guarma, false, -1},
                      RoomCase{"IntoGuarma10000", 10000, Trip::into_guarma, false, -1},
                      RoomCase{"IntoGuarma10000FullMenu", 10000, Trip::into_guarma, true, -1},
                      RoomCase{"BackFromGuarma10000", 10000, Trip::back_from_guarma, false, -1},
                      RoomCase{"TravelWhileMaking10000", 10000, Trip::travel_while_making, false, -1},
                      RoomCase{"ListChangeWhileMaking10000", 10000, Trip::list_change, false, -1},
                      RoomCase{"RefusedAtStart10000", 10000, Trip::first_start, false, 300},
                      RoomCase{"RefusedAfterTravel10000FullMenu", 10000, Trip::fast_travel, true, 300}),
    [](const ::testing::TestParamInfo<RoomCase>& param) { return std::string(param.param.name); });

// ---- standing still ------------------------------------------------------------------------
//
// A player standing still is never quite still (idling on a horse): within the
// stillness tolerance of where the markers were chosen nothing is chosen
// again; past it, once, after two seconds still.

namespace {

struct DriftCase {
    const char* name;
    float amplitude;  // metres from where the markers were chosen
    bool jitter;      // to and fro every frame, or a slow drift out to the amplitude
    int choices;      // new choices expected in ten seconds
};

std::ostream& operator<<(std::ostream& out, const DriftCase& c) { return out << c.name; }

}  // namespace

class BlipStillnessTest : public BlipTest, public ::testing::WithParamInterface<DriftCase> {};

TEST_P(BlipStillnessTest, DriftWithinTheToleranceDoesNotChooseAgain) {
    const DriftCase& c = GetParam();
    start(markers_file(cluster(600, 100, 100, 800, 7)), "{frames: 100000, world: {player: {position: [100, 100, 0]}}}");
    until_at_rest();
    ASSERT_EQ(holders(), nearest(500, {100, 100, 0}));
    const std::set<std::size_t> before = holders();
    const std::size_t asked_before = calls("zone_at_coords").size();
    const int ten_seconds = 10 * frames_per_second;
    Spot at{};
    for (int f = 1; f <= ten_seconds; ++f) {
        const float off = c.jitter ? (f % 2 ? c.amplitude : -c.amplitude)
                                   : c.amplitude * static_cast<float>(std::min(f, ten_seconds / 2)) / (ten_seconds / 2);
        at = {100 + off, 100 + off * 0.5f, 0};
        place_player(at);
        frames(1);
    }
    // With every marker's side known, a choice asks the game only for the player's.
    EXPECT_EQ(calls("zone_at_coords").size() - asked_before, static_cast<std::size_t>(c.choices));
    if (c.choices == 0) {
        EXPECT_EQ(holders(), before);
    } else {
        EXPECT_EQ(holders(), nearest(500, at)) << "chosen again from where the player stands";
    }
}

INSTANTIATE_TEST_SUITE_P(Drifts, BlipStillnessTest,
                         ::testing::Values(DriftCase{"SubMillimetreJitter", 0.0004f, true, 0},
                                           DriftCase{"JitterOfTenCentimetres", 0.1f, true, 0},
                                           DriftCase{"SlowDriftToFortyCentimetres", 0.4f, false, 0},
                                           DriftCase{"SlowDriftToOneMetre", 0.9f, false, 1}),
                         [](const ::testing::TestParamInfo<DriftCase>& param) {
                             return std::string(param.param.name);
                         });

// ---- the count -----------------------------------------------------------------------------
//
// "Showing the nearest 500 of N" counts the markers on the player's side of
// the divide, and is said once every marker's side is known.

namespace {

struct CountCase {
    const char* name;
    int mainland, guarma;
    bool player_in_guarma;
    int capacity;      // the game refuses blips past this many (-1: never)
    const char* line;  // null: no line
};

std::ostream& operator<<(std::ostream& out, const CountCase& c) { return out << c.name; }

}  // namespace

class BlipCountTest : public BlipTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(BlipCountTest, TheCountIsOfTheMarkersOnThePlayersSide) {
    const CountCase& c = GetParam();
    // Mainland markers around (0, 0), Guarma's around (5500, -5500), listed mixed.
    std::vector<Spot> mainland = cluster(c.mainland, 0, 0, 3000, 8);
    std::vector<Spot> guarma = cluster(c.guarma, 5500, -5500, 2000, 9);
    std::vector<Spot> spots;
    for (std::size_t i = 0; i < mainland.size() || i < guarma.size(); ++i) {
        if (i < mainland.size()) spots.push_back(mainland[i]);
        if (i < guarma.size()) spots.push_back(guarma[i]);
    }
    const Spot at = c.player_in_guarma ? Spot{5500, -5500, 0} : Spot{0, 0, 0};
    const std::string capacity = c.capacity < 0 ? "null" : std::to_string(c.capacity);
    start(markers_file(spots),
          R"({frames: 100000, zones: [{type: "STATE", hash: "0x7356B8ED", rect: [4000, -7000, 7000, -4000]}],
              blips: {capacity: )" +
              capacity + R"(}, world: {player: {position: [)" + std::to_string(at.x) + ", " + std::to_string(at.y) +
              ", 0]}}}");
    until_in_place();
    until_at_rest();
    frames(frames_per_second);
    const std::vector<std::string> expected = c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{};
    EXPECT_EQ(showing_lines(), expected);
    const std::size_t on_side = static_cast<std::size_t>(c.player_in_guarma ? c.guarma : c.mainland);
    const std::size_t limit = c.capacity < 0 ? 500 : static_cast<std::size_t>(c.capacity - 50);
    EXPECT_EQ(holders(), nearest(std::min(limit, on_side), at, [&c](const Marker& m) {
                  return in_guarma_rect(m.data.position.x, m.data.position.y) == c.player_in_guarma;
              }));
}

INSTANTIATE_TEST_SUITE_P(
    Sides, BlipCountTest,
    ::testing::Values(
        CountCase{"AllMainlandShown", 480, 30, false, -1, nullptr},
        CountCase{"MoreMainlandThanFit", 600, 30, false, -1, "Showing the nearest 500 of 600 markers on the map"},
        CountCase{"AllGuarmaShown", 600, 30, true, -1, nullptr},
        CountCase{"MoreGuarmaThanFit", 480, 620, true, -1, "Showing the nearest 500 of 620 markers on the map"},
        // The game refuses the 301st: the limit drops to 250, of the mainland's 480.
        CountCase{"RefusedMainland", 480, 30, false, 300, "Showing the nearest 250 of 480 markers on the map"}),
    [](const ::testing::TestParamInfo<CountCase>& param) { return std::string(param.param.name); });
