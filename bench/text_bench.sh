#!/usr/bin/env bash
# Whole-process benchmark of HTML-to-text conversion.
# Usage: bench/text_bench.sh [build-dir] [runs]
# Generates the large table, converts it to .txt several times with quarvel, reads it as many times
# with cat as the baseline, and prints the median wall time of each and the input rate in MB/s.
set -euo pipefail
build=${1:-build}
runs=${2:-9}
generator="$build/bench/gen_html_table"
quarvel="$build/quarvel/quarvel"
for program in "$generator" "$quarvel"; do
  [ -x "$program" ] || { echo "missing $program: build first (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" > "$work/table.htm"
bytes=$(stat -c %s "$work/table.htm")

# Median wall time in microseconds of running the command `runs` times (after one warm-up run).
median_us() {
  "$@" > /dev/null
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
  done | sort -n | sed -n "$(((runs + 1) / 2))p"
}

quarvel_us=$(median_us "$quarvel" "$work/table.htm" "$work/out.txt")
cat_us=$(median_us cat "$work/table.htm")
lines=$(wc -l < "$work/out.txt")
awk -v b="$bytes" -v q="$quarvel_us" -v c="$cat_us" -v n="$runs" -v l="$lines" 'BEGIN {
  mb = b / 1e6
  printf "input: %.2f MB of HTML, output: %d lines; median of %d runs\n", mb, l, n
  printf "quarvel html -> txt: %8.1f ms  %8.1f MB/s\n", q / 1000, mb / (q / 1e6)
  printf "cat (baseline):      %8.1f ms  %8.1f MB/s\n", c / 1000, mb / (c / 1e6)
}'
