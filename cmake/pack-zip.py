#!/usr/bin/env python3
"""Packs files into a zip whose bytes follow from their names and contents
alone:

    pack-zip.py <zip> <name>...     (names relative to the current folder)

Entries go in the order given, deflated, each with one fixed time, no
permissions and no extra fields. libarchive (cmake -E tar) writes each file's
access and change times into an extra field, which --mtime leaves alone, so
two builds of one commit packed different bytes."""
import sys
import zipfile

FIXED_TIME = (2000, 1, 1, 0, 0, 0)


def pack(zip_path, names):
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in names:
            entry = zipfile.ZipInfo(name, FIXED_TIME)
            entry.create_system = 0  # MS-DOS: no Unix mode in the external attributes
            entry.external_attr = 0
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(name, "rb") as f:
                archive.writestr(entry, f.read())


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: pack-zip.py <zip> <name>...")
    pack(sys.argv[1], sys.argv[2:])
