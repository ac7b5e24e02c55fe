# Sourced by the scripts that need a display: start_xvfb starts Xvfb on a free
# display, waits until it answers, exports DISPLAY and adds the server's pid to
# the caller's `pids` array, which the caller's exit trap ends.
start_xvfb() {
    local display
    for _ in $(seq 20); do
        display=:$((100 + RANDOM % 400))
        [[ -e /tmp/.X11-unix/X${display#:} || -e /tmp/.X${display#:}-lock ]] || break
    done
    Xvfb "$display" -screen 0 1024x900x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=$display
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "Xvfb did not start on $display" >&2
    return 1
}
