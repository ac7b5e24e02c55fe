#!/usr/bin/env bash
# Cross-builds the Windows release on Debian 12: varo-clock.exe and the test
# programs in build-win/ (MinGW-w64 against the Qt prefix in
# ../shared/windows/, unpacked once into build-win/qt/), then packs
# build-win/varo-clock-<version>-win64.zip and ...-win64-setup.exe.
# VARO_SHARED_DIR names another folder holding windows/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

build=build-win
shared=${VARO_SHARED_DIR:-$PWD/../shared}
tarball=$shared/windows/qt-6.4.2-mingw64.tar.xz
if [[ ! -f "$tarball" ]]; then
    echo "build-windows: $tarball is missing: the Windows Qt prefix comes from a folder shared/ beside" \
        "this repository (or set VARO_SHARED_DIR)" >&2
    exit 1
fi

# Compilers, Qt's host tools (moc, uic, rcc), the icon tools and NSIS.
install_missing cmake ninja-build mingw-w64 g++-mingw-w64-x86-64-posix qt6-base-dev-tools \
    librsvg2-bin icoutils nsis

qt=$PWD/$build/qt
if [[ ! -f "$qt/unpacked" || "$tarball" -nt "$qt/unpacked" ]]; then
    rm -rf "$qt"
    mkdir -p "$qt"
    tar -xJf "$tarball" -C "$qt" --strip-components=1
    touch "$qt/unpacked"
fi

"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVARO_BUILD_BENCH=OFF ${VARO_CMAKE_ARGS:-}
cmake --build "$build" -j2

rm -f "$build"/varo-clock-*-win64*.zip "$build"/varo-clock-*-win64*-setup.exe
(cd "$build" && cpack -G ZIP && cpack -G NSIS)
for artefact in "$build"/varo-clock-*-win64.zip "$build"/varo-clock-*-win64-setup.exe; do
    [[ -f "$artefact" ]] || { echo "build-windows: cpack made no $artefact" >&2; exit 1; }
    echo "build-windows: $artefact"
done
