#!/usr/bin/env bash
# Writes the outputs of a fixed set of conversions into a folder, so that two builds can be compared
# byte for byte (work on speed must not change a single byte written).
#
# Usage: bench/output_set.sh [build-dir] OUT-DIR [--full]
#        bench/output_set.sh --compare DIR-A DIR-B
#
# The set: the generated 65,000 x 10 table to .xls (also with /c white /w 10 /l 2 /d 3), the same
# grid as text with /n to .xls, the bundled example report with /l 3 /d 10 /h, and every file of
# tests/corpus/ to .xls and to .txt, with /n to .xls, and with /n /f 44 and /n /f 59 to .xls.
# With --full also the full 65,536 x 256 sheet (its SHA-256 only: the file is 239 MB).
# Every conversion's exit status and stderr are kept beside its output.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = "--compare" ]; then
  a=$2 b=$3
  count=$(find "$a" -type f | wc -l)
  if diff -r -q "$a" "$b"; then
    echo "same: $count files"
  else
    echo "DIFFERENT (of $count files in $a)"
    exit 1
  fi
  exit 0
fi

build=${1:-build}
out=$2
full=${3:-}
quarvel="$build/quarvel/quarvel"
corpus="$here/../tests/corpus"
[ -x "$quarvel" ] || { echo "missing $quarvel" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME ARGS...: runs quarvel with LC_ALL=C, keeps its status and stderr as NAME.status.
run() {
  local name=$1
  shift
  local status=0
  LC_ALL=C "$quarvel" "$@" 2> "$work/err" || status=$?
  # The target's path varies from run to run; the message around it does not.
  { echo "$status"; sed "s|$out/||g" "$work/err"; } > "$out/$name.status"
}

"$build/bench/gen_html_table" > "$work/table.htm"
LC_ALL=C "$quarvel" "$work/table.htm" "$work/table.txt"
run table.xls "$work/table.htm" "$out/table.xls"
run table-options.xls "$work/table.htm" "$out/table-options.xls" /c white /w 10 /l 2 /d 3
run grid.xls /n "$work/table.txt" "$out/grid.xls"
run report.xls "$here/../examples/report.htm" "$out/report.xls" /l 3 /d 10 /h "ACME Corporation - internal"
for source in "$corpus"/*; do
  name=$(basename "$source")
  case "$name" in *.md) continue ;; esac
  run "$name.xls" "$source" "$out/$name.xls"
  run "$name.txt" "$source" "$out/$name.txt"
  run "$name.n.xls" /n "$source" "$out/$name.n.xls"
  run "$name.n44.xls" /n "$source" "$out/$name.n44.xls" /f 44
  run "$name.n59.xls" /n "$source" "$out/$name.n59.xls" /f 59
done
if [ "$full" = "--full" ]; then
  "$build/bench/gen_tsv_grid" > "$work/full.tsv"
  run full.xls /n "$work/full.tsv" "$work/full.xls"
  sha256sum < "$work/full.xls" > "$out/full.xls.sha256"
fi
echo "$(find "$out" -name '*.status' | wc -l) conversions written to $out"
