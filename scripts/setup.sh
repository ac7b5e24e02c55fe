#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when
# any is missing, and configures and builds the project in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

# chromium: the clock service's live page is tested in it, headless; iproute2:
# the service's test of a dead network link makes a network namespace.
install_missing \
    g++ cmake ninja-build pkg-config \
    qt6-base-dev qt6-serialport-dev qt6-httpserver-dev qt6-websockets-dev libgl-dev libxkbcommon-dev \
    xvfb xauth x11-utils xdotool imagemagick \
    fonts-wqy-microhei fonts-liberation \
    gpsd-clients libfaketime \
    dbus iproute2 \
    chromium
# The network ports' tests run ser2net themselves; the clock service's test
# scrapes it with a real Prometheus, sends two clocks' alerts through a real
# Alertmanager and lends the master clock to a chronyd that never sets the
# computer's clock (-x).
install_missing_without_starting ser2net prometheus prometheus-alertmanager chrony

cmake -S . -B build -G Ninja ${VARO_CMAKE_ARGS:-}
cmake --build build
