#!/usr/bin/env bash
# Installs Velto for the current user: the application folder as <prefix>/lib/Velto.app (prefix ~/.local),
# a command <prefix>/bin/velto, the desktop entry app.velto.Velto.desktop and the hicolor icons under
# $XDG_DATA_HOME (~/.local/share). Builds the release first when no application folder is given.
#
#   scripts/install.sh [--prefix DIR] [--bundle DIR/Velto.app]
set -euo pipefail

cd "$(dirname "$0")/.."
prefix="$HOME/.local"
bundle=""
while [[ $# -gt 0 ]]; do
    case "$1" in
    --prefix) prefix="$2"; shift 2 ;;
    --bundle) bundle="$2"; shift 2 ;;
    *) echo "usage: scripts/install.sh [--prefix DIR] [--bundle DIR/Velto.app]" >&2; exit 2 ;;
    esac
done
data="${XDG_DATA_HOME:-$HOME/.local/share}"

if [[ -z "$bundle" ]]; then
    build_dir=${VELTO_BUILD_DIR:-build/release}
    if [[ ! -f "$build_dir/build.ninja" ]]; then
        scripts/setup.sh
        cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
    fi
    cmake --build "$build_dir" --target velto
    bundle="$build_dir/Velto.app"
fi
if [[ ! -x "$bundle/bin/velto" || ! -f "$bundle/Info.ini" ]]; then
    echo "install.sh: $bundle is not a Velto application folder" >&2
    exit 1
fi

# The new folder is copied beside the old one and then takes its place, so that a failed copy leaves the
# installed Velto as it was.
mkdir -p "$prefix/lib" "$prefix/bin"
installed="$prefix/lib/Velto.app"
staging=$(mktemp -d "$prefix/lib/.Velto.app.XXXXXX")
trap 'rm -rf "$staging"' EXIT
cp -R "$bundle/." "$staging/"
chmod 755 "$staging"
rm -rf "$installed.old"
if [[ -e "$installed" ]]; then
    mv "$installed" "$installed.old"
fi
mv "$staging" "$installed"
rm -rf "$installed.old"
ln -sfn "$installed/bin/velto" "$prefix/bin/velto"

# The Exec key quotes an argument with anything but plain path characters; inside the quotes ", `, $ and \
# take a backslash, and the desktop entry format then doubles every backslash and every % once more.
desktop_exec_argument() {
    local argument=$1
    if [[ "$argument" =~ [^A-Za-z0-9/._+-] ]]; then
        argument=${argument//\\/\\\\}
        argument=${argument//\"/\\\"}
        argument=${argument//\`/\\\`}
        argument=${argument//\$/\\\$}
        argument="\"$argument\""
    fi
    argument=${argument//\\/\\\\}
    printf '%s' "${argument//%/%%}"
}

mkdir -p "$data/applications"
entry="$data/applications/app.velto.Velto.desktop"
cat > "$entry.tmp" <<EOF
[Desktop Entry]
Type=Application
Name=Velto
GenericName=Markdown Pages
Comment=Markdown pages one keystroke away, in the system tray
Exec=$(desktop_exec_argument "$installed/bin/velto")
Icon=app.velto.Velto
Terminal=false
Categories=Utility;TextEditor;
Keywords=notes;markdown;scratchpad;
StartupNotify=false
EOF
mv "$entry.tmp" "$entry"

mkdir -p "$data/icons/hicolor"
cp -R "$installed/Resources/icons/hicolor/." "$data/icons/hicolor/"

# Desktops read these caches; both tools are optional.
if command -v gtk-update-icon-cache > /dev/null; then
    gtk-update-icon-cache -q -t "$data/icons/hicolor" || true
fi
if command -v update-desktop-database > /dev/null; then
    update-desktop-database -q "$data/applications" || true
fi
echo "Velto is installed: $installed (start it with $prefix/bin/velto or from your desktop's applications)"
