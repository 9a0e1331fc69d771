#!/usr/bin/env bash
# Writes language files <id>.ini from UTF-8 sources <id>.txt: line n of a source is entry n. The
# files are UTF-16LE with a byte-order mark, one entry per line, each line ending in a comma and
# CR LF. An entry cannot hold a comma: the format has no escaping.
#
#   tools/make-langconfig.sh                 the player's: tools/langconfig/ to data/langconfig/, and
#                                            the About box's key list, tools/langconfig/keys/<id>.txt
#                                            (a key's name, then what it does, per key) to
#                                            data/langconfig/<id>keys.ini
#   tools/make-langconfig.sh SOURCES OUT     the folders named, relative to the repository's root
set -euo pipefail
cd "$(dirname "$0")/.."

# convert SOURCES OUT [ENTRIES [SUFFIX]]: writes OUT/<id>SUFFIX.ini for every SOURCES/<id>.txt,
# after checking that it has ENTRIES (33) entries.
convert() {
  local sources=$1 out=$2 entries=${3:-33} suffix=${4:-} source id lines
  mkdir -p "$out"
  for source in "$sources"/*.txt; do
    id=$(basename "$source" .txt)
    lines=$(wc -l <"$source")
    if [ "$lines" -ne "$entries" ]; then echo "$source: $lines entries, $entries wanted" >&2; exit 1; fi
    if grep -n ',' "$source" >&2; then echo "$source: an entry holds a comma" >&2; exit 1; fi
    if grep -n '^$' "$source" >&2; then echo "$source: an entry is empty" >&2; exit 1; fi
    { printf '\xef\xbb\xbf'; sed 's/$/,\r/' "$source"; } | iconv -f UTF-8 -t UTF-16LE >"$out/$id$suffix.ini"
  done
}

case $# in
  0)
    convert tools/langconfig data/langconfig
    # Named longer than a language file, so the language menu does not list them.
    convert tools/langconfig/keys data/langconfig 44 keys
    # No language chosen yet: the user's own language is used.
    [ -e data/langconfig/currentcfg.ini ] || : >data/langconfig/currentcfg.ini
    ;;
  2) convert "$1" "$2" ;;
  *) echo "usage: $0 [SOURCES OUT]" >&2; exit 2 ;;
esac
