#!/usr/bin/env bash
# Archives written by other tools, for the tests that read members:
# docs/readme.txt (stored where the tool allows), docs/img/a.gif,
# docs/img/sub/b.gif and top.txt.  Variants: Python's zipfile seekable and
# streamed (data descriptors), bsdtar plain, forced ZIP64 and with "./" names,
# 7-Zip, Info-ZIP; hostile.zip, whose names point outside any
# destination; and awkward.zip, whose names hold wildcards and quotes.
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/docs/img/sub" "$out"
printf 'read me' >"$work/docs/readme.txt"
printf 'GIF89a-a' >"$work/docs/img/a.gif"
printf 'GIF89a-b' >"$work/docs/img/sub/b.gif"
printf 'top' >"$work/top.txt"
cd "$work"
rm -f "$out"/*.zip
cat >"$work/write.py" <<'PY'
import sys, zipfile
names = ["docs/", "docs/readme.txt", "docs/img/", "docs/img/a.gif", "docs/img/sub/", "docs/img/sub/b.gif", "top.txt"]
target = open(sys.argv[1], "wb") if len(sys.argv) > 1 else sys.stdout.buffer
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    for name in names:
        method = zipfile.ZIP_STORED if name.endswith("readme.txt") else zipfile.ZIP_DEFLATED
        z.write(name, compress_type=method)
PY
python3 "$work/write.py" "$out/python.zip"
# Written to a pipe, zipfile cannot seek back: sizes follow in data descriptors.
python3 "$work/write.py" | cat >"$out/python-stream.zip"
bsdtar --format zip -cf "$out/bsdtar.zip" docs top.txt
bsdtar --format zip --options zip:zip64 -cf "$out/bsdtar-zip64.zip" docs top.txt
# As the tar of current Windows writes a folder: every name "./...", and "./".
mkdir "$work/dot"
cp -r docs top.txt "$work/dot/"
(cd "$work/dot" && bsdtar --format zip -cf "$out/bsdtar-dot.zip" .)
7zz a -tzip -bd -bso0 "$out/7z.zip" docs top.txt
zip -q -r "$out/infozip.zip" docs top.txt
# Names that point outside any destination.
python3 - "$out/hostile.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in ["ok.txt", "../evil.txt", "docs/../../evil2.txt", "/abs.txt", "C:/drive.txt"]:
        z.writestr(zipfile.ZipInfo(name), "x")
PY
# Names legal in a zip file that a pattern reader would misread: wildcards,
# quotes, brackets and blanks, each beside the names it could be taken for.
python3 - "$out/awkward.zip" <<'PY'
import sys, zipfile
names = ["a.txt", "whatA.txt", "whatB.txt", "x", "keep.txt", "b.txt", "lead.txt", "fx/", "fx/in.txt", "f*x",
         "*", "what?.txt", 'x" "keep.txt', "[b].txt", " lead.txt", "f*/", "f*/in.txt"]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name in names:
        z.writestr(zipfile.ZipInfo(name), "" if name.endswith("/") else "content of " + name)
PY
