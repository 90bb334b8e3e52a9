#!/usr/bin/env bash
# Builds in Release and runs the benchmark: every workload at its sizes, five runs each,
# beside the floor (the same statements run by isql-fb). Prints the table and writes it
# to docs/BENCHMARKS.md. Extra arguments go to the benchmark program (--quick, --only W2).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh program
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release
export QT_QPA_PLATFORM=offscreen
if [ $# -eq 0 ]; then
  exec build-release/bench/kumobench --markdown docs/BENCHMARKS.md
fi
exec build-release/bench/kumobench "$@"
