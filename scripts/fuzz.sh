#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in build-fuzz/ and runs each of them, one after the
# other, for SECONDS (default 60): scripts/fuzz.sh [SECONDS] [HARNESS...]. The working corpus grows
# in build-fuzz/corpus/<harness>/, seeded from fuzz/seeds/<harness>/ and from the files of
# tests/corpus/; what a harness finds is kept in build-fuzz/artifacts/. Exits non-zero when a
# harness finds a crash, a sanitizer report, a timeout or a broken invariant.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
harnesses=("$@")
((${#harnesses[@]})) || harnesses=(flatten_fields workbook command_line)
build=build-fuzz

if [ "${QUARVEL_FUZZ_SKIP_BUILD:-0}" != 1 ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEL_FUZZ=ON \
    -DQUARVEL_TESTS=OFF -DQUARVEL_BENCH=OFF -DQUARVEL_WINDOW=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "${harnesses[@]/#/fuzz_}"
fi

# The largest input each harness reads: pages and sources up to 64 KiB, command lines up to 4 KiB.
declare -A max_len=([flatten_fields]=65536 [workbook]=32768 [command_line]=4096)

# Seeds from the real-world corpus: the settings' bytes (all zero: the defaults) before the first
# bytes of every page and delimited file.
make_corpus_seeds() {
  local harness=$1 dir=$build/seeds/$1 prefix file
  rm -rf "$dir"
  mkdir -p "$dir"
  case $harness in
    flatten_fields) prefix='\x00\x00\x00\x00' ;;
    workbook) prefix='\x00\x00\x00\x00\x00\x00' ;;
    *) return 0 ;;
  esac
  for file in tests/corpus/*; do
    case $file in *.md) continue ;; esac
    local name
    name=$(basename "$file")
    if [ "$harness" = workbook ]; then
      case $file in
        # Delimited files as /n sources (flag byte 1), with their divider where it is not a tab.
        *.csv|*.txt|*.tsv) prefix='\x00\x00\x00\x02\x01\x00' ;;
        *) prefix='\x00\x00\x00\x00\x00\x00' ;;
      esac
    fi
    { printf "$prefix"; head -c "${max_len[$harness]}" "$file"; } >"$dir/$name"
  done
}

status=0
for harness in "${harnesses[@]}"; do
  corpus=$build/corpus/$harness
  artifacts=$build/artifacts/$harness
  mkdir -p "$corpus" "$artifacts"
  make_corpus_seeds "$harness"
  echo "== fuzz_$harness for ${seconds}s"
  if ! "$build/fuzz/fuzz_$harness" -max_total_time="$seconds" -max_len="${max_len[$harness]}" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "fuzz/seeds/$harness" "$build/seeds/$harness" 2>"$build/fuzz_$harness.log"; then
    echo "fuzz_$harness found a fault (see $build/fuzz_$harness.log and $artifacts/):"
    grep -E "ERROR|invariant broken|Test unit written" "$build/fuzz_$harness.log" | head -20 || true
    status=1
  fi
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)" "$build/fuzz_$harness.log" || true
done
exit $status
