#!/usr/bin/env python3
"""Writes the view benchmark's second archive with Python's zipfile module:
69 folders of 1,000 small deflated files each, and 1,000 more at the top
(70,000 members), with no records for the folders.  Its records are what a
common archiver writes, unlike the empty stored members of the benchmark's own
synthetic archive.  Usage: make_python_archive.py OUTPUT.zip"""
import sys
import zipfile

FOLDERS = 69
FILES = 1000


def member_text(index):
    # Small and compressible, each one a little different.
    return ("member %d\n" % index) * (1 + index % 7)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_python_archive.py OUTPUT.zip")
    index = 0
    with zipfile.ZipFile(sys.argv[1], "w", compression=zipfile.ZIP_DEFLATED) as archive:
        for folder in range(FOLDERS):
            for file in range(FILES):
                archive.writestr("folder%02d/file%04d.txt" % (folder, file), member_text(index))
                index += 1
        for file in range(FILES):
            archive.writestr("top%04d.txt" % file, member_text(index))
            index += 1


if __name__ == "__main__":
    main()
