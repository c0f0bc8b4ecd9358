#!/usr/bin/env bash
# Whole-process benchmarks of conversions to .xls, with python3-xlwt writing the same grids as the
# baseline in the same run.
#
# Usage: bench/xls_bench.sh [build-dir] [runs] [--full-baseline]
#
#   html   the generated table of 65,000 rows x 10 cells (bench/gen_html_table) to .xls
#   tsv    the same grid as tab-separated text (quarvel's own text output of the table) with /n
#   full   a full sheet: 65,536 lines of 256 tab-separated fields (bench/gen_tsv_grid) with /n
#   xlwt   bench/xlwt_baseline.py writing the tsv grid (and, with --full-baseline, the full sheet
#          once: that takes minutes)
#
# Prints the median wall time and the median peak resident size of each, and the targets.
set -euo pipefail
build=${1:-build}
runs=${2:-5}
full_baseline=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
quarvel="$build/quarvel/quarvel"
for program in "$build/bench/gen_html_table" "$build/bench/gen_tsv_grid" "$quarvel" /usr/bin/time; do
  [ -x "$program" ] || { echo "missing $program: build first (cmake --build $build)" >&2; exit 1; }
done
python=/usr/bin/python3
$python -c 'import xlwt' 2>/dev/null || { echo "python3-xlwt is missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/gen_html_table" > "$work/table.htm"
"$quarvel" "$work/table.htm" "$work/table.txt"
"$build/bench/gen_tsv_grid" > "$work/full.tsv"

# Probe: a build without the workbook writer cannot run these benchmarks.
if ! "$quarvel" "$work/table.htm" "$work/probe.xls" 2> "$work/probe.err"; then
  echo "quarvel cannot write workbooks in this build: $(cat "$work/probe.err")" >&2
  exit 1
fi

# measure NAME RUNS COMMAND...: one warm-up run, then RUNS timed runs; prints "NAME seconds MB".
measure() {
  local name=$1 count=$2
  shift 2
  "$@" > /dev/null 2> "$work/err" || { echo "$name failed: $(cat "$work/err")" >&2; exit 1; }
  for _ in $(seq "$count"); do
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/rss" "$@" > /dev/null 2> "$work/err" || { echo "$name failed: $(cat "$work/err")" >&2; exit 1; }
    end=$(date +%s%N)
    echo "$(((end - start) / 1000)) $(cat "$work/rss")"
  done > "$work/$name.runs"
  local mid=$(((count + 1) / 2))
  local us kb
  us=$(cut -d' ' -f1 "$work/$name.runs" | sort -n | sed -n "${mid}p")
  kb=$(cut -d' ' -f2 "$work/$name.runs" | sort -n | sed -n "${mid}p")
  awk -v n="$name" -v us="$us" -v kb="$kb" 'BEGIN { printf "%s %.3f %.1f\n", n, us / 1e6, kb / 1024 }'
}

{
  measure html "$runs" "$quarvel" "$work/table.htm" "$work/table.xls"
  measure tsv "$runs" "$quarvel" /n "$work/table.txt" "$work/grid.xls"
  measure full "$(((runs + 1) / 2))" "$quarvel" /n "$work/full.tsv" "$work/full.xls"
  measure xlwt 3 "$python" "$here/xlwt_baseline.py" "$work/table.txt" "$work/xlwt.xls"
  if [ "$full_baseline" = "--full-baseline" ]; then
    measure xlwt-full 1 "$python" "$here/xlwt_baseline.py" "$work/full.tsv" "$work/xlwt-full.xls"
  fi
} > "$work/results"

rows=$(wc -l < "$work/table.txt")
cells=$(awk -F'\t' '{ n += NF } END { print n }' "$work/table.txt")
awk -v runs="$runs" -v rows="$rows" -v cells="$cells" \
    -v htm="$(stat -c %s "$work/table.htm")" -v xls="$(stat -c %s "$work/table.xls")" \
    -v fullxls="$(stat -c %s "$work/full.xls")" '
  { t[$1] = $2; m[$1] = $3 }
  function verdict(value, limit) { return value <= limit ? "ok" : "OVER" }
  END {
    printf "inputs: table %.1f MB of HTML, %d lines, %d fields; full sheet 65536 x 256 fields\n", htm / 1e6, rows, cells
    printf "outputs: table.xls %.1f MB, full.xls %.1f MB; medians of %d runs (full sheet %d)\n", xls / 1e6, fullxls / 1e6, runs, int((runs + 1) / 2)
    printf "%-30s %9s %12s   %s\n", "conversion", "seconds", "peak MB", "target"
    printf "%-30s %9.3f %12.1f   <= 0.25 s %s, <= 150 MB %s\n", "quarvel html table -> xls", t["html"], m["html"], verdict(t["html"], 0.25), verdict(m["html"], 150)
    printf "%-30s %9.3f %12.1f   <= 0.15 s %s\n", "quarvel tsv grid /n -> xls", t["tsv"], m["tsv"], verdict(t["tsv"], 0.15)
    printf "%-30s %9.3f %12.1f   <= 10 s %s, <= 2048 MB %s\n", "quarvel full sheet /n -> xls", t["full"], m["full"], verdict(t["full"], 10), verdict(m["full"], 2048)
    printf "%-30s %9.3f %12.1f   baseline (median of 3)\n", "xlwt tsv grid -> xls", t["xlwt"], m["xlwt"]
    if ("xlwt-full" in t) printf "%-30s %9.3f %12.1f   baseline (1 run)\n", "xlwt full sheet -> xls", t["xlwt-full"], m["xlwt-full"]
    printf "tsv grid: quarvel %.1f times as fast as xlwt\n", t["xlwt"] / t["tsv"]
  }' "$work/results"
