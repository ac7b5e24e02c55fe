#!/usr/bin/env bash
# End to end under Wine: the Windows build against the Linux master clock
# simulator, whose pseudo-terminal is Wine's COM16. First the Windows test
# program drives the real window through every command and checks the exact
# frames in the simulator's log; then varo-clock.exe from the release zip
# runs under Xvfb on COM16, and a screenshot of its window is written. In
# between, varo-clock-service.exe from the zip serves COM16 and is asked
# through HTTP and its web socket from the Linux side.
# Needs scripts/build-windows.sh's build (made when missing) and the Linux
# simulator (scripts/setup.sh, likewise). The logs land in build-win/e2e/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
source scripts/lib/sim.sh
source scripts/lib/window.sh
source scripts/lib/wine.sh
source scripts/lib/xvfb.sh

[[ -f build-win/tests/windows_e2e/tst_windows_e2e.exe ]] || scripts/build-windows.sh
[[ -x build/tools/varo-clock-sim/varo-clock-sim ]] || scripts/setup.sh >/dev/null
install_missing wine wine64 fonts-wine fonts-wqy-microhei xvfb xauth x11-utils xdotool imagemagick unzip curl

out=$PWD/build-win/e2e
rm -rf "$out"
mkdir -p "$out"
pids=()
cleanup() {
    exec 2>/dev/null # a killed program's job notice is no news here
    # Wine's programs first, while their X display is still there.
    [[ -n "${WINEPREFIX:-}" ]] && wineserver -k >/dev/null 2>&1
    ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null || true
}
trap cleanup EXIT

# Wine's desktop process, started by the first program, keeps the display
# it found: every program here runs with the X display of the window step.
start_xvfb
# So a Wine session still running from an earlier script, without a display,
# is ended first.
if [[ -d build-win/wine ]]; then
    WINEPREFIX=$PWD/build-win/wine wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$PWD/build-win/wine wineserver -w >/dev/null 2>&1 || true
fi
wine_env "$PWD/build-win/wine" "$PWD/build-win/qt/bin"

# start_sim NAME OPTION...: a simulator logging to $out/NAME.log, its
# pseudo-terminal linked as COM16.
start_sim() {
    local name=$1
    shift
    sim_log=$out/$name.log
    start_simulator build/tools/varo-clock-sim/varo-clock-sim "$sim_log" --persist "$@"
    ln -sfn "$sim_device" "$com16_link"
}
stop_sim() { kill "$sim" && wait "$sim" || true; }

# run_steps NAME FUNCTION...: the Windows test program's steps against the
# simulator; any failure ends the script.
run_steps() {
    local name=$1
    shift
    if ! VARO_SIM_LOG=$(winepath -w "$sim_log") WINEQT_QPA_PLATFORM=offscreen \
        timeout 300 wine build-win/tests/windows_e2e/tst_windows_e2e.exe "$@" >"$out/$name.txt" 2>&1; then
        cat "$out/$name.txt" >&2
        echo "e2e-windows: $name failed; the simulator's log: $sim_log" >&2
        exit 1
    fi
    grep -E '^(PASS|SKIP|Totals)' "$out/$name.txt"
}

start_sim commands
run_steps commands holdsCom16Open missingPortIsMissing setTimeFromTheComputer temporaryCountdown writeThenReadBack \
    simulatedGpsSentence setTypedTime
stop_sim
echo "--- frames the master clock received and sent (build-win/e2e/commands.log):"
grep -E ' (RX|TX) ' "$sim_log"

start_sim sync --time-frames 1
run_steps sync syncFailsUnderWine
stop_sim

# The programs of the release zip as a Windows user unpacks it: only its own
# DLLs and plugins (no WINEPATH).
unzip -q build-win/varo-clock-*-win64.zip -d "$out"

# The clock service on COM16, asked with a token as a control room would;
# the master clock 1.5 s ahead.
start_sim service --time-frames 1 --offset-ms 1500
echo "wine-e2e-token" >"$out/service-token"
service_exe=$(echo "$out"/varo-clock-*-win64/varo-clock-service.exe)
(unset WINEPATH && cd "$out" && exec wine "$service_exe" --port COM16 --listen 127.0.0.1:0 \
    --token-file "$(winepath -w "$out/service-token")") >/dev/null 2>"$out/service.err" &
service=$!
pids+=($service)
for _ in $(seq 300); do grep -q ' listening on ' "$out/service.err" && break; sleep 0.1; done
service_url=$(grep -o 'http://127.0.0.1:[0-9]*' "$out/service.err") ||
    { cat "$out/service.err" >&2; echo "e2e-windows: varo-clock-service.exe does not listen" >&2; exit 1; }
# ask METHOD PATH STATUS PATTERN [BODY [HEADER]]: the answer's status and a pattern of its body; a body
# goes as JSON, or as a settings file to PUT.
ask() {
    local answer type=application/json
    [[ $1 == PUT ]] && type=text/plain
    answer=$(curl -s -w '\n%{http_code}' -X "$1" -H "Authorization: Bearer wine-e2e-token" \
        ${5:+-H "Content-Type: $type" --data-binary "$5"} ${6:+-H "$6"} "$service_url$2")
    echo "$1 $2: $answer" >>"$out/service-answers.txt"
    [[ ${answer##*$'\n'} == "$3" ]] && grep -qE "$4" <<<"${answer%$'\n'*}" ||
        { echo "e2e-windows: $1 $2 answered \"$answer\", not $3 matching $4" >&2; exit 1; }
}
for _ in $(seq 50); do curl -s -H "Authorization: Bearer wine-e2e-token" "$service_url/status" |
    grep -qE '"offsetMs":15[0-4][0-9]\.' && break; sleep 0.1; done
ask GET /status 200 '"masterClock":\{"date":"[0-9-]{10}","frames":[0-9]+,"lastFrameAgeMs":[0-9]+,"offsetMs":15[0-4][0-9]\.[0-9]+,.*"port":\{"baud":9600,"device":"COM16","name":"Com16","open":true\}'
ask GET /metrics 200 'varo_clock_offset_seconds 1\.5[0-4]'
ask POST /countdown 200 '"outcome":"done".*"sent":\["DDD1[0-9]{6}"\]' '{"clock":1,"time":"19:00:00"}'
ask GET /settings/1 200 '"message":"Read success!"'
# The answer is taken as it comes, not found only when the wait runs out.
grep '^GET /settings/1:' "$out/service-answers.txt" | grep -oE '[0-9:]{8}\.[0-9]{3} (sent|received)' |
    awk -F'[:. ]' '{ ms = (($1 * 60 + $2) * 60 + $3) * 1000 + $4 } $5 == "sent" { sent = ms }
        $5 == "received" { taken = ms - sent } END { exit !(taken != "" && taken < 1000) }' ||
    { echo "e2e-windows: varo-clock-service.exe took its settings answer a second or more after it came" >&2; exit 1; }
clock2=$(printf '[CLOCK2]\r\n'; for _ in 1 2 3 4 5 6 7 8; do printf 'A,07:00:00,08:00:00,S\r\n'; done)
ask PUT /settings/2 200 '"message":"Write success!"' "$clock2"
ask POST /set-time 200 '"masterClock":\{"offsetMs":-?[0-4]?[0-9]\.[0-9]+,'
ask PUT /settings/1 400 'header names clock 2, not clock 1' "$clock2"
ask DELETE /status 405 '"error":"/status takes GET"'
# The door: another site's page, a rebound name, a length that is none; none of them reaches the clock.
ask POST /set-time 403 "another site's page" '{"time":"19:00:07"}' 'Origin: http://evil.example'
ask GET /status 421 'does not answer to the host' '' 'Host: evil.example'
ask POST /set-time 400 'Content-Length is not one number of bytes' '{"time":"19:00:07"}' 'Content-Length: -1'
! grep -qE ' RX AA00[0-9]{8}190007 ' "$sim_log" || { echo "e2e-windows: a refused set-time reached the clock" >&2; exit 1; }
answer=$(curl -s -w '%{http_code}' "$service_url/status")
[[ $answer == *401 ]] || { echo "e2e-windows: /status without the token answered $answer" >&2; exit 1; }
# The web socket's first push, read raw after the upgrade.
curl -s -N --max-time 3 -H "Authorization: Bearer wine-e2e-token" -H "Connection: Upgrade" -H "Upgrade: websocket" \
    -H "Sec-WebSocket-Version: 13" -H "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==" "$service_url/live" \
    >"$out/service-live.txt" || true
grep -qa '"masterClock":{"date"' "$out/service-live.txt" ||
    { echo "e2e-windows: /live of varo-clock-service.exe pushed no status" >&2; exit 1; }
for pattern in ' RX DDD1[0-9]{6} countdown clock 1 ' ' RX BBA1 read request clock 1$' ' RX CCB2[0-9A-F]{96} write clock 2 ' \
    ' RX AA00[0-9]{14} set time '; do
    grep -qE "$pattern" "$sim_log" || { echo "e2e-windows: \"$pattern\" is not in $sim_log" >&2; exit 1; }
done
echo "--- varo-clock-service.exe's answers (build-win/e2e/service-answers.txt) and frames (build-win/e2e/service.log):"
grep -E '^(GET|POST|PUT|DELETE) ' "$out/service-answers.txt" | cut -c1-150
grep -E ' RX ' "$sim_log" | cut -c1-150
# A clean stop on Ctrl+C, which Wine hands on as SIGINT: the log says so and the status is 0.
kill -INT "$service"
wait "$service" && grep -q '^stopping: Ctrl+C' "$out/service.err" ||
    { cat "$out/service.err" >&2; echo "e2e-windows: varo-clock-service.exe did not stop cleanly on Ctrl+C" >&2; exit 1; }
stop_sim

# The window from the zip on the Windows platform plugin, on an X display.
exe=$(echo "$out"/varo-clock-*-win64/varo-clock.exe)
start_sim window --time-frames 5
(unset WINEPATH WINEQT_QPA_FONTDIR && cd "$out" && exec wine "$exe") >"$out/window.txt" 2>&1 &
window=$!
pids+=($window)
title="Varo Clock - 9600,n,8,1"
if ! wait_for_window "$title" "$window" 30; then
    cat "$out/window.txt" >&2
    echo "e2e-windows: varo-clock.exe from the zip showed no window \"$title\"" >&2
    exit 1
fi
grep -q ' EV - peers with the device open: 1$' "$sim_log" ||
    { echo "e2e-windows: varo-clock.exe did not open COM16" >&2; exit 1; }
sleep 1.5 # the live clock ticks once before the picture
import -window root "$out/varo-clock-windows.png"
echo "Screenshot: $out/varo-clock-windows.png"
# Moved to the corner and enlarged, the window shows the widgets beyond the
# first view too (ignore-hours column, frame lines, GPS buttons).
for command in "windowmove 0 0" "windowsize 760 900"; do
    xdotool search --name "^$title\$" $command >/dev/null 2>&1 || true
done
sleep 0.5

# An operator's clicks on the real window: a widget's place in the form plus
# the menu bar above it (20 pixels with these fonts under Wine).
click_widget() {
    local x=$1 y=$2 width=$3 height=$4 pattern=$5 mark
    mark=$(wc -l <"$sim_log")
    xdotool mousemove $((x + width / 2)) $((20 + y + height / 2)) click 1
    for _ in $(seq 50); do
        tail -n +"$((mark + 1))" "$sim_log" | grep -qE "$pattern" && return 0
        sleep 0.1
    done
    echo "e2e-windows: a click at $x,$y on varo-clock.exe put no \"$pattern\" on the line" >&2
    exit 1
}
click_widget 424 32 105 25 ' RX AA00[0-9A-F]{14} set time '         # 北京时间校时
click_widget 40 760 465 33 ' RX 24[0-9A-F]+0D0A RMC [0-9.]+ A .* checksum ok$' # 模拟GPS校时…
click_widget 40 808 465 33 ' RX 24[0-9A-F]+0D0A RMC [0-9.]+ V .* checksum ok$' # …(定位无效)
sleep 0.5
import -window root "$out/varo-clock-windows-full.png"
echo "Screenshot of the whole window after three clicks: $out/varo-clock-windows-full.png"
echo "--- what varo-clock.exe put on the line (build-win/e2e/window.log):"
grep -E ' RX ' "$sim_log"
echo "e2e-windows: every step passed"
