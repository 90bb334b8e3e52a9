#!/usr/bin/env bash
# Installs everything, builds, and runs every test: once in a normal build (with the
# stress run of two copies on one database), once under AddressSanitizer and
# UndefinedBehaviorSanitizer. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh tests

bash scripts/build.sh build
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

bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKUMO_SANITIZE=ON
printf '==> Running the tests under AddressSanitizer and UndefinedBehaviorSanitizer\n'
ctest --test-dir build-asan --output-on-failure -j2
printf '==> All tests passed\n'
