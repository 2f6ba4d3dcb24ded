#!/usr/bin/env bash
# quillfen-markers on the command line: its commands, their exit codes and
# what they print. The same cases run against the Linux build and against
# quillfen-markers.exe under Wine (run this through scripts/wine-env then).
#
#   quillfen_markers_test.sh TOOL DATA_DIR
set -u
tool_file="$1"
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

# format reproduces the file exactly as the plug-in saves it, to the byte.
printf '{"markers": [{"position": [-1234.5, 567.25, 42], "category": 0, "name": "Flat Iron Lake (Waypoint)",
  "timestamp": {"_nsec": 1765267200000000000}}, // a comment
  {position: [2711.75, -1390.125, 45.0], category: 5, timestamp: {_nsec: 1765270800000000000}, extra: true},]}' >"$work/lenient.json5"
tool format "$work/lenient.json5" >"$work/formatted"
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
check "no arguments" 2 "" -- tool
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

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
