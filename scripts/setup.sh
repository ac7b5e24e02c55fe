#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when
# any is missing, and configures and builds the project in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev libgl-dev libxkbcommon-dev
    xvfb xauth x11-utils xdotool imagemagick
    fonts-wqy-microhei fonts-liberation
    gpsd-clients
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja ${VARO_CMAKE_ARGS:-}
cmake --build build
