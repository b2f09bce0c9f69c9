#!/usr/bin/env bash
# Fails when a program's --help and its man page name different options, so neither can drift.
#   docs/man/check_options.sh PROGRAM MAN_PAGE
# From --help: the option names at the start of the lines of its "Options:" list
# ("  -o, --output DIR   ..."). From the man page: the names in the tags (.TP) of its OPTIONS
# section. Both sets are compared; each name missing on one side is printed.
set -euo pipefail
program=$1
page=$2

names() { grep -oE '(^|[ ,])--?[A-Za-z0-9][A-Za-z0-9-]*' | sed 's/^[ ,]*//' | sort -u; }

help_names=$("$program" --help | awk '
  /^[A-Za-z].*:$/ { inOptions = ($0 == "Options:"); next }
  inOptions && /^ +-/ { sub(/^ +/, ""); split($0, parts, /   */); print parts[1] }' | names)

# The tag line after each .TP of the OPTIONS section, with roff escapes and fonts removed.
man_names=$(awk '
  /^\.SH/ { inOptions = ($0 ~ /^\.SH +"?OPTIONS"?/); next }
  inOptions && /^\.TP/ { tag = 1; next }
  inOptions && tag { print; tag = 0 }' "$page" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' | names)

if [[ -z $help_names ]]; then
  echo "no options found in $program --help" >&2
  exit 1
fi
if [[ $help_names != "$man_names" ]]; then
  echo "$program --help and $page name different options:" >&2
  diff <(echo "$help_names") <(echo "$man_names") | sed -n 's/^< /  only in --help: /p; s/^> /  only in the man page: /p' >&2
  exit 1
fi
echo "$(echo "$help_names" | wc -l) option names agree between $program --help and $page"
