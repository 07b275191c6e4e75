#!/bin/bash
# Every archive the operation tests changed must satisfy the other archivers.
set -u
dir=$1
shopt -s nullglob
archives=("$dir"/*.zip)
if [ ${#archives[@]} -eq 0 ]; then
  echo "no produced archives in $dir" >&2
  exit 1
fi
failed=0
for zip in "${archives[@]}"; do
  unzip -tqq "$zip" || { echo "unzip -t failed: $zip" >&2; failed=1; }
  7zz t "$zip" >/dev/null || { echo "7zz t failed: $zip" >&2; failed=1; }
  python3 -c 'import sys, zipfile
bad = zipfile.ZipFile(sys.argv[1]).testzip()
sys.exit(bad is not None and print("bad member", bad) is None)' "$zip" ||
    { echo "python testzip failed: $zip" >&2; failed=1; }
done
echo "${#archives[@]} archives checked"
exit $failed
