#!/usr/bin/env bash
# Whole-process benchmarks of conversions to .xlsx, beside the same conversions to .xls, with the
# peers writing the same grids as .xlsx in the same run: SheetJS (npm's xlsx package,
# XLSX.writeFile) and python3-openpyxl in write-only mode.
#
# Usage: bench/xlsx_bench.sh [build-dir] [runs] [peer-limit-seconds]
#
#   html      the generated table of 65,000 rows x 10 cells (bench/gen_html_table)
#   grid      the same table as tab-separated text (quarvel's own text output of it), with /n
#   million   1,000,000 lines of 10 tab-separated fields (bench/gen_tsv_grid 1000000 10), with /n;
#             to .xls it keeps the first 65,536 lines
#   sheetjs   bench/sheetjs/grid_to_xlsx.js on grid and million (npm install --prefix bench/sheetjs
#             first; skipped without it)
#   openpyxl  bench/openpyxl_baseline.py on grid and million
#
# Prints the median wall time and the median peak resident size of each (the peers on the million
# lines once), the targets and the ratios. A peer run that fails or takes longer than the limit
# (default 900 s) is reported as such. Outputs are not synced to the disk (QUARVEL_NO_SYNC=1).
set -euo pipefail
build=${1:-build}
runs=${2:-5}
limit=${3:-900}
here=$(cd "$(dirname "$0")" && pwd)
quarvel="$build/quarvel/quarvel"
for program in "$build/bench/gen_html_table" "$build/bench/gen_tsv_grid" "$quarvel" /usr/bin/time; do
  [ -x "$program" ] || { echo "missing $program: build first (cmake --build $build)" >&2; exit 1; }
done
python=/usr/bin/python3
$python -c 'import openpyxl' 2>/dev/null || { echo "python3-openpyxl is missing (scripts/install-deps.sh)" >&2; exit 1; }
sheetjs=""
if command -v node > /dev/null && [ -d "$here/sheetjs/node_modules/xlsx" ]; then
  sheetjs="$here/sheetjs/grid_to_xlsx.js"
else
  echo "SheetJS is not installed (npm install --prefix bench/sheetjs): its figures are left out" >&2
fi
export QUARVEL_NO_SYNC=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/gen_html_table" > "$work/table.htm"
"$quarvel" "$work/table.htm" "$work/table.txt"
"$build/bench/gen_tsv_grid" 1000000 10 > "$work/million.tsv"

# measure NAME RUNS COMMAND...: one warm-up run (none for a single run), then RUNS timed runs;
# prints "NAME seconds MB", or "NAME failed" / "NAME timeout" for a run that failed or passed the
# limit (peers only; a failing quarvel run ends the benchmark).
measure() {
  local name=$1 count=$2
  shift 2
  local peer=0
  case "$name" in openpyxl-*|sheetjs-*) peer=1 ;; esac
  if [ "$count" -gt 1 ]; then
    timeout "$limit" "$@" > /dev/null 2> "$work/err" || {
      [ "$peer" = 1 ] || { echo "$name failed: $(cat "$work/err")" >&2; exit 1; }
      echo "$name failed"; return; }
  fi
  : > "$work/$name.runs"
  for _ in $(seq "$count"); do
    local start end status=0
    start=$(date +%s%N)
    timeout "$limit" /usr/bin/time -f %M -o "$work/rss" "$@" > /dev/null 2> "$work/err" || status=$?
    end=$(date +%s%N)
    if [ "$status" != 0 ]; then
      [ "$peer" = 1 ] || { echo "$name failed: $(head -c 2000 "$work/err")" >&2; exit 1; }
      if [ "$status" = 124 ]; then echo "$name timeout"; else echo "$name failed"; fi
      echo "$name: status $status: $(head -c 500 "$work/err")" >&2
      return
    fi
    echo "$(((end - start) / 1000)) $(cat "$work/rss")" >> "$work/$name.runs"
  done
  local mid=$(((count + 1) / 2))
  local us kb
  us=$(cut -d' ' -f1 "$work/$name.runs" | sort -n | sed -n "${mid}p")
  kb=$(cut -d' ' -f2 "$work/$name.runs" | sort -n | sed -n "${mid}p")
  awk -v n="$name" -v us="$us" -v kb="$kb" 'BEGIN { printf "%s %.3f %.1f\n", n, us / 1e6, kb / 1024 }'
}

{
  measure html-xls "$runs" "$quarvel" "$work/table.htm" "$work/table.xls"
  measure html-xlsx "$runs" "$quarvel" "$work/table.htm" "$work/table.xlsx"
  measure grid-xls "$runs" "$quarvel" /n "$work/table.txt" "$work/grid.xls"
  measure grid-xlsx "$runs" "$quarvel" /n "$work/table.txt" "$work/grid.xlsx"
  measure million-xls "$(((runs + 1) / 2))" "$quarvel" /n "$work/million.tsv" "$work/million.xls"
  measure million-xlsx "$(((runs + 1) / 2))" "$quarvel" /n "$work/million.tsv" "$work/million.xlsx"
  measure openpyxl-grid 3 "$python" "$here/openpyxl_baseline.py" "$work/table.txt" "$work/openpyxl-grid.xlsx"
  measure openpyxl-million 1 "$python" "$here/openpyxl_baseline.py" "$work/million.tsv" "$work/openpyxl-million.xlsx"
  if [ -n "$sheetjs" ]; then
    measure sheetjs-grid 3 node "$sheetjs" "$work/table.txt" "$work/sheetjs-grid.xlsx"
    measure sheetjs-million 1 node "$sheetjs" "$work/million.tsv" "$work/sheetjs-million.xlsx"
  fi
} > "$work/results"

size() { [ -f "$1" ] && stat -c %s "$1" || echo 0; }
awk -v runs="$runs" -v limit="$limit" -v htm="$(size "$work/table.htm")" -v txt="$(size "$work/million.tsv")" \
    -v tablexlsx="$(size "$work/table.xlsx")" -v tablexls="$(size "$work/table.xls")" \
    -v millionxlsx="$(size "$work/million.xlsx")" '
  { t[$1] = $2; m[$1] = NF > 2 ? $3 : "" }
  function verdict(value, limit) { return value <= limit ? "ok" : "OVER" }
  # A peer without a time: what became of it, or that it did not run.
  function shown(name) { return !(name in t) ? "(not run)" : t[name] == "timeout" ? "(over " limit " s)" : t[name] }
  function ratio(peer, ours) {
    if (!(peer in t)) return "(no figure for)"
    if (t[peer] == "timeout") return sprintf("more than %.0f times as fast as", limit / t[ours])
    if (t[peer] == "failed") return "(no figure: it failed) for"
    return sprintf("%.1f times as fast as", t[peer] / t[ours])
  }
  END {
    printf "inputs: table %.1f MB of HTML (65,000 x 10); million.tsv %.1f MB (1,000,000 x 10)\n", htm / 1e6, txt / 1e6
    printf "outputs: table.xls %.1f MB, table.xlsx %.1f MB, million.xlsx %.1f MB; medians of %d runs (million %d, peers 3 and 1)\n", tablexls / 1e6, tablexlsx / 1e6, millionxlsx / 1e6, runs, int((runs + 1) / 2)
    printf "%-34s %9s %10s   %s\n", "conversion", "seconds", "peak MB", "target"
    printf "%-34s %9s %10s\n", "quarvel html table -> xls", t["html-xls"], m["html-xls"]
    printf "%-34s %9s %10s   <= 0.6 s %s, <= 200 MB %s\n", "quarvel html table -> xlsx", t["html-xlsx"], m["html-xlsx"], verdict(t["html-xlsx"], 0.6), verdict(m["html-xlsx"], 200)
    printf "%-34s %9s %10s\n", "quarvel grid /n -> xls", t["grid-xls"], m["grid-xls"]
    printf "%-34s %9s %10s\n", "quarvel grid /n -> xlsx", t["grid-xlsx"], m["grid-xlsx"]
    printf "%-34s %9s %10s   (65,536 lines kept)\n", "quarvel million /n -> xls", t["million-xls"], m["million-xls"]
    printf "%-34s %9s %10s   <= 12 s %s, <= 2048 MB %s\n", "quarvel million /n -> xlsx", t["million-xlsx"], m["million-xlsx"], verdict(t["million-xlsx"], 12), verdict(m["million-xlsx"], 2048)
    printf "%-34s %9s %10s   peer (median of 3)\n", "openpyxl write-only grid -> xlsx", shown("openpyxl-grid"), m["openpyxl-grid"]
    printf "%-34s %9s %10s   peer (1 run)\n", "openpyxl write-only million -> xlsx", shown("openpyxl-million"), m["openpyxl-million"]
    printf "%-34s %9s %10s   peer (median of 3)\n", "SheetJS grid -> xlsx", shown("sheetjs-grid"), m["sheetjs-grid"]
    printf "%-34s %9s %10s   peer (1 run)\n", "SheetJS million -> xlsx", shown("sheetjs-million"), m["sheetjs-million"]
    printf "grid: quarvel %s openpyxl, %s SheetJS\n", ratio("openpyxl-grid", "grid-xlsx"), ratio("sheetjs-grid", "grid-xlsx")
    printf "million: quarvel %s openpyxl, %s SheetJS\n", ratio("openpyxl-million", "million-xlsx"), ratio("sheetjs-million", "million-xlsx")
  }' "$work/results"
