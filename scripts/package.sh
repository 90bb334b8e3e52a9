#!/usr/bin/env bash
# Builds the Debian package kumolist_<version>_amd64.deb and prints its path.
#
#   bash scripts/package.sh            a Release build of the program alone in build-package/
#   bash scripts/package.sh build      the package of a build folder that exists (the test
#                                      command packs the one it has just built)
#
# Install it with `sudo apt install ./kumolist_*.deb`, remove it with `sudo apt remove kumolist`.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
  dir=$1
  cmake --build "$dir" -j2 >/dev/null
else
  dir=build-package
  bash scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DKUMO_TESTS=OFF >/dev/null
fi
printf '==> Packing %s\n' "$dir"
(cd "$dir" && cpack -G DEB >/dev/null)
ls -t "$dir"/kumolist_*_*.deb | head -n 1
