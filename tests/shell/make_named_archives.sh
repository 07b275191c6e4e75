#!/usr/bin/env bash
# Archives other tools write with names outside any one code page, for the
# tests of the names the shell gets: the same tree from 7-Zip, Python's
# zipfile, bsdtar and Info-ZIP, and Info-ZIP's archive with the UTF-8 flag
# cleared, as older Linux tools leave it; oem437.zip (unflagged code-page-437
# names), long-path.zip (a 305-character member name) and
# file-and-folder.zip (a file beside a folder of the same name).  Every file
# holds its own path in UTF-8 and a newline, so each is distinct.
# The script fails when a tool's output is not what the tests assume.
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.zip
# Tools read names from the file system in the locale's encoding.
export LC_ALL=C.UTF-8

cat >"$work/names.py" <<'PY'
# The tree, in NFC as written here: folders end with "/".
TREE = ["Ελληνικά/", "Ελληνικά/κείμενο.txt", "Русский/", "Русский/файл.txt",
        "中文/", "中文/子目录/", "中文/子目录/文件.txt",
        "日本語 フォルダ/", "日本語 フォルダ/表示ソース.txt", "עברית/", "עברית/קובץ.txt",
        "😀.txt", "readme.txt", "readme\u00ad.txt"]
OEM = ["Café.txt", "Übung/", "Übung/Lösung.txt"]
LONG = "".join("node_modules/pkg-%02d/" % i for i in range(1, 16)) + "a.txt"
CONFLICT = ["x", "x/", "x/in.txt", "report.txt", "report.txt/", "report.txt/inner.txt"]

def content(name):
    return (name + "\n").encode("utf-8")
PY

cd "$work"
python3 - <<'PY'
import os
from names import TREE, content
for name in TREE:
    path = os.path.join("tree", name)
    if name.endswith("/"):
        os.makedirs(path, exist_ok=True)
    else:
        open(path, "wb").write(content(name))
PY

(cd tree && 7zz a -tzip -bd -bso0 "$out/intl-7z.zip" ./*)
(cd tree && bsdtar --format zip -cf "$out/intl-bsdtar.zip" ./*)
(cd tree && zip -q -r "$out/intl-infozip.zip" ./*)

python3 - "$out" <<'PY'
import struct, sys, zipfile
sys.path.insert(0, ".")
from names import TREE, OEM, LONG, CONFLICT, content
out = sys.argv[1]

def write(path, names, encode=None):
    if encode:
        # zipfile flags every name it cannot write as ASCII; these names are
        # to be stored in another encoding, unflagged.
        zipfile.ZipInfo._encodeFilenameFlags = lambda self: (encode(self.filename), self.flag_bits)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name in names:
            info = zipfile.ZipInfo(name, (2024, 5, 17, 12, 30, 0))
            info.external_attr = (0o40755 << 16) | 0x10 if name.endswith("/") else 0o100644 << 16
            z.writestr(info, b"" if name.endswith("/") else content(name))

write(out + "/intl-python.zip", TREE)
write(out + "/oem437.zip", OEM, lambda n: n.encode("cp437"))
write(out + "/long-path.zip", ["top.txt", LONG])
write(out + "/file-and-folder.zip", CONFLICT)

# Info-ZIP's archive with bit 11 cleared in every local and central header.
data = bytearray(open(out + "/intl-infozip.zip", "rb").read())
end = data.rfind(b"PK\x05\x06")
count, _, start = struct.unpack_from("<HII", data, end + 10)
at = start
for _ in range(count):
    assert data[at:at + 4] == b"PK\x01\x02"
    flags, = struct.unpack_from("<H", data, at + 8)
    struct.pack_into("<H", data, at + 8, flags & ~0x800)
    local, = struct.unpack_from("<I", data, at + 42)
    lflags, = struct.unpack_from("<H", data, local + 6)
    struct.pack_into("<H", data, local + 6, lflags & ~0x800)
    n, m, k = struct.unpack_from("<HHH", data, at + 28)
    at += 46 + n + m + k
open(out + "/intl-unflagged.zip", "wb").write(data)
PY

# What the tests assume of each archive: its exact names (raw bytes) and
# whether each non-ASCII name carries the UTF-8 flag.  Folder entries are
# the tool's choice; every file must be there.
python3 - "$out" <<'PY'
import struct, sys
sys.path.insert(0, ".")
from names import TREE, OEM, LONG, CONFLICT
out = sys.argv[1]

def central(path):
    data = open(path, "rb").read()
    end = data.rfind(b"PK\x05\x06")
    count, _, start = struct.unpack_from("<HII", data, end + 10)
    entries, at = [], start
    for _ in range(count):
        flags, = struct.unpack_from("<H", data, at + 8)
        n, m, k = struct.unpack_from("<HHH", data, at + 28)
        local, = struct.unpack_from("<I", data, at + 42)
        lflags, = struct.unpack_from("<H", data, local + 6)
        entries.append((data[at + 46:at + 46 + n], flags & 0x800 != 0, lflags & 0x800 != 0))
        at += 46 + n + m + k
    return entries

def check(archive, names, encoding, flagged):
    failures = []
    entries = central(out + "/" + archive)
    got = {raw.replace(b"./", b"", 1) if raw.startswith(b"./") else raw for raw, _, _ in entries}
    want = {n.encode(encoding) for n in names}
    files = {n for n in want if not n.endswith(b"/")}
    if not files <= got or not got <= want:
        failures.append("names %r, expected %r" % (sorted(got), sorted(want)))
    for raw, flag, lflag in entries:
        if raw.isascii():
            continue
        if flag != flagged or lflag != flagged:
            failures.append("%r: UTF-8 flag %s/%s, expected %s" % (raw, flag, lflag, flagged))
        if encoding == "cp437":
            try:
                raw.decode("utf-8")
                failures.append("%r also reads as UTF-8" % raw)
            except UnicodeDecodeError:
                pass
    for f in failures:
        print("%s: %s" % (archive, f), file=sys.stderr)
    return not failures

ok = all([
    check("intl-7z.zip", TREE, "utf-8", True),
    check("intl-python.zip", TREE, "utf-8", True),
    check("intl-bsdtar.zip", TREE, "utf-8", True),
    # Debian's Info-ZIP flags the UTF-8 names it stores.
    check("intl-infozip.zip", TREE, "utf-8", True),
    check("intl-unflagged.zip", TREE, "utf-8", False),
    check("oem437.zip", OEM, "cp437", False),
    check("long-path.zip", ["top.txt", LONG], "ascii", False),
    check("file-and-folder.zip", CONFLICT, "ascii", False),
])
if len(LONG) != 305:
    print("long-path.zip: the long name has %d characters" % len(LONG), file=sys.stderr)
    ok = False
sys.exit(0 if ok else 1)
PY
