#!/usr/bin/env bash
# Checks that every C++ source and header under src/, tests/ and bench/ is laid out as the repository's
# .clang-format says, and names the files that are not. The tree's root is the first argument.
set -euo pipefail

root=${1:-$(dirname "$0")/..}
cd "$root"

# The layout a formatter gives changes between its major versions: the tree is kept as version 14 lays it out.
formatter=$(command -v clang-format-14 || true)
if [[ -z $formatter ]]; then
    echo "check-format: clang-format-14 is not installed (scripts/setup.sh installs it)" >&2
    exit 1
fi

# Each file is formatted to standard output and compared with itself; a file that differs is printed.
unformatted=$(find src tests bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
    xargs -0 -P "$(nproc)" -n 16 sh -c '
        for file; do "$0" --style=file "$file" | cmp -s - "$file" || echo "$file"; done' "$formatter")

if [[ -n $unformatted ]]; then
    echo "check-format: these files differ from .clang-format (run: $formatter -i FILE):" >&2
    printf '    %s\n' $unformatted >&2
    exit 1
fi
