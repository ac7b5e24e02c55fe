# Sourced by the scripts that start the window on an X display.
# wait_for_window TITLE PID SECONDS waits (at most SECONDS) until a window
# named TITLE is on the display; returns 1 when none came in time or the
# program PID ended first.
wait_for_window() {
    local title=$1 pid=$2 seconds=$3 tenth
    for ((tenth = 0; ; tenth++)); do
        xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\"" && return 0
        ((tenth < seconds * 10)) && kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
}
