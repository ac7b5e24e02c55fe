#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (gcc) in build-asan/ and runs the whole test
# suite; a leak, a memory error or undefined behaviour fails the test that met
# it. The benchmark, which no test runs, is left to the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-asan
# Debug keeps Qt's assertions on.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARO_SANITIZE=ON -DVARO_BUILD_BENCH=OFF
cmake --build "$build"

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j2
