#!/usr/bin/env bash
# Installs the dependencies, checks that the includes follow the layers, builds from scratch and
# runs every test twice: in a normal build (build-test/) and in a build under AddressSanitizer +
# UndefinedBehaviorSanitizer (build-asan/); then runs each fuzz harness for a minute in a clang
# build (build-fuzz/), and last builds the Debian package (build-package/), checks it with lintian,
# installs it and converts with the installed program. The build/ folder of scripts/run-example.sh
# is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# No include points up a layer (docs/ARCHITECTURE.md).
./scripts/check-layers.sh
jobs=$(nproc)

rm -rf build-test build-asan
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUARVEL_SANITIZE=ON -DQUARVEL_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

./scripts/fuzz.sh 60

./scripts/package.sh --install
