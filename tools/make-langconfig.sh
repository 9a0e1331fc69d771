#!/usr/bin/env bash
# Writes the language files data/langconfig/<id>.ini from the UTF-8 sources in tools/langconfig/:
# line n of a source is entry n. The files are UTF-16LE with a byte-order mark, one entry per line,
# each line ending in a comma and CR LF. An entry cannot hold a comma: the format has no escaping.
set -euo pipefail
cd "$(dirname "$0")/.."
out=data/langconfig
mkdir -p "$out"
for source in tools/langconfig/*.txt; do
  id=$(basename "$source" .txt)
  lines=$(wc -l <"$source")
  if [ "$lines" -ne 33 ]; then echo "$source: $lines entries, 33 wanted" >&2; exit 1; fi
  if grep -n ',' "$source" >&2; then echo "$source: an entry holds a comma" >&2; exit 1; fi
  if grep -n '^$' "$source" >&2; then echo "$source: an entry is empty" >&2; exit 1; fi
  { printf '\xef\xbb\xbf'; sed 's/$/,\r/' "$source"; } | iconv -f UTF-8 -t UTF-16LE >"$out/$id.ini"
done
# No language chosen yet: the user's own language is used.
[ -e "$out/currentcfg.ini" ] || : >"$out/currentcfg.ini"
