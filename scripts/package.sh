#!/usr/bin/env bash
# Builds the Debian package in build-package/ (Release, with the window, without tests and
# benchmarks, hardened with Debian's build flags), checks it with lintian (any error fails; warnings
# are printed) and prints its contents.
#
#   scripts/package.sh [--install]
#
# With --install it then installs the package with dpkg -i (as root: apt-get fetches what it
# depends on), converts a small HTML table with /usr/bin/quarvel to a .xls that python3-xlrd reads
# back, and checks that man finds the manual page. The package is left installed (dpkg -r quarvel
# removes it). Other build folders are left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
install=0
for arg in "$@"; do
  case "$arg" in
    --install) install=1 ;;
    -h | --help) sed -n '2,11s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "package.sh: unknown argument '$arg' (try --help)" >&2; exit 2 ;;
  esac
done
./scripts/install-deps.sh
jobs=$(nproc)
dir=build-package

# Debian's hardening: stack protector, fortified functions, format checks, read-only relocations
# bound at start, position-independent program.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"

rm -rf "$dir"
# Installed under /usr: the window module goes to the multiarch library folder,
# /usr/lib/<triplet>/quarvel.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DQUARVEL_WINDOW=ON -DQUARVEL_TESTS=OFF -DQUARVEL_BENCH=OFF
cmake --build "$dir" -j"$jobs"
(cd "$dir" && cpack -G DEB)
version=$(sed -n '1s/^quarvel (\([^)]*\)).*/\1/p' packaging/changelog)
deb="$dir/quarvel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package.sh: $deb was not made" >&2; exit 1; }

echo "== $deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

echo "== lintian"
# Errors fail the script; warnings and notes are shown.
set +e
lintian --info --display-info --tag-display-limit 0 "$deb" | tee "$dir/lintian.txt"
lintian_status=${PIPESTATUS[0]}
set -e
errors=$(grep -c '^E: ' "$dir/lintian.txt" || true)
warnings=$(grep -c '^W: ' "$dir/lintian.txt" || true)
echo "lintian: $errors error(s), $warnings warning(s)"
if [ "$errors" -gt 0 ] || { [ "$lintian_status" -ne 0 ] && [ "$lintian_status" -ne 2 ]; }; then
  echo "package.sh: lintian rejects $deb" >&2
  exit 1
fi

[ "$install" -eq 1 ] || exit 0

echo "== dpkg -i $deb"
# dpkg installs the package; apt-get then brings in whatever it depends on that is missing.
if ! dpkg -i "$deb"; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -f
fi
dpkg -s quarvel | grep -E '^(Status|Version):'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/table.html" <<'HTML'
<html><body><table>
<tr><th>City</th><th>Stores</th><th>Opened</th></tr>
<tr><td>Zürich</td><td>12</td><td>5/12/2009</td></tr>
<tr><td>Lyon</td><td>7</td><td>1/3/2011</td></tr>
</table></body></html>
HTML
echo "== /usr/bin/quarvel $work/table.html $work/table.xls"
LC_ALL=C.UTF-8 /usr/bin/quarvel "$work/table.html" "$work/table.xls"
/usr/bin/python3 - "$work/table.xls" <<'PY'
import sys, xlrd
sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)
rows = [sheet.row_values(r) for r in range(sheet.nrows)]
for row in rows:
    print(row)
expected = [["City", "Stores", "Opened"], ["Zürich", 12.0], ["Lyon", 7.0]]
for want, got in zip(expected, rows):
    if got[:len(want)] != want:
        sys.exit(f"package.sh: the installed program wrote {got}, not {want}")
if len(rows) != 3 or sheet.cell_type(1, 2) != xlrd.XL_CELL_DATE:
    sys.exit("package.sh: the installed program's workbook is not the table")
print("xlrd reads the table back: 3 rows, numbers and a date as numeric cells")
PY
/usr/bin/quarvel --version

echo "== man quarvel"
# man finds the installed page by name; its NAME line is what apropos shows.
page=$(man -w quarvel)
echo "$page"
[ "$page" = /usr/share/man/man1/quarvel.1.gz ] || { echo "package.sh: man finds $page" >&2; exit 1; }
MANWIDTH=80 man quarvel 2> "$work/man.err" | head -5
if [ -s "$work/man.err" ]; then
  cat "$work/man.err" >&2
  echo "package.sh: man quarvel printed warnings" >&2
  exit 1
fi
echo "package.sh: quarvel ${version} installed (dpkg -r quarvel removes it)"
