#!/usr/bin/env python3
"""Writes the release zip from a Windows build: release_zip.py BUILD_DIR OUT_DIR.

The zip mirrors the game folder. Its bytes depend only on the files it holds:
entries in a fixed order, every entry dated the day of the version's entry in
CHANGELOG.txt (or SOURCE_DATE_EPOCH when set), no per-file extra fields, and
the same attributes for all. The version is the one project() in
CMakeLists.txt gives, read from the header CMake generated from it.
"""
import os
import re
import sys
import time
import zipfile

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def version_of(build_dir):
    with open(os.path.join(build_dir, "generated", "quillfen_version.h"), encoding="ascii") as f:
        return re.search(r'#define QF_VERSION_TEXT "([^"]+)"', f.read()).group(1)


def release_date(changelog, version):
    """(year, month, day) of the version's entry: "0.1.0 (2026-12-10)"."""
    m = re.search(r"^%s \((\d{4})-(\d{2})-(\d{2})\)$" % re.escape(version), changelog, re.M)
    if not m:
        sys.exit("release_zip: docs/release/CHANGELOG.txt has no entry for version %s" % version)
    return tuple(int(g) for g in m.groups())


def windows_text(path):
    """A text file for players, with Windows line ends."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def main():
    build_dir, out_dir = sys.argv[1], sys.argv[2]
    version = version_of(build_dir)
    with open(os.path.join(TOP, "docs", "release", "CHANGELOG.txt"), encoding="utf-8") as f:
        changelog = f.read()
    if "SOURCE_DATE_EPOCH" in os.environ:
        stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
    else:
        stamp = release_date(changelog, version) + (0, 0, 0)

    def binary(name):
        with open(os.path.join(build_dir, name), "rb") as f:
            return f.read()

    entries = [
        ("Quillfen.asi", binary("Quillfen.asi")),
        ("Quillfen/README.txt", windows_text(os.path.join(TOP, "docs", "release", "README.txt"))),
        ("Quillfen/CHANGELOG.txt", windows_text(os.path.join(TOP, "docs", "release", "CHANGELOG.txt"))),
        ("Quillfen/quillfen-markers.exe", binary("quillfen-markers.exe")),
    ]
    os.makedirs(out_dir, exist_ok=True)
    path = os.path.join(out_dir, "Quillfen-%s.zip" % version)
    partial = path + ".partial"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 0  # MS-DOS attributes, as Windows' own zips have
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)
    os.replace(partial, path)
    print(os.path.relpath(path, os.getcwd()))


if __name__ == "__main__":
    main()
