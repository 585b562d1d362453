# shellcheck shell=bash
# The Debian packages the project builds, tests and runs with, and a function that installs the
# missing ones (needs root; one `apt-get update` first). Source this file from bash.

FLIRAN_PACKAGES=(
    cmake make g++
    googletest libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xdotool socat imagemagick
    # Wine draws the panel's "Arial" with Liberation Sans, which has Arial's metrics; without it
    # Wine takes a wider face and the texts no longer fit. (It came only as wine's recommendation.)
    fonts-liberation
    libx11-dev libxtst-dev
)

fliran_install_packages() {
    local missing=() pkg
    for pkg in "${FLIRAN_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages (${missing[*]}); run as root or install them" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q || return 1
    apt-get install -y -q "${missing[@]}" </dev/null || return 1
}
