#!/usr/bin/env python3
"""Writes the release zip from a Windows build: release_zip.py BUILD_DIR OUT_DIR.

    release_zip.py --check BUILD_DIR    only checks the texts (before a build)

The version is the one project() in CMakeLists.txt gives, read from the header
CMake generated from it. The zip is refused, and nothing written, unless the
first entry of CHANGELOG.txt is that version's, "0.2.0 (2026-12-11)", and
README.txt's line "This is Quillfen 0.2.0" names it too.

The zip mirrors the game folder. Its bytes depend only on the files it holds:
entries in a fixed order, every entry dated the day of the version's entry in
CHANGELOG.txt (or SOURCE_DATE_EPOCH when set), no per-file extra fields, and
the same attributes for all.
"""
import datetime
import os
import re
import sys
import time
import zipfile

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def version_of(build_dir):
    with open(os.path.join(build_dir, "generated", "quillfen_version.h"), encoding="ascii") as f:
        return re.search(r'#define QF_VERSION_TEXT "([^"]+)"', f.read()).group(1)


def first_entry(changelog):
    """The heading of CHANGELOG.txt's first entry (the first line underlined with dashes), or None."""
    lines = changelog.splitlines()
    for i in range(len(lines) - 1):
        if lines[i].strip() and re.fullmatch(r"-{3,}", lines[i + 1]):
            return lines[i]
    return None


def release_date(changelog, version):
    """(year, month, day) of the version's entry, "0.2.0 (2026-12-11)", which must come first; or exits
    saying what to change."""
    heading = first_entry(changelog)
    wanted = "%s (YYYY-MM-DD)" % version
    if heading is None:
        refuse("docs/release/CHANGELOG.txt has no entry (a heading underlined with dashes). Add one for version "
               "%s at the top: %s, the day of the release." % (version, wanted))
    m = re.fullmatch(r"%s \((\d{4})-(\d{2})-(\d{2})\)" % re.escape(version), heading)
    if not m:
        refuse('this is version %s, but the first entry of docs/release/CHANGELOG.txt is "%s". Head the entry '
               "that lists this release's changes %s, the day of the release (underlined with dashes), or, if "
               "the entry is for another version, set that version in project(Quillfen VERSION ...) in "
               "CMakeLists.txt." % (version, heading, wanted))
    try:
        datetime.date(*(int(g) for g in m.groups()))
    except ValueError:
        refuse('the first entry of docs/release/CHANGELOG.txt, "%s", has no date of the calendar: write the day of '
               "the release as YYYY-MM-DD." % heading)
    return tuple(int(g) for g in m.groups())


def check_readme(readme, version):
    """README.txt tells a player which version they have; it must be this one."""
    m = re.search(r"^This is Quillfen (\S+?)[.,;:]?(?:\s|$)", readme, re.M)
    if not m:
        refuse('docs/release/README.txt has no line "This is Quillfen %s": add it, so that a player can tell '
               "which version they have." % version)
    if m.group(1) != version:
        refuse('this is version %s, but docs/release/README.txt says "This is Quillfen %s": change it to %s.'
               % (version, m.group(1), version))


def refuse(message):
    sys.exit("release_zip: %s Nothing was packed." % message)


def read_text(*path):
    with open(os.path.join(TOP, *path), encoding="utf-8") as f:
        return f.read()


def windows_text(path):
    """A text file for players, with Windows line ends."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def main():
    arguments = sys.argv[1:]
    check_only = arguments[:1] == ["--check"]
    if check_only:
        arguments = arguments[1:]
    if len(arguments) != (1 if check_only else 2):
        sys.exit("usage: release_zip.py BUILD_DIR OUT_DIR, or release_zip.py --check BUILD_DIR")
    build_dir = arguments[0]
    version = version_of(build_dir)
    changelog = read_text("docs", "release", "CHANGELOG.txt")
    date = release_date(changelog, version)
    check_readme(read_text("docs", "release", "README.txt"), version)
    if check_only:
        return
    out_dir = arguments[1]
    if "SOURCE_DATE_EPOCH" in os.environ:
        stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
    else:
        stamp = date + (0, 0, 0)

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
