#!/usr/bin/env bash
# Writes the converter's language files data/kadrel_lang/<id>.ini from the UTF-8 sources in
# tools/kadrel/lang/: line n of a source is entry n. Same format as the player's language files:
# UTF-16LE with a byte-order mark, one entry per line, each line ending in a comma and CR LF.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=data/kadrel_lang
mkdir -p "$out"
for source in tools/kadrel/lang/*.txt; do
  id=$(basename "$source" .txt)
  lines=$(wc -l <"$source")
  if [ "$lines" -ne 33 ]; then echo "$source: $lines entries, 33 wanted" >&2; exit 1; fi
  if grep -n ',' "$source" >&2; then echo "$source: an entry holds a comma" >&2; exit 1; fi
  if grep -n '^$' "$source" >&2; then echo "$source: an entry is empty" >&2; exit 1; fi
  { printf '\xef\xbb\xbf'; sed 's/$/,\r/' "$source"; } | iconv -f UTF-8 -t UTF-16LE >"$out/$id.ini"
done
