#!/usr/bin/env bash
# The desktop entry as an installation ships it: desktop-file-validate finds nothing to say about
# quarvel/quarvel.desktop (no error, warning or hint), it starts the program, and its icon is the
# one installed beside it.
#
#   check-desktop-entry.sh     (from the top of the source tree; exit 77: desktop-file-utils missing)
set -uo pipefail
entry=quarvel/quarvel.desktop
if ! command -v desktop-file-validate > /dev/null; then
  echo "SKIP: desktop-file-validate is not installed (desktop-file-utils), $entry was not validated"
  exit 77
fi
status=0
out=$(desktop-file-validate "$entry" 2>&1)
if [ $? -ne 0 ] || [ -n "$out" ]; then
  echo "desktop-file-validate $entry:"
  echo "$out"
  status=1
fi
grep -qx 'Exec=quarvel' "$entry" || { echo "$entry: Exec is not the program quarvel"; status=1; }
# The icon is installed as share/icons/hicolor/scalable/apps/quarvel.svg from window/quarvel.svg.
grep -qx 'Icon=quarvel' "$entry" || { echo "$entry: Icon is not quarvel"; status=1; }
[ -f window/quarvel.svg ] || { echo "window/quarvel.svg: missing"; status=1; }
[ "$status" -eq 0 ] && echo "$entry: valid"
exit "$status"
