#!/usr/bin/env python3
"""Reads back what `quillfen-markers export` printed, with Python's csv and json
modules, and compares every value with the markers file it was made from.

usage: check_export.py MARKERS_JSON CSV_FILE GEOJSON_FILE WARNINGS_FILE

MARKERS_JSON is plain JSON (NaN and Infinity allowed, as Python reads them).
Prints what differs and exits 1, or prints nothing and exits 0."""
import csv
import json
import math
import struct
import sys
from datetime import datetime, timezone

CATEGORIES = ["Marker (Flag)", "Marker (Pin)", "Marker (?)", "Marker (Friend)", "Marker (Foe)", "Marker (Chest)",
              "Marker (Cash)", "Marker (Animal)", "Marker (Plant)", "Marker (Cross)"]
HEADER = ["x", "y", "z", "category", "category_name", "name", "created", "pack", "found", "note"]


def f32(v):
    return struct.unpack("<f", struct.pack("<f", v))[0]


def iso(ns):
    return datetime.fromtimestamp(ns // 10**9, timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def expected_markers(path):
    with open(path, encoding="utf-8") as f:
        markers = json.load(f)["markers"]
    out, left_out = [], 0
    for m in markers:
        x, y, z = (f32(v) for v in m.get("position", [0, 0, 0]))
        if not all(math.isfinite(v) for v in (x, y, z)):
            left_out += 1
            continue
        category = m.get("category", 0)
        ns = m.get("timestamp", {}).get("_nsec", 0)
        found_ns = m["found"].get("_nsec", 0) if "found" in m else None
        out.append({
            "position": [x, y, z],
            "category": category,
            "category_name": CATEGORIES[category] if 0 <= category < len(CATEGORIES) else None,
            "name": m.get("name") or None,
            "created": iso(ns),
            "pack": m.get("pack") or None,
            "created_nanosecond": ns % 10**9,
            "found": iso(found_ns) if found_ns is not None else None,
            "found_nanosecond": found_ns % 10**9 if found_ns is not None else None,
            "note": m.get("note") or None,
        })
    return out, left_out


def check(problems, what, got, want):
    if got != want:
        problems.append("%s: got %r, wanted %r" % (what, got, want))


def check_csv(problems, path, markers):
    with open(path, "rb") as f:
        raw = f.read()
    check(problems, "csv starts with the UTF-8 byte order mark", raw[:3], b"\xef\xbb\xbf")
    check(problems, "rows ended by CRLF (a line break inside a name stays as it is)", raw.count(b"\r\n"),
          len(markers) + 1)
    check(problems, "the last row ended", raw[-2:], b"\r\n")
    with open(path, newline="", encoding="utf-8-sig") as f:
        rows = list(csv.reader(f))
    check(problems, "csv header", rows[0] if rows else None, HEADER)
    check(problems, "csv rows", len(rows) - 1, len(markers))
    def as_text(value):
        value = value or ""
        return "'" + value if value[:1] in ("=", "+", "-", "@", "\t", "\r") else value  # kept from becoming a formula

    for i, (row, m) in enumerate(zip(rows[1:], markers)):
        name = as_text(m["name"])
        check(problems, "csv row %d" % (i + 1), [f32(float(v)) for v in row[:3]] + row[3:],
              m["position"] + [str(m["category"]), m["category_name"] or "", name, m["created"], as_text(m["pack"]),
                               m["found"] or "", as_text(m["note"])])


def check_geojson(problems, path, markers):
    with open(path, encoding="utf-8") as f:
        doc = json.load(f, parse_constant=lambda c: problems.append("geojson holds " + c))
    check(problems, "geojson type", doc.get("type"), "FeatureCollection")
    features = doc.get("features", [])
    check(problems, "geojson features", len(features), len(markers))
    for i, (feature, m) in enumerate(zip(features, markers)):
        check(problems, "feature %d" % (i + 1), feature, {
            "type": "Feature",
            "geometry": {"type": "Point", "coordinates": feature["geometry"]["coordinates"]},
            "properties": {k: m[k] for k in ("name", "category", "category_name", "created", "created_nanosecond",
                                             "pack", "found", "found_nanosecond", "note")},
        })
        check(problems, "feature %d coordinates" % (i + 1), [f32(v) for v in feature["geometry"]["coordinates"]],
              m["position"])


def main():
    markers, left_out = expected_markers(sys.argv[1])
    problems = []
    check_csv(problems, sys.argv[2], markers)
    check_geojson(problems, sys.argv[3], markers)
    with open(sys.argv[4], encoding="utf-8") as f:
        warnings = [line for line in f.read().splitlines() if "not a finite number" in line]
    check(problems, "warnings for markers left out", len(warnings), left_out)
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
