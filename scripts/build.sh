#!/usr/bin/env bash
# Sets up the machine and builds Velto and its benchmarks (release build).
set -euo pipefail

cd "$(dirname "$0")/.."
scripts/setup.sh

build_dir=${VELTO_BUILD_DIR:-build/release}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELTO_BUILD_BENCHMARKS=ON
cmake --build "$build_dir"
