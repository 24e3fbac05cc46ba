#!/usr/bin/env bash
# Sets up a Debian machine for Nobra Setup, builds it and runs it or its tests.
#
#   ./dev.sh run    install what is missing, build, run the installer: on your X
#                   display when DISPLAY is set, else the unattended demo on the
#                   headless screen (a PNG of every step, printed at the end)
#   ./dev.sh test   install what is missing, build both targets, run every test
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake pkg-config libfreetype-dev libfontconfig1-dev libx11-dev zlib1g-dev
          libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev
          fonts-dejavu-core fonts-liberation xvfb xdotool x11-xserver-utils x11-utils xclip xdg-utils)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "dev.sh: installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_linux() {
    cmake --preset linux >/dev/null
    cmake --build --preset linux
}

build_windows() {
    cmake --preset windows >/dev/null
    cmake --build --preset windows
}

case "${1:-}" in
run)
    install_missing
    build_linux
    if [ -n "${DISPLAY:-}" ]; then
        exec build/linux/nobra-setup
    fi
    echo "dev.sh: no X display; running the unattended demo on the headless screen"
    exec build/linux/nobra-demo demo-output
    ;;
test)
    install_missing
    build_linux
    build_windows
    ctest --preset linux
    ;;
*)
    sed -n '2,8p' "$0"
    exit 2
    ;;
esac
