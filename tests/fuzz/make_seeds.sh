#!/usr/bin/env bash
# Writes a seed corpus of small real archives into DIR: one per format feature
# the reader handles, made by the tools whose output it must read.  Generated
# rather than committed; a missing tool only means fewer seeds.
set -euo pipefail
out=$(realpath -m "${1:?usage: make_seeds.sh DIR}")
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir -p src/docs/img src/empty
printf 'hello\n' > src/a.txt
printf 'abcabcabcabcabcabcabcabcabcabcabcabcabcabcabcabc\n%.0s' 1 2 3 4 5 6 7 8 > src/docs/rep.txt
printf '\x00\x01\x02\x03\xff\xfe' > src/docs/img/b.bin
: > src/docs/zero.txt
touch -d '2021-03-04 05:06:08' src/a.txt src/docs/rep.txt

have() { command -v "$1" >/dev/null 2>&1; }

if have zip; then
  (cd src && zip -qr -X "$out/zip-deflate.zip" .)
  (cd src && zip -qr -0 "$out/zip-store.zip" a.txt docs)
  (cd src && zip -q -fz "$out/zip-zip64.zip" a.txt docs/rep.txt)
  (cd src && printf 'archive comment\n' | zip -q -z "$out/zip-comment.zip" a.txt)
  (cd src && zip -q -P secret "$out/zip-encrypted.zip" a.txt)
  # Streamed output has no sizes in the local headers: data descriptors.
  (cd src && zip -q - a.txt docs/rep.txt | cat > "$out/zip-streamed.zip")
  # Self-extractor layout: bytes before the first member, offsets fixed by -A.
  { printf 'MZ stub %.0s' $(seq 20); cat "$out/zip-deflate.zip"; } > sfx.zip
  cp sfx.zip "$out/zip-prefix-unadjusted.zip"
  zip -q -A sfx.zip && cp sfx.zip "$out/zip-prefix-adjusted.zip"
  # The smallest valid archive: nothing but an end record.
  printf 'PK\005\006\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' > "$out/empty.zip"
fi

if have python3; then
  python3 - "$out" <<'PY'
import io, sys, zipfile
out = sys.argv[1]
def info(name, mode=None, dt=(2019, 12, 31, 23, 59, 58)):
    z = zipfile.ZipInfo(name, dt)
    if mode is not None:
        z.external_attr = mode << 16
    return z
with zipfile.ZipFile(out + "/py-utf8.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr(info("caf\u00e9/na\u00efve \u00fcber.txt"), "unicode name\n" * 3)
    z.writestr(info("\u65e5\u672c/\u6587\u5b57.txt"), "cjk\n")
with zipfile.ZipFile(out + "/py-zip64.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open(info("forced.txt"), "w", force_zip64=True) as f:
        f.write(b"zip64 sizes in the local header\n" * 4)
    z.writestr(info("dir/"), b"")
with zipfile.ZipFile(out + "/py-unix.zip", "w", zipfile.ZIP_STORED) as z:
    z.writestr(info("ro.txt", 0o100444), "read only\n")
    z.writestr(info("exec.sh", 0o100755), "#!/bin/sh\n")
    z.writestr(info("sub/", 0o040755), b"")
    z.comment = b"unix attributes"
# An unseekable target makes zipfile write data descriptors.
class Pipe(io.RawIOBase):
    def __init__(self): self.buf = bytearray()
    def writable(self): return True
    def write(self, b): self.buf += b; return len(b)
p = Pipe()
with zipfile.ZipFile(p, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr(info("streamed.txt"), "descriptor follows the data\n" * 5)
    z.writestr(info("stored.txt"), "x")
open(out + "/py-descriptor.zip", "wb").write(bytes(p.buf))
PY
fi

if have 7zz; then
  (cd src && 7zz a -tzip -bd -bso0 -bsp0 "$out/7z-deflate.zip" a.txt docs empty)
  (cd src && 7zz a -tzip -mx0 -bd -bso0 -bsp0 "$out/7z-store.zip" a.txt docs/img)
fi

if have bsdtar; then
  (cd src && bsdtar -a -cf "$out/bsdtar.zip" a.txt docs empty)
fi
