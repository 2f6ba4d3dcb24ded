"""What the tour scenario (examples/tour.json5) must show in a trace, whichever
build played it: the Linux simulator or the real Quillfen.asi under Wine."""
import json
import re

# What the game may answer when the menu's second tick of a frame repeats a test
# (docs/simulator.md, repeat_answers); the tour must come out the same under each.
REPEAT_ANSWERS = ("first", "every", "frames:3")

MARKUP = re.compile(r"ALIGN='(\w+)'>.*SIZE='(\d+)'>~s~(.*)</FONT></P><TEXTFORMAT>$", re.S)


def load_trace(path):
    with open(path) as f:
        return [json.loads(line) for line in f]


def texts_of_frame(trace, frame):
    """(alignment, size, text) of the texts drawn in `frame`'s second menu tick."""
    drawn = []
    for c in trace:
        if c["frame"] == frame and c["native"] == "draw_text_at":
            m = MARKUP.search(c["args"][0])
            if m:
                drawn.append((m.group(1), int(m.group(2)), m.group(3)))
    return drawn[len(drawn) // 2:]


def check(test, trace, markers_text):
    """Asserts the tour's trace points with `test` (a unittest.TestCase)."""
    # The sort prompt's text becomes "Sort: Proximity", then "Sort: Time" again.
    sort_texts = [c["args"][2] for c in trace if c["native"] == "make_text_label" and c["args"][2].startswith("Sort: ")]
    test.assertEqual(sort_texts, ["Sort: Time", "Sort: Proximity", "Sort: Time"])
    # After the six ("Note" before "Back") come the route's, the undo's, the search's and
    # the move's prompts, then the settings' two switches, with capture on and nothing hidden.
    made = [c["args"][2] for c in trace if c["native"] == "make_text_label" and c["frame"] == trace[0]["frame"]]
    test.assertEqual([t for t in made if t.startswith("Capture: ") or t.endswith(" on Map")],
                     ["Capture: On", "Hide on Map"])
    back = made.index("Back")
    test.assertEqual(made[back - 1:back + 7],
                     ["Note", "Back", "Route", "Undo Delete", "Search", "Move", "Capture: On", "Hide on Map"])
    # ... and the rows reorder: the second row is the waypoint marker by time, the player's one by proximity.
    second_rows = {}
    for frame in (170, 190):
        # The rows' distances (the title and the coordinates' line are centred too).
        rows = [t for t in texts_of_frame(trace, frame) if t[0] == "Center" and t[2].endswith("m away")]
        test.assertEqual(len(rows), 2, "two rows at frame %d" % frame)
        second_rows[frame] = rows[1][2]
    test.assertEqual(second_rows, {170: "0m away", 190: "39m away"})

    # "Rename" opens the keyboard for the unnamed marker, the page stays hidden
    # while the keyboard reports 0, and the trimmed name is saved.
    keyboards = [c for c in trace if c["native"] == "show_onscreen_keyboard"]
    test.assertEqual(len(keyboards), 1)
    test.assertEqual(keyboards[0]["args"], [0, "STABLE_RENAME_MOUNT_PROMPT", "", None, "", "", "", 50])
    opened = keyboards[0]["frame"]
    statuses = [(c["frame"], c["result"]) for c in trace if c["native"] == "keyboard_status"]
    # (In the frame it opens, the first tick drew the page before the keyboard was up.)
    typing = [f for f, status in statuses if status == 0 and f > opened]
    test.assertTrue(typing, "the keyboard reported 0 while typing")
    for frame in typing:
        test.assertEqual(texts_of_frame(trace, frame), [], "nothing drawn at frame %d while typing" % frame)
    test.assertTrue(any(status == 1 for _, status in statuses))
    test.assertGreater(min(typing), opened)
    test.assertIn('"name": "New"', markers_text)

    # A completed hold deletes, then both resets (the second with null), then "BACK".
    after_hold = []
    holding = False
    for c in trace:
        if c["native"] == "prompt_hold_completed" and c["result"]:
            holding = True
        elif holding and c["native"] in ("prompt_reset_hold", "prompt_reset_hold_data", "play_menu_sound"):
            after_hold.append(c["native"] if c["native"] != "play_menu_sound" else c["args"][0])
            if c["native"] == "prompt_reset_hold_data":
                test.assertEqual(c["args"][1], 0)
            if len(after_hold) == 3:
                break
    test.assertEqual(after_hold, ["prompt_reset_hold", "prompt_reset_hold_data", "BACK"])

    # Up and down move the selection with their sounds; left and right change the category.
    sounds = [c["args"][0] for c in trace if c["native"] == "play_menu_sound"]
    test.assertEqual(sounds, ["NAV_RIGHT", "SELECT", "NAV_RIGHT", "SELECT", "SELECT", "MENU_ENTER", "NAV_DOWN", "NAV_UP",
                              "BACK", "NAV_RIGHT", "NAV_RIGHT", "MENU_CLOSE", "BACK"])
    test.assertEqual([t for t in texts_of_frame(trace, 262) if t[0] == "Left"], [], "category 6 has no markers")
    test.assertEqual([t[2] for t in texts_of_frame(trace, 270) if t[0] == "Left"], ["1/1 New"])

    # No route is asked for: the "Route" prompt is made and shown with the
    # full menu, and no GPS native is called.
    test.assertEqual([c["native"] for c in trace if c["native"].startswith("gps_route_")], [])
    route_texts = [c["args"][2] for c in trace if c["native"] == "make_text_label" and "Route" in c["args"][2]]
    test.assertEqual(route_texts, ["Route"])


def without_timestamps(markers_text):
    return re.sub(r'"_nsec": -?\d+', '"_nsec": T', markers_text)


def with_repeat_answers(scenario_text, answers):
    """The tour's scenario with its repeat_answers replaced."""
    out, n = re.subn(r'repeat_answers: "[^"]*"', 'repeat_answers: "%s"' % answers, scenario_text)
    assert n == 1, "the tour names repeat_answers once"
    return out
