#!/usr/bin/env bash
# Cross-builds the Windows release on Debian 12: varo-clock.exe and the test
# programs in build-win/ (MinGW-w64 against the Qt prefix in
# ../shared/windows/, unpacked once into build-win/qt/), then packs
# build-win/varo-clock-<version>-win64.zip and ...-win64-setup.exe. The
# overlay with QtNetwork, QtWebSockets and QtHttpServer, for the clock service,
# is unpacked over the same prefix.
# VARO_SHARED_DIR names another folder holding windows/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

build=build-win
shared=${VARO_SHARED_DIR:-$PWD/../shared}
tarball=$shared/windows/qt-6.4.2-mingw64.tar.xz
# Network, WebSockets and HttpServer for the network ports and the clock
# service: an overlay of new files over the prefix.
overlay=$shared/windows/qt-6.4.2-mingw64-httpserver.tar.xz
for archive in "$tarball" "$overlay"; do
    if [[ ! -f "$archive" ]]; then
        echo "build-windows: $archive is missing: the Windows Qt prefix comes from a folder shared/ beside" \
            "this repository (or set VARO_SHARED_DIR)" >&2
        exit 1
    fi
done

# Compilers, Qt's host tools (moc, uic, rcc), the icon tools, Debian's Qt
# libraries for their copyright files, NSIS, and the archive tools that look
# into the artefacts.
install_missing cmake ninja-build mingw-w64 g++-mingw-w64-x86-64-posix qt6-base-dev-tools \
    librsvg2-bin icoutils libqt6core6 libqt6serialport6 libqt6websockets6 libqt6httpserver6 nsis unzip p7zip-full

qt=$PWD/$build/qt
if [[ ! -f "$qt/unpacked" || "$tarball" -nt "$qt/unpacked" || "$overlay" -nt "$qt/unpacked" ||
    ! -f "$qt/bin/Qt6HttpServer.dll" ]]; then
    rm -rf "$qt"
    mkdir -p "$qt"
    tar -xJf "$tarball" -C "$qt" --strip-components=1
    tar -xJf "$overlay" -C "$qt" --strip-components=1
    touch "$qt/unpacked"
fi

"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVARO_BUILD_BENCH=OFF ${VARO_CMAKE_ARGS:-}
cmake --build "$build" -j2

rm -f "$build"/varo-clock-*-win64*.zip "$build"/varo-clock-*-win64*-setup.exe
(cd "$build" && cpack -G ZIP && cpack -G NSIS)
zip=$(echo "$build"/varo-clock-*-win64.zip)
setup=$(echo "$build"/varo-clock-*-win64-setup.exe)
for artefact in "$zip" "$setup"; do
    [[ -f "$artefact" ]] || { echo "build-windows: cpack made no $artefact" >&2; exit 1; }
done

# What a Windows PC needs from them: the program with its icon and version
# information, the DLLs it links, the Windows platform plugin and the style;
# and the manual of the command line and the licences of all of it.
fail() { echo "build-windows: $*" >&2; exit 1; }
resources=$(wrestool -l "$build/src/varo-clock.exe")
grep -q "name='IDI_ICON1'.*type=group_icon" <<<"$resources" || fail "varo-clock.exe carries no icon"
grep -q "type=version" <<<"$resources" || fail "varo-clock.exe carries no version information"
files=(varo-clock.exe varo-clock-service.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6SerialPort.dll Qt6Network.dll
    Qt6WebSockets.dll Qt6HttpServer.dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll
    platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qschannelbackend.dll varo-clock-cli.exe
    LICENSE.txt licenses/README.txt licenses/LGPL-3.0.txt licenses/GPL-3.0.txt licenses/LGPL-2.1.txt
    licenses/Qt-qtbase-copyright.txt licenses/Qt-qtserialport-copyright.txt licenses/Qt-qtwebsockets-copyright.txt
    licenses/Qt-qthttpserver-copyright.txt licenses/MinGW-w64-GCC-copyright.txt licenses/MinGW-w64-copyright.txt)
zipped=$(unzip -Z1 "$zip")
installed=$(7z l "$setup")
grep -q 'NSIS-3 Unicode' <<<"$installed" || fail "$setup is not a Unicode NSIS installer"
for file in "${files[@]}" Uninstall.exe; do
    [[ $file == Uninstall.exe ]] || grep -qx "$(basename "$zip" .zip)/$file" <<<"$zipped" || fail "$file is missing from $zip"
    grep -q " ${file}\$" <<<"$installed" || fail "$file is missing from $setup"
done
echo "build-windows: $zip"
echo "build-windows: $setup"
