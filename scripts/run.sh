#!/usr/bin/env bash
# Installs everything, builds, and starts Kumolist.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
printf '==> Starting build/src/app/kumolist\n'
exec build/src/app/kumolist
