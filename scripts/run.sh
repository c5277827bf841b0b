#!/usr/bin/env bash
# Builds what is missing and starts Velto from its application folder, on the default Pages folder
# ($XDG_DATA_HOME/Velto/Pages) unless Settings chose another. Arguments are passed to Velto.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${VELTO_BUILD_DIR:-build/release}
if [[ ! -x "$build_dir/Velto.app/bin/velto" ]]; then
    scripts/setup.sh
fi
if [[ ! -f "$build_dir/build.ninja" ]]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build_dir" --target velto
exec "$build_dir/Velto.app/bin/velto" "$@"
