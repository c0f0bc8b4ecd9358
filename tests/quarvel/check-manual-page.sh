#!/usr/bin/env bash
# The manual page as an installation ships it: groff renders docs/quarvel.1 without a single warning
# (-ww: all of them), so does man -l, the page documents every switch the program's --help lists,
# and its title line names the program's version.
#
#   check-manual-page.sh PROGRAM     (from the top of the source tree; exit 77: groff is missing)
set -uo pipefail
program=$1
page=docs/quarvel.1
if ! command -v groff > /dev/null; then
  echo "SKIP: groff is not installed (groff-base), the manual page was not rendered"
  exit 77
fi
status=0
err=$(groff -man -Tutf8 -ww "$page" 2>&1 > /dev/null)
if [ $? -ne 0 ] || [ -n "$err" ]; then
  echo "groff -man -Tutf8 -ww $page warns:"
  echo "$err"
  status=1
fi
if command -v man > /dev/null; then
  err=$(MANWIDTH=80 man -l "$page" 2>&1 > /dev/null)
  if [ $? -ne 0 ] || [ -n "$err" ]; then
    echo "man -l $page warns:"
    echo "$err"
    status=1
  fi
fi
help=$("$program" --help) || { echo "$program --help failed"; exit 1; }
switches=$(grep -oE '^  /[a-z]' <<< "$help" | tr -d ' ')
[ -n "$switches" ] || { echo "no switches found in --help"; exit 1; }
for switch in $switches --help --version; do
  roff=${switch//-/\\-}
  if ! grep -qE "^\.(B|BI|BR) $(sed 's/[\\.]/\\&/g' <<< "$roff")( |$)" "$page"; then
    echo "$page does not document $switch"
    status=1
  fi
done
version=$("$program" --version | head -1)
if ! grep -qE "^\.TH QUARVEL 1 \"[^\"]*\" \"$version\"" "$page"; then
  echo "$page: its title line does not name \"$version\":"
  grep '^\.TH' "$page"
  status=1
fi
[ "$status" -eq 0 ] && echo "$page: renders without warnings, documents $(wc -w <<< "$switches") switches, names $version"
exit "$status"
