# Sourced by the scripts that run the master clock simulator.
# start_simulator PROGRAM LOG OPTION... starts PROGRAM (a varo-clock-sim) with
# OPTIONS, its log in LOG and its error output in LOG.err, and waits (at most
# 5 s) for the log's DEVICE line. It sets sim (the pid, also added to the
# caller's `pids` array, which the caller's exit trap ends) and sim_device
# (the device to connect to); returns 1, with the error output, when the
# simulator did not start.
start_simulator() {
    local program=$1 log=$2
    shift 2
    rm -f "$log" # a log of an earlier run names a device of its own
    "$program" --log-file "$log" "$@" >/dev/null 2>"$log.err" &
    sim=$!
    pids+=("$sim")
    sim_device=
    for _ in $(seq 100); do
        sim_device=$(sed -n '1s/^DEVICE //p' "$log" 2>/dev/null || true)
        [[ -n "$sim_device" ]] && return 0
        kill -0 "$sim" 2>/dev/null || break
        sleep 0.05
    done
    cat "$log.err" >&2
    echo "the simulator did not start; its log: $log" >&2
    return 1
}
