#!/usr/bin/env python3
"""scripts/check-layers catches an include against the layers.

Each case copies the plug-in's sources and the tools into a temporary
checkout, adds one include to one file, and expects the check to fail naming
that file, line and header; the untouched copy must pass.

    python3 tests/layers/check_layers_test.py
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

TOP = pathlib.Path(__file__).resolve().parents[2]
CHECK = TOP / "scripts" / "check-layers"

# (file that gets the include, header it includes, why that is against the layers)
CASES = [
    ("src/base/log.h", "src/platform/platform.h", "base includes the OS seam above it"),
    ("src/json5/json5_reader.h", "src/platform/platform.h", "json5 and platform stand beside each other"),
    ("src/platform/platform.h", "src/json5/json5_reader.h", "platform and json5 stand beside each other"),
    ("src/scripthook/natives.h", "src/file_formats/marker_file.h", "the host binding is below the file formats"),
    ("src/file_formats/marker_file.h", "src/scripthook/types.h", "the file's format is linked without the host binding"),
    ("src/file_formats/marker_file.h", "src/core/marker.h", "the file's format knows nothing of the core records"),
    ("src/core/marker.h", "src/map/blips.h", "the core records are below the map"),
    ("src/core/runtime_globals.h", "src/menu/menu_state.h", "the core records are below the features' records"),
    ("src/map/blips_state.h", "src/state/state.h", "a feature's records are below the state put together from them"),
    ("src/markers/waypoint_capture_state.h", "src/markers/marker_editing.h",
     "a feature's records are below its own procedures"),
    ("src/menu/menu_state.h", "src/map/blips_state.h", "one feature's records stand beside another's"),
    ("src/state/state.h", "src/map/blips.h", "the state record is below the features' procedures"),
    ("src/core/marker.h", "src/state/state.h", "the core records are below the state record"),
    ("src/map/blips.h", "src/markers/marker_list.h", "the map is below the marker list"),
    ("src/map/route_state.h", "src/map/blips.h", "the route's state record sits with the core records, below the map"),
    ("src/markers/marker_list.h", "src/menu/menu.h", "the marker list is below the menu"),
    ("src/markers/marker_list.h", "src/settings/settings.h", "the settings stand beside the marker list"),
    ("src/settings/settings.h", "src/markers/marker_list.h", "the marker list stands beside the settings"),
    ("src/settings/settings.h", "src/menu/prompts.h", "the settings are below the menu"),
    ("src/menu/menu.h", "src/features/features.h", "the menu is below the features' table"),
    ("src/collections/collections.h", "src/menu/menu.h", "collections are below the menu, which shows their marks"),
    ("src/markers/marker_list.h", "src/collections/collections.h", "the marker list is below collections"),
    ("src/collections/collections_state.h", "src/menu/menu_state.h", "one feature's records stand beside another's"),
    ("src/features/features.h", "src/script_main.h", "the features' table is below the script loop"),
    ("src/core/feature_row.h", "src/menu/menu_state.h", "the features' row type is below every feature"),
    ("src/menu/menu.h", "src/script_main.h", "the menu is below the script loop"),
    ("src/script_main.h", "src/entry.h", "the script loop is below the entry points"),
    ("src/menu/menu.h", "tests/sim_fixture.h", "the plug-in never includes the tests"),
    ("tools/tool_files.h", "src/scripthook/natives.h", "the tools link only the file formats and what is below"),
    ("src/core/marker.h", "src/menu/marker_search_state.h", "only the state record holds a feature's record"),
    ("src/markers/marker_packs.cpp", "src/markers/marker_persistence.h", "the packs do not call the markers file"),
    ("src/markers/marker_persistence.cpp", "src/markers/marker_packs.h", "the markers file does not call the packs"),
]


def run(root):
    return subprocess.run([sys.executable, str(CHECK), "--root", str(root)], capture_output=True, text=True)


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        clean = pathlib.Path(tmp) / "clean"
        for folder in ("src", "tools"):
            shutil.copytree(TOP / folder, clean / folder)
        result = run(clean)
        if result.returncode != 0:
            print(f"FAIL the tree as it is: exit {result.returncode}\n{result.stderr}")
            failures += 1
        for number, (file, header, why) in enumerate(CASES):
            root = pathlib.Path(tmp) / f"case{number}"
            shutil.copytree(clean, root)
            target = root / file
            lines = target.read_text(encoding="utf-8").splitlines(keepends=True)
            # After the first include (or at the top), where a real include would go.
            at = next((i + 1 for i, line in enumerate(lines) if line.startswith("#include")), 0)
            lines.insert(at, f'#include "{header}"\n')
            target.write_text("".join(lines), encoding="utf-8")
            result = run(root)
            expected = f"{file}:{at + 1}: includes {header}"
            if result.returncode == 1 and expected in result.stderr:
                print(f"ok   {file} -> {header} ({why})")
            else:
                print(f"FAIL {file} -> {header} ({why}): exit {result.returncode}, wanted '{expected}' in:\n{result.stderr}")
                failures += 1
    print(f"{len(CASES) + 1 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
