#!/usr/bin/env bash
# Checks the seams between the layers under src/: no file of a folder includes a header of a folder that it must
# not know, even where the include would compile (every folder of src/ is on the include path). Prints each
# crossing as "file:line: the include" and fails when there is one. A seam is one line of the table below.
#
#   scripts/check-include-seams.sh [source folder]      (default: the src/ beside this script)
set -euo pipefail

src=${1:-"$(dirname "$0")/../src"}

# A folder under src/, then the folders whose headers its files never include.
seams=(
    "platform     model library store preferences editor editor_view page_editor ui panel settings app"
    "model        library store preferences editor editor_view page_editor ui panel settings app"
    "library      store preferences editor editor_view page_editor ui panel settings app"
    "store        preferences editor editor_view page_editor ui panel settings app"
    "preferences  model library store editor editor_view page_editor ui panel settings app"
    "editor       model library store editor_view page_editor ui panel settings app"
    "editor_view  model library store page_editor ui panel settings app"
    "page_editor  ui panel settings app"
    "ui           model library store editor editor_view page_editor panel settings app"
    "settings     editor editor_view page_editor panel app"
)

crossings=0
for seam in "${seams[@]}"; do
    read -r folder forbidden <<<"$seam"
    if [[ ! -d $src/$folder ]]; then
        echo "$src/$folder: no such folder, yet a seam names it" >&2
        crossings=$((crossings + 1))
        continue
    fi
    # An include directive, in either form, of a header under one of the forbidden folders.
    pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<](${forbidden// /|})/"
    while IFS= read -r crossing; do
        echo "$crossing  ($folder/ never includes ${forbidden// /\/, }/)" >&2
        crossings=$((crossings + 1))
    done < <(grep -rnE "$pattern" "$src/$folder" || true)
done

if ((crossings > 0)); then
    echo "$crossings include(s) cross a seam between the layers" >&2
    exit 1
fi
