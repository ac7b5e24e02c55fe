#!/usr/bin/env bash
# Builds the Debian package in build-pkg/ (Release, prefix /usr), checks it
# with lintian (any error or warning fails), installs it with apt-get, checks
# that the installed window comes up under Xvfb, that the installed simulator
# answers --help, that the installed command line sets the installed
# simulator's clock, that systemd takes the service's units and that the
# installed clock service serves the simulator, then removes the package
# again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
source scripts/lib/sim.sh
source scripts/lib/window.sh
source scripts/lib/xvfb.sh

# cpack's dependency look-up (dpkg-shlibdeps, file), the package checks and
# the service's (systemd-analyze).
install_missing dpkg-dev file lintian desktop-file-utils curl systemd

build=build-pkg
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVARO_BUILD_TESTS=OFF -DVARO_BUILD_BENCH=OFF
cmake --build "$build"
rm -f "$build"/varo-clock_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/varo-clock_*.deb)
deb=${debs[0]}
[[ -f "$deb" ]] || { echo "ci-package: cpack made no varo-clock_*.deb" >&2; exit 1; }

dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"
for path in ./usr/bin/varo-clock ./usr/bin/varo-clock-sim ./usr/bin/varo-clock-cli \
    ./usr/share/man/man1/varo-clock.1.gz ./usr/share/man/man1/varo-clock-sim.1.gz \
    ./usr/share/man/man1/varo-clock-cli.1.gz ./usr/share/doc/varo-clock/copyright \
    ./usr/share/doc/varo-clock/changelog.gz \
    ./usr/share/applications/varo-clock.desktop ./usr/share/icons/hicolor/scalable/apps/varo-clock.svg \
    ./usr/share/doc/varo-clock/examples/varo-clock-set-time.service \
    ./usr/share/doc/varo-clock/examples/varo-clock-set-time.timer \
    ./usr/bin/varo-clock-service ./usr/share/man/man1/varo-clock-service.1.gz \
    ./usr/lib/systemd/system/varo-clock-service.service ./usr/share/doc/varo-clock/service.md \
    ./usr/lib/systemd/system/varo-clock-service@.service ./usr/share/doc/varo-clock/fleet.md \
    ./usr/share/doc/varo-clock/examples/prometheus/varo-clock-rules.yml \
    ./usr/share/doc/varo-clock/examples/prometheus/prometheus.yml \
    ./usr/share/doc/varo-clock/examples/prometheus/varo-clock-targets.yml \
    ./usr/share/doc/varo-clock/examples/prometheus/alertmanager.yml; do
    grep -q " $path\$" <<<"$contents" || { echo "ci-package: $path is missing from $deb" >&2; exit 1; }
done
desktop-file-validate packaging/varo-clock.desktop
lintian --fail-on error,warning "$deb" || { echo "ci-package: lintian finds errors or warnings in $deb" >&2; exit 1; }

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "./$deb"
pids=()
cleanup() {
    ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null || true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y varo-clock >/dev/null || true
}
trap cleanup EXIT

/usr/bin/varo-clock-sim --help | head -n 3
for program in varo-clock-sim varo-clock-cli varo-clock-service; do
    [[ $("/usr/bin/$program" --version) == *"$(dpkg-query -W -f='${Version}' varo-clock)"* ]] ||
        { echo "ci-package: $program --version does not match the package version" >&2; exit 1; }
done

# The installed command line against the installed simulator: the set-time
# frame must reach it.
sim_log=$build/installed-varo-clock-sim.log
start_simulator /usr/bin/varo-clock-sim "$sim_log" --persist
/usr/bin/varo-clock-cli --port "$sim_device" set-time
for _ in $(seq 40); do grep -q ' RX AA00[0-9A-F]* set time ' "$sim_log" && break; sleep 0.05; done
grep ' RX AA00[0-9A-F]* set time ' "$sim_log" ||
    { echo "ci-package: the installed varo-clock-cli set-time did not reach the simulator" >&2; exit 1; }
man -l /usr/share/man/man1/varo-clock-cli.1.gz >/dev/null 2>&1 || zcat /usr/share/man/man1/varo-clock-cli.1.gz | head -n 1

# The service's units as installed: one clock, and an instance of the
# template.
systemd-analyze verify /usr/lib/systemd/system/varo-clock-service.service \
    /usr/lib/systemd/system/varo-clock-service@studio-a.service ||
    { echo "ci-package: systemd-analyze verify finds faults in the service's units" >&2; exit 1; }

# The installed clock service on the installed simulator: its status shows
# the port open.
service_log=$build/installed-varo-clock-service.log
/usr/bin/varo-clock-service --port "$sim_device" --listen 127.0.0.1:0 2>"$service_log" &
pids+=($!)
for _ in $(seq 100); do grep -q ' listening on ' "$service_log" && break; sleep 0.05; done
service_url=$(grep -o 'http://127.0.0.1:[0-9]*/' "$service_log") ||
    { cat "$service_log" >&2; echo "ci-package: the installed varo-clock-service does not listen" >&2; exit 1; }
curl -sf "${service_url}status" | grep '"open":true' ||
    { echo "ci-package: the installed varo-clock-service does not hold the simulator's port" >&2; exit 1; }

# The installed window on its own display, found by its title.
start_xvfb
workdir=$(mktemp -d)
(cd "$workdir" && exec /usr/bin/varo-clock) >"$build/installed-varo-clock.log" 2>&1 &
window=$!
pids+=($window)
title="Varo Clock - 9600,n,8,1"
if ! wait_for_window "$title" "$window" 20; then
    cat "$build/installed-varo-clock.log" >&2
    echo "ci-package: the installed varo-clock showed no window \"$title\"" >&2
    exit 1
fi
sleep 1 # still alive a moment later: the start-up went through
kill -0 "$window" || { echo "ci-package: the installed varo-clock ended after showing its window" >&2; exit 1; }
echo "ci-package: $(basename "$deb") installs; /usr/bin/varo-clock shows \"$title\""
