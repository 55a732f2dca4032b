#!/usr/bin/env bash
# Compiles the manual into a CHM: build-chm.sh SOURCE_DIR OUTPUT_CHM
#
# The sources are UTF-8 and say so. HTML Help reads the contents, the index and
# the title in the code page of the file's language (936 for simplified
# Chinese), so the compiled copy is converted to GBK and declares that instead.
set -euo pipefail
src=$1
out=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for f in "$src"/*.htm "$src"/*.hhc "$src"/*.hhk "$src"/*.hhp; do
  iconv -f UTF-8 -t GBK "$f" | sed 's/charset=utf-8/charset=gbk/' >"$stage/$(basename "$f")"
done
cp "$src"/*.css "$stage/"
(cd "$stage" && chmcmd --no-html-scan --verbosity 0 Hourlink.hhp >chmcmd.log 2>&1) || {
  cat "$stage/chmcmd.log" >&2
  exit 1
}
[[ -s "$stage/Hourlink.chm" ]] || { echo "build-chm: no Hourlink.chm made" >&2; cat "$stage/chmcmd.log" >&2; exit 1; }
mv -f "$stage/Hourlink.chm" "$out"
