#!/bin/sh
# Runs one test program with HOME and every XDG folder inside a fresh temporary folder, so that no test
# can read or change a real user's settings, autostart entries or pages. The folder is removed afterwards.
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/velto-test-home.XXXXXX") || exit 1
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/state" "$root/runtime"
chmod 700 "$root/runtime"
export HOME="$root/home"
export XDG_CONFIG_HOME="$root/config"
export XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache"
export XDG_STATE_HOME="$root/state"
export XDG_RUNTIME_DIR="$root/runtime"
# Leaks that system libraries keep for the life of the process are not ours to report.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
"$@"
status=$?
exit $status
