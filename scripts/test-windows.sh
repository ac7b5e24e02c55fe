#!/usr/bin/env bash
# Builds the Windows release (scripts/build-windows.sh) and runs its test
# programs under Wine, offscreen, through CTest. A failing test fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
source scripts/lib/wine.sh

# Wine first: the build's configuration finds it and runs the tests with it.
install_missing wine wine64 fonts-wine fonts-wqy-microhei
scripts/build-windows.sh
wine_env "$PWD/build-win/wine" "$PWD/build-win/qt/bin"
ctest --test-dir build-win --output-on-failure -j2
