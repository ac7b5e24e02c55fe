#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window. By default the
# window talks to the built-in master-clock simulator on a pseudo-terminal
# (as Com16); --hardware starts the window alone for a real master clock.
# Without a display the window runs under Xvfb and a screenshot is written.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/sim.sh
source scripts/lib/window.sh
source scripts/lib/xvfb.sh

hardware=0
exit_after_screenshot=0
sim_args=()
for arg in "$@"; do
    case "$arg" in
    --hardware) hardware=1 ;;
    --exit-after-screenshot) exit_after_screenshot=1 ;;
    --help)
        echo "usage: scripts/run.sh [--hardware] [--exit-after-screenshot] [simulator options...]"
        exit 0
        ;;
    *) sim_args+=("$arg") ;;
    esac
done

scripts/setup.sh >/dev/null
pids=()
# Newest first, each awaited: the window ends before its X server and the
# simulator, so it never reports a broken display connection.
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null || true
    done
    return 0
}
trap cleanup EXIT

if ((!hardware)); then
    sim_log=build/varo-clock-sim.log
    # The simulated master clock runs 1.5 s ahead and sends its time every
    # second, so the status line shows a live offset and the record fills.
    start_simulator build/tools/varo-clock-sim/varo-clock-sim "$sim_log" --time-frames 1 --offset-ms 1500 "${sim_args[@]}"
    export VARO_CLOCK_COM16="$sim_device"
    echo "Master-clock simulator on $sim_device (Com16); its log: $sim_log"
fi

if [[ -z "${DISPLAY:-}" ]]; then
    start_xvfb
    build/src/varo-clock &
    window=$!
    pids+=($window)
    wait_for_window "Varo Clock - 9600,n,8,1" "$window" 10 || { echo "the window did not come up" >&2; exit 1; }
    sleep 1.5 # let the live clock tick and a time frame or two come before the picture is taken
    # The frame record (查看 > 通信记录) beside the window: open it as the
    # operator does, with the menu's access keys.
    main=$(xdotool search --name "^Varo Clock - " 2>/dev/null | head -n1 || true)
    xdotool windowfocus --sync "$main" key --delay 200 alt+v r >/dev/null 2>&1 || true
    for _ in $(seq 40); do xdotool search --name '^通信记录' >/dev/null 2>&1 && break; sleep 0.05; done
    panel=$(xdotool search --name '^通信记录' 2>/dev/null | head -n1 || true)
    [[ -n "$panel" ]] && { xdotool windowmove "$panel" 576 0 windowsize "$panel" 448 700 >/dev/null 2>&1 || true; }
    sleep 0.5
    screenshot=$PWD/build/varo-clock-screenshot.png
    import -window root "$screenshot"
    echo "Screenshot: $screenshot"
    [[ -n "$panel" ]] && { xdotool windowunmap "$panel" >/dev/null 2>&1 || true; }
    # A second picture with the window enlarged shows the widgets that lie
    # beyond the first view (ignore-hours column, frame lines, GPS buttons).
    xdotool search --name '^Varo Clock - ' windowsize 720 896 >/dev/null 2>&1 || true
    sleep 0.5
    import -window root "${screenshot%.png}-full.png"
    echo "Screenshot of the whole window: ${screenshot%.png}-full.png"
    ((exit_after_screenshot)) && exit 0
    wait "$window"
else
    build/src/varo-clock
fi
