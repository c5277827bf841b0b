#!/usr/bin/env bash
# Sets up the machine, builds Velto with AddressSanitizer and UndefinedBehaviorSanitizer, runs a short
# session of every fuzz target (built with clang), then every test.
set -euo pipefail

cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

if compgen -G "tests/fuzz/fuzz_*.cpp" >/dev/null; then
    fuzz_dir=${VELTO_FUZZ_BUILD_DIR:-build/fuzz}
    CC=clang CXX=clang++ cmake -S . -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELTO_BUILD_FUZZERS=ON -DVELTO_FUZZ_SECONDS="${VELTO_FUZZ_SECONDS:-15}"
    cmake --build "$fuzz_dir" --target velto_fuzzers
    ctest --test-dir "$fuzz_dir" --output-on-failure -j "$jobs"
fi

build_dir=${VELTO_TEST_BUILD_DIR:-build/test}
# The benchmarks are built too, though not run here, so that a change of interface cannot leave them behind.
cmake -S . -B "$build_dir" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELTO_SANITIZE=ON \
    -DVELTO_WARNINGS_AS_ERRORS=ON \
    -DVELTO_BUILD_BENCHMARKS=ON
cmake --build "$build_dir"
# Tests that drive a private X server or real folder monitoring wait on real time; on a machine loaded by other work
# one of them can miss its time-out. A test that fails is run once more, and ctest still prints the failure.
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --repeat until-pass:2
