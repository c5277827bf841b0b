#!/usr/bin/env bash
# Installs everything Velto needs to build, test and run on a Debian machine.
# Safe to run twice: packages already present are not fetched again.
set -euo pipefail

cd "$(dirname "$0")/.."

packages=(
    # build
    cmake ninja-build g++ pkg-config ccache
    # the layout of the sources, checked by a test
    clang-format-14
    # page model and library
    libicu-dev nlohmann-json3-dev libssl-dev
    # Qt layers
    qt6-base-dev qt6-svg-dev qcoro-qt6-dev
    # code highlighting
    libjavascriptcoregtk-4.1-dev
    # spell checking
    libenchant-2-dev hunspell-en-us
    # global hot keys and keyboard layouts
    libxcb1-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev xkb-data
    # tests, benchmarks, fuzzing
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev git
    # the big-page benchmark presses keys through the X server's XTest extension
    libxcb-xtest0-dev
    # profiling the running application
    linux-perf
    # tests of the running application
    xvfb trayer xdotool xclip x11-utils dbus imagemagick fonts-dejavu-core fontconfig
    # reading the running application as a screen reader does, over AT-SPI
    at-spi2-core python3-pyatspi
    # trying the running application by hand under a window manager, as most desktops run one
    openbox
    # the highlight.js scripts come from npm
    nodejs npm
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
# A machine may carry its own Node.js outside Debian's packages; it serves as well.
if command -v npm >/dev/null 2>&1; then
    filtered=()
    for package in "${missing[@]}"; do
        [[ "$package" == nodejs || "$package" == npm ]] || filtered+=("$package")
    done
    missing=("${filtered[@]}")
fi

if ((${#missing[@]} > 0)); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# highlight.js, pinned by resources/highlightjs/package-lock.json
scripts_dir=resources/SyntaxHighlighting
npm_dir=resources/highlightjs
wanted=(highlight.min.js dockerfile.min.js graphql.min.js less.min.js scss.min.js)
have_all=1
for file in "${wanted[@]}"; do [[ -s "$scripts_dir/$file" ]] || have_all=0; done
if ((have_all == 0)); then
    echo "setup: installing highlight.js"
    (cd "$npm_dir" && npm ci --no-audit --no-fund --silent)
    mkdir -p "$scripts_dir"
    assets="$npm_dir/node_modules/@highlightjs/cdn-assets"
    cp "$assets/highlight.min.js" "$scripts_dir/"
    for language in dockerfile graphql less scss; do
        cp "$assets/languages/$language.min.js" "$scripts_dir/"
    done
fi
