#!/usr/bin/env bash
# Writes the converter's language files data/kadrel_lang/<id>.ini from the UTF-8 sources in
# tools/kadrel/lang/, in the same format as the player's language files.
set -euo pipefail
exec bash "$(dirname "$0")/../make-langconfig.sh" tools/kadrel/lang data/kadrel_lang
