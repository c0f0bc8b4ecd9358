#!/usr/bin/env bash
# Installs the dependencies, builds quarvel and converts the bundled example report.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target quarvel
./build/quarvel/quarvel examples/report.htm build/report.txt /f 59 /h "ACME Corporation - internal"
echo "examples/report.htm converted to build/report.txt:"
cat build/report.txt
