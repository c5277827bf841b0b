#!/usr/bin/env bash
# Runs the include-seam check (its path is the first argument) on small source trees, one per case: a file with
# one include line in one folder, and whether the check must pass or fail on it.
set -euo pipefail

check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# expected | file under src/ | its include line
cases=(
    "fail|settings/Page.cpp|#include \"panel/HoverButton.h\""
    "fail|settings/Page.h|  #  include \"app/Shell.h\""
    "fail|ui/Button.cpp|#include <settings/SettingsTexts.h>"
    "fail|ui/Button.h|#include \"store/Store.h\""
    "pass|settings/Page.cpp|#include \"ui/HoverButton.h\""
    "pass|settings/Page.cpp|#include \"panelkit/Thing.h\""
    "pass|settings/Page.cpp|// #include \"panel/HoverButton.h\" moved to the kit"
    "pass|ui/Button.cpp|#include \"preferences/PreferenceChoices.h\""
    "pass|panel/View.cpp|#include \"settings/SettingsTexts.h\""
    "fail|library/save/Save.cpp|#include \"store/Store.h\""
    "fail|platform/desktop/Keys.cpp|#include \"preferences/LocalKeyEvent.h\""
    "pass|store/Store.cpp|#include \"library/Library.h\""
    "fail|editor_view/TextView.cpp|#include \"store/Store.h\""
    "fail|editor/text/Storage.h|#include \"editor_view/TextView.h\""
    "pass|page_editor/Coordinator.cpp|#include \"store/Store.h\""
    "fail|model/Page.cpp|#include <QtCore/QString>"
    "fail|library/folder/Lock.cpp|#include <sys/file.h>"
    "fail|library/folder/Lock.cpp|#include <qcorotask.h>"
    "pass|library/folder/Lock.cpp|#include <system_error>"
    "fail|store/Store.h|#include <QtGui/QFont>"
    "fail|store/Store.h|#include <QString>"
    "pass|store/Store.h|#include <QtConcurrent/QtConcurrentRun>"
    "fail|preferences/Keys.cpp|#include <xkbcommon/xkbcommon.h>"
    "fail|editor/text/Storage.cpp|#include <QtWidgets/QWidget>"
    "fail|editor/highlight/Context.cpp|#include <JavaScriptCore/JavaScript.h>"
    "pass|editor/text/Storage.cpp|#include <QtCore/QString>"
    "pass|editor_view/TextView.cpp|#include <QFont>"
    "fail|editor_view/Spelling.cpp|#include <enchant.h>"
    "fail|page_editor/Coordinator.cpp|#include <QtGui/QColor>"
    "fail|panel/Popover.cpp|  #  include <xcb/xcb.h>"
    "fail|settings/Page.cpp|#include <unistd.h>"
    "fail|ui/Surface.cpp|#include <QtDBus/QDBusMessage>"
    "fail|app/Signals.cpp|#include <unistd.h>"
    "fail|preferences/SettingsFile.cpp|#include <fcntl.h>"
    "fail|store/Monitor.cpp|#include <sys/stat.h>"
    "fail|editor/highlight/Worker.cpp|#include <pthread.h>"
    "pass|platform/ThreadName.cpp|#include <pthread.h>"
    "pass|app/Trace.cpp|#include <ctime>"
    "fail|app/Shell.cpp|#include <xcb/xcb.h>"
    "pass|platform/desktop/X11Requests.cpp|#include <xcb/xcb.h>"
    "pass|platform/LockFile.cpp|#include <sys/file.h>"
    "fail|panel/browse/BrowsePagesList.h|#include \"store/Store.h\""
    "fail|panel/widgets/PagesWindow.cpp|#include \"store/ConflictResolution.h\""
    "pass|panel/window/VeltoPanelController.cpp|#include \"store/Store.h\""
    "pass|panel/operations/PageOperations.h|#include \"store/ConflictResolution.h\""
    "pass|panel/browse/BrowsePagesWindow.h|#include \"model/ConflictResolutionChoice.h\""
    "pass|library/save/WriteTransaction.cpp|#include \"library/removal/FileRemoval.h\""
    "fail|library/removal/FileRemoval.cpp|#include \"library/load/FullLoad.h\""
    "fail|library/folder/PageFileNaming.h|#include \"library/metadata/WriterStates.h\""
    "pass|library/folder/LibraryFolder.cpp|#include \"library/copy/UnfinishedCopy.h\""
    "fail|library/folder/PageFileNaming.cpp|#include \"library/copy/UnfinishedCopy.h\""
    "fail|library/Stray.cpp|#include <string>"
)

layers=(platform model library store preferences editor editor_view page_editor ui panel settings app
    library/folder library/metadata library/removal library/load library/save library/copy library/recovery
    library/unsaved)
failures=0
for entry in "${cases[@]}"; do
    IFS='|' read -r expected file line <<<"$entry"
    tree=$work/case
    rm -rf "$tree"
    for folder in "${layers[@]}"; do mkdir -p "$tree/$folder"; done
    mkdir -p "$(dirname "$tree/$file")"
    printf '%s\n' "$line" >"$tree/$file"
    if "$check" "$tree" 2>/dev/null; then outcome=pass; else outcome=fail; fi
    if [[ $outcome != "$expected" ]]; then
        echo "expected the check to $expected on $file with: $line" >&2
        failures=$((failures + 1))
    fi
done

# A seam whose folder is gone (renamed, say) fails instead of holding by checking nothing.
rm -rf "$work/case" && mkdir -p "$work/case/settings"
if "$check" "$work/case" 2>/dev/null; then
    echo "expected the check to fail when a seam's folder is missing" >&2
    failures=$((failures + 1))
fi

((failures == 0))
