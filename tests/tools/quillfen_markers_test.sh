#!/usr/bin/env bash
# quillfen-markers on the command line: its commands, their exit codes and
# what they print. The same cases run against the Linux build and against
# quillfen-markers.exe under Wine (run this through scripts/wine-env then).
#
#   quillfen_markers_test.sh TOOL DATA_DIR
set -u
tool_file="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"  # absolute: some cases run in another folder
data="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# Runs the tool under test. A Windows build runs under Wine, which sees the
# Linux root as drive Z:, so absolute paths among the arguments get that prefix.
tool() {
  if [[ "$tool_file" == *.exe ]]; then
    local args=() a
    for a in "$@"; do [[ "$a" == /* ]] && args+=("Z:$a") || args+=("$a"); done
    wine "$tool_file" "${args[@]}"
  else
    "$tool_file" "$@"
  fi
}

check() {  # check NAME EXPECTED_STATUS EXPECTED_STDOUT_FILE_OR_TEXT -- COMMAND...
  local name="$1" want_status="$2" want_out="$3"
  shift 4
  local out status
  out="$("$@" 2>"$work/stderr")"
  status=$?
  if [ "$status" != "$want_status" ]; then
    echo "FAIL $name: exit $status, wanted $want_status ($(cat "$work/stderr"))"
    failed=$((failed + 1))
    return
  fi
  if [ -n "$want_out" ] && [ "$out" != "$want_out" ]; then
    echo "FAIL $name: printed [$out], wanted [$want_out]"
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + 1))
}

# format reproduces the file exactly as the plug-in saves it, to the byte; told
# to, also from a file the game reads otherwise than written (an unknown key).
printf '{"markers": [{"position": [-1234.5, 567.25, 42], "category": 0, "name": "Flat Iron Lake (Waypoint)",
  "timestamp": {"_nsec": 1765267200000000000}}, // a comment
  {position: [2711.75, -1390.125, 45.0], category: 5, timestamp: {_nsec: 1765270800000000000}, extra: true},]}' >"$work/lenient.json5"
tool format --as-the-game-reads "$work/lenient.json5" >"$work/formatted"
if cmp -s "$work/formatted" "$data/markers/two-markers.json"; then passed=$((passed + 1)); else
  echo "FAIL format: not byte for byte"; failed=$((failed + 1)); fi
tool format "$data/markers/two-markers.json" >"$work/again"
if cmp -s "$work/again" "$data/markers/two-markers.json"; then passed=$((passed + 1)); else
  echo "FAIL format of its own output changed it"; failed=$((failed + 1)); fi
printf '{}' >"$work/empty.json"
tool format "$work/empty.json" >"$work/empty-formatted"
if cmp -s "$work/empty-formatted" "$data/markers/empty.json"; then passed=$((passed + 1)); else
  echo "FAIL format of {}"; failed=$((failed + 1)); fi

check "check counts" 0 "2" -- tool check "$data/markers/two-markers.json"
check "parse accepts JSON5" 0 "" -- tool parse "$work/lenient.json5"
printf '[1, 2]' >"$work/array.json"
check "parse accepts any document" 0 "" -- tool parse "$work/array.json"
check "check refuses a document of the wrong kind" 1 "" -- tool check "$work/array.json"
printf '{\n  "markers": [\n    {"category": 1,,}\n  ]\n}' >"$work/broken.json"
out="$(tool parse "$work/broken.json")"; status=$?
if [ "$status" = 1 ] && [[ "$out" =~ ^3:[0-9]+:\ .+ ]]; then passed=$((passed + 1)); else
  echo "FAIL parse of a broken file: exit $status, printed [$out]"; failed=$((failed + 1)); fi
check "format refuses what would not load" 1 "" -- tool format "$work/broken.json"
printf '{"markers": [{"timestamp": 5}]}' >"$work/wrong.json"
check "check gives a reason" 1 "" -- tool check "$work/wrong.json"
check "an unreadable file" 2 "" -- tool check "$work/does-not-exist.json"
# With no arguments the Windows build shows the status of its own folder (a
# player double-clicked it) and waits for Enter; elsewhere it is a usage error.
tool_without_input() { tool "$@" </dev/null; }
if [[ "$tool_file" == *.exe ]]; then
  out="$(tool_without_input)"; status=$?
  if [ "$status" = 0 ] && [[ "$out" == *"Press Enter to close this window."* ]]; then passed=$((passed + 1)); else
    echo "FAIL no arguments: exit $status, printed [$out]"; failed=$((failed + 1)); fi
else
  check "no arguments" 2 "" -- tool_without_input
fi
check "an unknown command" 2 "" -- tool frobnicate "$work/empty.json"
tool --help | grep -q "format FILE" && passed=$((passed + 1)) || { echo "FAIL --help"; failed=$((failed + 1)); }

# --version says the version that project() in CMakeLists.txt gives.
version="$(sed -nE 's/^project\(Quillfen VERSION ([0-9.]+).*/\1/p' "$data/../../CMakeLists.txt")"
check "--version" 0 "quillfen-markers $version" -- tool --version

# Paths in any language: folders and names outside ASCII (on Windows these
# need the wide-character APIs and command line).
foreign="$work/José Müller/Документы"
mkdir -p "$foreign"
cp "$data/markers/two-markers.json" "$foreign/日本語のマーカー.json"
check "a path that is not ASCII" 0 "2" -- tool check "$foreign/日本語のマーカー.json"
tool format "$foreign/日本語のマーカー.json" >"$work/foreign-formatted"
if cmp -s "$work/foreign-formatted" "$data/markers/two-markers.json"; then passed=$((passed + 1)); else
  echo "FAIL format of a file under a path that is not ASCII"; failed=$((failed + 1)); fi
# Names outside ASCII come out as the same UTF-8 bytes.
printf '{"markers": [{"position": [1, 2, 3], "category": 2, "name": "Überfall — 北の小屋", "timestamp": {"_nsec": 0}}]}' \
  >"$foreign/names.json"
tool format "$foreign/names.json" | grep -q '"name": "Überfall — 北の小屋"' && passed=$((passed + 1)) \
  || { echo "FAIL a name outside ASCII"; failed=$((failed + 1)); }

# status and restore on a Quillfen folder whose path is not ASCII.
q="$foreign/Quillfen"
mkdir -p "$q/backups"
good="$data/markers/two-markers.json"
damaged='{"markers": [ {"position": [1,2'
printf '%s' "$damaged" >"$q/markers.json"
cp "$good" "$q/markers.json.bak"
printf '%s' "$damaged" >"$q/markers.json.unreadable-20251209-080000"
cp "$good" "$q/backups/markers-20251208.json"
printf '{' >"$q/backups/markers-20251207.json"
printf 'mine' >"$q/backups/notes.txt"
printf 'mine' >"$q/notes.txt"
touch -d "2025-12-09 10:00:00 UTC" "$q/markers.json"
touch -d "2025-12-09 09:00:00 UTC" "$q/markers.json.unreadable-20251209-080000"
touch -d "2025-12-09 08:00:00 UTC" "$q/markers.json.bak"
touch -d "2025-12-08 12:00:00 UTC" "$q/backups/markers-20251208.json"
touch -d "2025-12-07 12:00:00 UTC" "$q/backups/markers-20251207.json"
status_lines() {  # status lines, runs of spaces squeezed, backslashes as slashes
  local out code
  out="$(TZ="$1" tool status "$q")"
  code=$?
  printf '%s\n' "$out" | tr '\\' '/' | tr -s ' '
  return $code
}
want="markers.json 2025-12-09 10:00:00 1:32: unexpected end of input: missing ]
markers.json.unreadable-20251209-080000 2025-12-09 09:00:00 1:32: unexpected end of input: missing ]
markers.json.bak 2025-12-09 08:00:00 2 markers
backups/markers-20251208.json 2025-12-08 12:00:00 2 markers
backups/markers-20251207.json 2025-12-07 12:00:00 1:2: unexpected end of input: missing }"
check "status: newest first, a damaged markers.json" 1 "$want" -- status_lines UTC
check "status: local time" 1 "" -- status_lines Europe/Berlin
[[ "$(status_lines Europe/Berlin | head -n 1)" == "markers.json 2025-12-09 11:00:00 "* ]] && passed=$((passed + 1)) \
  || { echo "FAIL status in Europe/Berlin: [$(status_lines Europe/Berlin | head -n 1)]"; failed=$((failed + 1)); }

snapshot() { (cd "$q" && find . -type f | LC_ALL=C sort | while read -r f; do printf '%s ' "$f"; cksum <"$f"; done); }
before="$(snapshot)"
out="$(tool restore "$q" backups/markers-20251207.json)"; status=$?
if [ "$status" = 1 ] && [ "$(snapshot)" = "$before" ]; then passed=$((passed + 1)); else
  echo "FAIL restore of a file that does not load: exit $status, printed [$out]"; failed=$((failed + 1)); fi

out="$(tool restore "$q" markers.json.bak)"; status=$?
replaced=("$q"/markers.json.replaced-*)
if [ "$status" = 0 ] && cmp -s "$q/markers.json" "$good" && [ "${#replaced[@]}" = 1 ] \
   && [ "$(cat "${replaced[0]}")" = "$damaged" ] && [[ "$out" == *"Restored 2 markers from"* ]] \
   && [[ "$out" == *"The game must be closed while restoring"* ]] && [ ! -e "$q/markers.json.copying" ]; then
  passed=$((passed + 1)); else
  echo "FAIL restore from the backup: exit $status, printed [$out], kept ${replaced[*]}"; failed=$((failed + 1)); fi
check "status after the restore" 0 "" -- tool status "$q"

# A restore from a lenient file writes the plug-in's layout, and never over an earlier kept copy.
out="$(tool restore "$q" "$work/lenient.json5")"; status=$?
replaced=("$q"/markers.json.replaced-*)
if [ "$status" = 0 ] && cmp -s "$q/markers.json" "$good" && [ "${#replaced[@]}" = 2 ] \
   && { [ "$(cat "${replaced[0]}")" = "$damaged" ] || [ "$(cat "${replaced[1]}")" = "$damaged" ]; }; then
  passed=$((passed + 1)); else
  echo "FAIL a second restore: exit $status, printed [$out], kept ${replaced[*]}"; failed=$((failed + 1)); fi

rm "$q/markers.json"
check "status without markers.json" 0 "" -- tool status "$q"
out="$(tool restore "$q" markers.json.bak)"; status=$?
if [ "$status" = 0 ] && cmp -s "$q/markers.json" "$good" && [ "$(ls "$q" | grep -c replaced)" = 2 ]; then
  passed=$((passed + 1)); else echo "FAIL restore without markers.json: exit $status [$out]"; failed=$((failed + 1)); fi
check "status of a folder that is not there" 2 "" -- tool status "$work/no such folder"
[ "$(cat "$q/backups/notes.txt")$(cat "$q/notes.txt")" = "minemine" ] && passed=$((passed + 1)) \
  || { echo "FAIL other files were touched"; failed=$((failed + 1)); }

# merge: the game's import outside the game. Markers within 1 unit of one
# already there (or of one added earlier from the same merge) stay out; the
# result is written whole in the plug-in's format.
m="$work/merge"
mkdir -p "$m"
printf '{"markers": [
  {"position": [100, 200, 30], "category": 7, "name": "Say \\"hi\\", at the mill", "timestamp": {"_nsec": 1700000000000000001}},
  {"position": [-1234.0, 567.25, 42], "category": 1, "name": "0.5 from the lake", "timestamp": {"_nsec": 2}},
  {"position": [-1234.5, 567.25, 43], "category": 9, "name": "Überfall — 北の小屋", "timestamp": {"_nsec": 3}},
  {"position": [100.5, 200, 30], "category": 2, "timestamp": {"_nsec": 4}},
  {"position": [NaN, 1, 2], "category": 1}]}' >"$m/friends.json5"
out="$(tool merge "$m/new.json" "$data/markers/two-markers.json" "$m/friends.json5")"; status=$?
want="Added 2 of 2 markers from $data/markers/two-markers.json
Added 2 of 5 markers from $m/friends.json5 (1 left out: position not a finite number)
$m/new.json holds 4 markers"
if [ "$status" = 0 ] && [ "$(printf '%s' "$out" | tr '\\' '/' | sed 's|Z:||g')" = "$want" ]; then passed=$((passed + 1)); else
  echo "FAIL merge into a new file: exit $status, printed [$out]"; failed=$((failed + 1)); fi
tool format "$m/new.json" >"$m/new-formatted"
if cmp -s "$m/new.json" "$m/new-formatted" && [ ! -e "$m/new.json.saving" ] \
   && grep -q '"name": "Say \\"hi\\", at the mill"' "$m/new.json" && grep -q '"name": "Überfall — 北の小屋"' "$m/new.json"; then
  passed=$((passed + 1)); else echo "FAIL merge did not write the plug-in's format"; failed=$((failed + 1)); fi
merge_again() { (cd "$m" && tool merge new.json friends.json5); }
check "merge again adds nothing and writes nothing" 0 "Added 0 of 5 markers from friends.json5 (1 left out: position not a finite number)
new.json holds 4 markers; it was not changed" -- merge_again
before="$(cksum <"$m/new.json")"
printf '{"markers": [{"position": [1, 2, 3],}' >"$m/broken.json"
out="$(tool merge "$m/new.json" "$m/friends.json5" "$m/broken.json" "$m/missing.json")"; status=$?
# A file that cannot be read (2) outweighs one that does not load (1).
if [ "$status" = 2 ] && [ "$(cksum <"$m/new.json")" = "$before" ] && [[ "$out" == *"broken.json cannot be loaded: 1:"* ]] \
   && [[ "$out" == *"there is no file "*"missing.json."* ]] && [[ "$out" == *"Nothing was written."* ]]; then
  passed=$((passed + 1)); else echo "FAIL merge with files that do not load: exit $status, printed [$out]"; failed=$((failed + 1)); fi
cp "$m/broken.json" "$m/broken-into.json"
check "merge into a file that does not load" 1 "" -- tool merge "$m/broken-into.json" "$m/friends.json5"
cmp -s "$m/broken.json" "$m/broken-into.json" && passed=$((passed + 1)) || { echo "FAIL merge changed a broken INTO"; failed=$((failed + 1)); }
check "merge without FROM" 2 "" -- tool merge "$m/new.json"

# export: read back with Python's csv and json modules, value for value.
printf '{"markers": [
  {"position": [-1234.5, 567.25, 42], "category": 0, "name": "Flat Iron Lake (Waypoint)", "timestamp": {"_nsec": 1765267200000000000}, "note": "what I left at that camp"},
  {"position": [0.1, -0.0, 1e-07], "category": 5, "name": "a, \\"quoted\\"\\nsecond line", "timestamp": {"_nsec": -1}, "note": "rifle, \\"two\\"\\nand ammo"},
  {"position": [3e38, -16777217, 2711.75], "category": 12, "name": "Überfall — 北の小屋 🐻", "timestamp": {"_nsec": 1765267200999999999}},
  {"position": [1, 2, 3], "category": 3, "name": "=HYPERLINK(\\"http://x\\")", "timestamp": {"_nsec": 0}, "note": "@SUM(1)"},
  {"position": [4, 5, 6], "category": 9, "name": "", "timestamp": {"_nsec": 5}, "pack": "Dinosaur bones", "found": {"_nsec": 1765267201000000000}, "note": ""},
  {"position": [4, 6, 6], "category": 9, "name": "Bone 2", "timestamp": {"_nsec": 5}, "pack": "=Graves, \\"old\\""},
  {"position": [7, 8, 9], "category": -1},
  {"position": [NaN, 1, 2], "category": 1, "name": "nowhere"},
  {"position": [1, -Infinity, 2], "category": 1}]}' >"$m/export.json"
tool export "$m/export.json" --format csv >"$m/out.csv" 2>"$m/csv-warnings"; csv_status=$?
tool export --format=geojson "$m/export.json" >"$m/out.geojson" 2>"$m/geojson-warnings"; geojson_status=$?
if [ "$csv_status" = 0 ] && [ "$geojson_status" = 0 ] && cmp -s "$m/csv-warnings" "$m/geojson-warnings" \
   && grep -q "left out marker 8 (nowhere): its position is not a finite number" "$m/csv-warnings" \
   && out="$(python3 "$(dirname "$0")/check_export.py" "$m/export.json" "$m/out.csv" "$m/out.geojson" "$m/csv-warnings")"; then
  passed=$((passed + 1)); else
  echo "FAIL export read back: exit $csv_status/$geojson_status, [$out] [$(cat "$m/csv-warnings")]"; failed=$((failed + 1)); fi
printf '{}' >"$m/none.json"
check "export of no markers" 0 '{"type": "FeatureCollection", "features": []}' -- tool export "$m/none.json" --format geojson
check "export needs a format" 2 "" -- tool export "$m/export.json"
check "export of an unknown format" 2 "" -- tool export "$m/export.json" --format kml
check "export of a file that does not load" 1 "" -- tool export "$m/broken.json" --format csv

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
