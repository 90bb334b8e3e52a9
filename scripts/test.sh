#!/usr/bin/env bash
# Installs everything, builds, and runs every test: once in a normal build (with the
# stress run of two copies on one database), once under AddressSanitizer and
# UndefinedBehaviorSanitizer. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh tests

# The test build leaves out debug information and most optimisation: the two builds are
# most of the run's time, and this cuts the compiler's work on Qt's templates by a third
# without changing what is tested (the benchmark's figures come from its Release build).
bash scripts/build.sh build -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -DNDEBUG"
printf '==> Running the tests\n'
ctest --test-dir build --output-on-failure -j2
# Alone, after the parallel run: it kills and restarts a Firebird server of its own.
printf '==> Two copies on one database, with the server killed in the middle\n'
bash tests/stress/run.sh build/tests/stress/kumo_stress 30
# The package as a user installs it, from the build just tested.
printf '==> The Debian package\n'
bash tests/desktop/package.sh "$(bash scripts/package.sh build | tail -n 1)"
# The benchmark's quick mode: every workload once at its smallest size, so that it
# cannot rot unnoticed; it checks that each did all its work, not how fast.
printf '==> The benchmark, quick mode
'
QT_QPA_PLATFORM=offscreen build/bench/kumobench --quick

# Line tables are all a sanitizer's report needs of the debug information.
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKUMO_SANITIZE=ON
printf '==> Running the tests under AddressSanitizer and UndefinedBehaviorSanitizer\n'
ctest --test-dir build-asan --output-on-failure -j2
printf '==> All tests passed\n'
