#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs each
# for a bounded time (FUZZ_SECONDS, 10 by default to keep CI within its time;
# longer runs by hand) on a copy of its seed corpus, after replaying the saved
# crash reproducers. Any crash, leak, undefined behaviour or broken property
# fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-10}
build=build-fuzz
cxx=$(command -v clang++-14 || command -v clang++ || true)
[[ -n "$cxx" ]] || { echo "ci-fuzz: clang++ is missing (apt-get install clang-14 libclang-rt-14-dev)" >&2; exit 1; }

# Debug keeps Qt's assertions on; -O1 keeps the fuzzers fast.
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DVARO_BUILD_FUZZERS=ON -DVARO_CORE_ONLY=ON -DVARO_BUILD_TESTS=OFF -DVARO_BUILD_BENCH=OFF
cmake --build "$build"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

targets=(fuzz_settings_reply fuzz_time_frame fuzz_settings_file fuzz_time_text fuzz_frame_splitter fuzz_telnet_decoder
    fuzz_service_requests)
# Seconds at most for a target whose small state space needs less.
declare -A most_seconds=([fuzz_telnet_decoder]=15 [fuzz_service_requests]=15)
for target in "${targets[@]}"; do
    program=$build/fuzz/$target
    regressions=(fuzz/regressions/$target/*)
    if [[ -e "${regressions[0]}" ]]; then
        echo "== $target: replaying ${#regressions[@]} saved reproducer(s)"
        "$program" "${regressions[@]}"
    fi

    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target/
    rm -rf "$corpus" "$artifacts"
    mkdir -p "$corpus" "$artifacts"
    cp fuzz/corpus/$target/* "$corpus"/
    target_seconds=$seconds
    if [[ -n "${most_seconds[$target]:-}" ]] && ((most_seconds[$target] < seconds)); then
        target_seconds=${most_seconds[$target]}
    fi
    options=(-max_total_time="$target_seconds" -timeout=25 -print_final_stats=1 -artifact_prefix="$artifacts")
    [[ -f fuzz/dict/$target.dict ]] && options+=(-dict=fuzz/dict/$target.dict)
    # Past these lengths an input only repeats itself: a reply is 50 bytes, a
    # time frame 9; a file or a line carries many lines or chunks.
    case $target in
    fuzz_settings_reply) options+=(-max_len=64) ;;
    fuzz_time_frame) options+=(-max_len=16) ;;
    fuzz_time_text) options+=(-max_len=256) ;;
    fuzz_settings_file | fuzz_frame_splitter | fuzz_telnet_decoder | fuzz_service_requests) options+=(-max_len=1024) ;;
    esac
    echo "== $target: fuzzing for ${target_seconds}s"
    if ! "$program" "${options[@]}" "$corpus" >"$build/$target.log" 2>&1; then
        tail -n 60 "$build/$target.log" >&2
        echo "ci-fuzz: $target failed; its input is in $artifacts (save it under fuzz/regressions/$target/)" >&2
        exit 1
    fi
    grep -E '^(stat::number_of_executed_units|stat::new_units_added):' "$build/$target.log" | tr '\n' ' '
    echo
done
echo "ci-fuzz: ${#targets[@]} fuzzers ran up to ${seconds}s each without a finding"
