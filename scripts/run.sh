#!/usr/bin/env bash
# Installs everything, builds the program (not the tests), and starts Kumolist.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh program
printf '==> Building the program in build/\n'
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target kumolist
printf '==> Starting build/src/app/kumolist\n'
exec build/src/app/kumolist
