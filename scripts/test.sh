#!/usr/bin/env bash
# Sets up the machine, builds Velto with AddressSanitizer and UndefinedBehaviorSanitizer, runs a short
# session of every fuzz target (built with clang), builds the Release configuration users run and runs its unit
# tests, then every test of the sanitizer build. Prints how long each phase took, so that a change that makes the
# run slower shows where: the phases before the tests as each ends and together before the tests start; the
# tests' own time is ctest's "Total Test time", which stays among its closing lines.
set -euo pipefail

cd "$(dirname "$0")/.."

phase_names=()
phase_seconds=()
run_started=$SECONDS

# Runs one phase (its name, then the command) and notes its time.
phase() {
    local name=$1
    shift
    local started=$SECONDS
    echo "=== $name"
    "$@"
    phase_names+=("$name")
    phase_seconds+=($((SECONDS - started)))
    echo "=== $name: $((SECONDS - started)) s"
}

print_phase_times() {
    echo "=== phase times"
    local i
    for i in "${!phase_names[@]}"; do
        printf '%-14s %5d s\n' "${phase_names[$i]}" "${phase_seconds[$i]}"
    done
    printf '%-14s %5d s\n' "until tests" $((SECONDS - run_started))
}

phase setup scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# The leak checker's record of dynamically allocated thread-local blocks (from __tls_get_addr) goes wrong with
# this glibc once libraries with thread-local storage are loaded late, and its tracer then crashes at exit
# ("Tracer caught signal 11") after every test has passed. Those blocks are still found: they are heap
# allocations that the threads' own control blocks point to, so leaks are reported as before.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Every clone of the tree, wherever it lies, shares what ccache keeps: paths are taken relative to the clone,
# and the build folder's own path is left out of what identifies a compilation.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}

if compgen -G "tests/fuzz/fuzz_*.cpp" >/dev/null; then
    fuzz_dir=${VELTO_FUZZ_BUILD_DIR:-build/fuzz}
    configure_fuzz() {
        CC=clang CXX=clang++ cmake -S . -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DVELTO_BUILD_FUZZERS=ON -DVELTO_FUZZ_SECONDS="${VELTO_FUZZ_SECONDS:-15}"
        cmake --build "$fuzz_dir" --target velto_fuzzers
    }
    phase "fuzz build" configure_fuzz
    phase "fuzz runs" ctest --test-dir "$fuzz_dir" --output-on-failure -j "$jobs"
fi

build_dir=${VELTO_TEST_BUILD_DIR:-build/test}
# The benchmarks are compiled too, though not run here, so that a change of interface cannot leave them behind.
configure_and_build() {
    cmake -S . -B "$build_dir" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELTO_SANITIZE=ON \
        -DVELTO_WARNINGS_AS_ERRORS=ON \
        -DVELTO_BUILD_BENCHMARKS=ON
    cmake --build "$build_dir"
}
phase build configure_and_build

# The build users run: optimised, without the sanitizers. A fault that only the optimiser brings out (a value read
# before it is set, code that counts on undefined behaviour) or a test that holds only at the sanitizers' speed
# fails here. Its unit tests only: on two cores those take a minute and a half, the tests of the running
# application two minutes more, and the sanitizer build runs those already. No benchmarks: the sanitizer build
# compiles them already. Warnings are not errors here: at -O3 GCC warns of string copies it cannot bound and of
# values it cannot see set inside the standard library's own inlined code.
release_dir=${VELTO_RELEASE_BUILD_DIR:-build/release-tests}
configure_and_build_release() {
    cmake -S . -B "$release_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_BUILD_BENCHMARKS=OFF
    cmake --build "$release_dir"
}
phase "release build" configure_and_build_release
# Tests that drive a private X server or real folder monitoring wait on real time; on a machine loaded by other work
# one of them can miss its time-out. A test that fails is run once more, and ctest still prints the failure.
# A failure here is told at the end, after the sanitizer build's tests have run too.
release_tests_failed=0
run_release_tests() {
    ctest --test-dir "$release_dir" --output-on-failure -j "$jobs" --label-exclude e2e --repeat until-pass:2 ||
        release_tests_failed=1
}
phase "release tests" run_release_tests
print_phase_times
echo "=== tests"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --repeat until-pass:2
if ((release_tests_failed)); then
    echo "=== the release build's unit tests failed: see \"release tests\" above"
    exit 1
fi
