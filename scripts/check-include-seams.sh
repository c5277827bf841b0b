#!/usr/bin/env bash
# Checks the seams between the layers under src/: no file of a folder includes a header of a folder that it must
# not know, even where the include would compile (every folder of src/ is on the include path), nor a header of a
# library or of the operating system that its layer leaves to another (Qt's display modules, X11, JavaScriptCore,
# Enchant, POSIX calls, which live in platform/). Prints each crossing as "file:line: the include" and fails when
# there is one. A seam is one line of the tables below.
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
    # The library's rooms, each from the one below it up: a room includes the rooms below it, never one above.
    "library/folder    library/metadata library/removal library/save library/recovery library/unsaved"
    "library/metadata  library/removal library/load library/save library/copy library/recovery library/unsaved"
    "library/removal   library/load library/copy library/recovery library/unsaved"
    "library/load      library/save library/recovery library/unsaved"
    "library/save      library/copy library/recovery library/unsaved"
    "library/copy      library/recovery library/unsaved"
    "library/recovery  library/unsaved"
    "library/unsaved   library/metadata library/load library/save library/copy library/recovery"
)

# A folder under src/, a folder whose headers only some of its files include, then those files, by name without
# extension wherever they sit in the folder. The panel's widgets read the pages through what they are handed;
# only its controllers and page operations hold the store.
partial_seams=(
    "panel  store  ActivePages PageEditingSession PageNavigation PageOperations PageOperationsUndo
                   PageOperationUndoLedger PanelCommands PanelMenus PanelParts VeltoPanelController VeltoPanelMenuController"
    # Whether a folder holds a library asks whether a killed copy left it, and a metadata file's error is told in
    # the load's sentences; a load adopts what a killed copy left; a removal's kept copy is reported as the save's
    # conflict, and a stopped save's copies are judged against what that save wrote.
    "library/folder   library/load  LibraryFolder"
    "library/folder   library/copy  LibraryFolder"
    "library/load     library/copy  FullLoad"
    "library/removal  library/save  PendingDeletions FailedSaveConflictPages"
)

# A folder under src/ whose files all live in its rooms (its sub-folders), each named in the tables above: a file
# at its top would escape the rooms' seams.
roomed_folders=(library)

# Groups of headers outside src/, each an extended regular expression for the start of an include's name.
declare -A header_groups=(
    [qt]='Qt[A-Za-z]*/|Q[A-Za-z]+>|QCoro/|qcoro'   # every Qt module, Qt's unqualified names and QCoro
    [qt_display]='QtGui/|QtWidgets/|QtSvg/'       # what needs a display
    [qt_session]='QtDBus/|QtNetwork/'             # the desktop session and the single instance
    [qt_unqualified]='Q[A-Za-z]+>'                # a Qt class without its module (<QFont>): its module is unknown
    [x11]='xcb/|xkbcommon/|X11/'
    [javascript]='JavaScriptCore/'
    [spelling]='enchant'
    [posix]='unistd\.h|fcntl\.h|dirent\.h|pthread\.h|sys/'
)

# A folder under src/, then the groups of headers its files never include.
header_seams=(
    "model        qt x11 javascript spelling posix"
    "library      qt x11 javascript spelling posix"
    "store        qt_display qt_session qt_unqualified x11 javascript spelling posix"
    "preferences  qt_display qt_session qt_unqualified x11 javascript spelling posix"
    "editor       qt_display qt_session qt_unqualified x11 javascript spelling posix"
    "editor_view  qt_session x11 javascript spelling posix"
    "page_editor  qt_display qt_session qt_unqualified x11 javascript spelling posix"
    "ui           qt_session qt_unqualified x11 javascript spelling posix"
    "panel        qt_session qt_unqualified x11 javascript spelling posix"
    "settings     qt_session qt_unqualified x11 javascript spelling posix"
    "app          qt_unqualified x11 javascript spelling posix"
)

crossings=0

# Every folder a table names must be there: a seam of a renamed folder would hold by checking nothing.
folder_is_present() {
    if [[ ! -d $src/$1 ]]; then
        echo "$src/$1: no such folder, yet a seam names it" >&2
        crossings=$((crossings + 1))
        return 1
    fi
}

for seam in "${seams[@]}"; do
    read -r folder forbidden <<<"$seam"
    folder_is_present "$folder" || continue
    # An include directive, in either form, of a header under one of the forbidden folders.
    pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<](${forbidden// /|})/"
    while IFS= read -r crossing; do
        echo "$crossing  ($folder/ never includes ${forbidden// /\/, }/)" >&2
        crossings=$((crossings + 1))
    done < <(grep -rnE "$pattern" "$src/$folder" || true)
done

for seam in "${partial_seams[@]}"; do
    read -r -d '' folder other rest <<<"$seam" || true
    read -r -a allowed <<<"${rest//$'\n'/ }"
    folder_is_present "$folder" || continue
    pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]$other/"
    while IFS= read -r crossing; do
        file=${crossing%%:*}
        stem=$(basename "${file%.*}")
        if [[ " ${allowed[*]} " != *" $stem "* ]]; then
            echo "$crossing  ($folder/ includes $other/ only in ${allowed[*]})" >&2
            crossings=$((crossings + 1))
        fi
    done < <(grep -rnE "$pattern" "$src/$folder" || true)
done

for seam in "${header_seams[@]}"; do
    read -r folder groups <<<"$seam"
    folder_is_present "$folder" || continue
    for group in $groups; do
        if [[ -z ${header_groups[$group]:-} ]]; then
            echo "the seam of $folder/ names a group of headers, $group, that the table lacks" >&2
            crossings=$((crossings + 1))
            continue
        fi
        pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<](${header_groups[$group]})"
        while IFS= read -r crossing; do
            echo "$crossing  ($folder/ never includes headers of the group $group)" >&2
            crossings=$((crossings + 1))
        done < <(grep -rnE "$pattern" "$src/$folder" || true)
    done
done

for folder in "${roomed_folders[@]}"; do
    folder_is_present "$folder" || continue
    while IFS= read -r stray; do
        echo "$stray: a file of $folder/ outside its rooms" >&2
        crossings=$((crossings + 1))
    done < <(find "$src/$folder" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
done

if ((crossings > 0)); then
    echo "$crossings include(s) cross a seam between the layers" >&2
    exit 1
fi
