#!/usr/bin/env bash
# Builds the Debian package in build-pkg/ (Release, prefix /usr), installs it
# with apt-get, checks that the installed window comes up under Xvfb and that
# the installed simulator answers --help, then removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/xvfb.sh

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
for path in ./usr/bin/varo-clock ./usr/bin/varo-clock-sim ./usr/share/applications/varo-clock.desktop \
    ./usr/share/icons/hicolor/scalable/apps/varo-clock.svg; do
    grep -q " $path\$" <<<"$contents" || { echo "ci-package: $path is missing from $deb" >&2; exit 1; }
done
desktop-file-validate packaging/varo-clock.desktop

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "./$deb"
pids=()
cleanup() {
    ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null || true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y varo-clock >/dev/null || true
}
trap cleanup EXIT

/usr/bin/varo-clock-sim --help | head -n 3
[[ $(/usr/bin/varo-clock-sim --version) == *"$(dpkg-query -W -f='${Version}' varo-clock)"* ]] ||
    { echo "ci-package: varo-clock-sim --version does not match the package version" >&2; exit 1; }

# The installed window on its own display, found by its title.
start_xvfb
workdir=$(mktemp -d)
(cd "$workdir" && exec /usr/bin/varo-clock) >"$build/installed-varo-clock.log" 2>&1 &
window=$!
pids+=($window)
title="Varo Clock - 9600,n,8,1"
for _ in $(seq 200); do
    xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\"" && break
    kill -0 "$window" 2>/dev/null || break
    sleep 0.1
done
if ! xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\""; then
    cat "$build/installed-varo-clock.log" >&2
    echo "ci-package: the installed varo-clock showed no window \"$title\"" >&2
    exit 1
fi
sleep 1 # still alive a moment later: the start-up went through
kill -0 "$window" || { echo "ci-package: the installed varo-clock ended after showing its window" >&2; exit 1; }
echo "ci-package: $(basename "$deb") installs; /usr/bin/varo-clock shows \"$title\""
