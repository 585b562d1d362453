# shellcheck shell=bash
# The Debian packages the project builds, tests and runs with, a function that installs the
# missing ones (needs root; one `apt-get update` first) and one that goes on as the sudo user.
# Source this file from bash.

FLIRAN_PACKAGES=(
    cmake make g++
    googletest libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xdotool socat imagemagick
    # winegcc, wineg++ and wrc: the winelib preset builds the Windows code with Wine's own tool
    # chain, so that the host compiler's sanitizers can watch it under Wine.
    wine64-tools
    # Wine draws the panel's "Arial" with Liberation Sans, which has Arial's metrics; without it
    # Wine takes a wider face and the texts no longer fit. (It came only as wine's recommendation.)
    fonts-liberation
    libx11-dev libxtst-dev
    # The trace debugger's web view (trace_debugger --web, the native build): an HTTP server and
    # JSON, found with pkg-config.
    pkg-config libcpp-httplib-dev nlohmann-json3-dev
)

# What the fuzz targets need besides (tools/fuzz.sh): clang and its libFuzzer. The fuzzer and
# sanitizer runtimes clang links are in libclang-rt-14-dev, only recommended by clang: named here
# so that an apt set up without recommends installs them too.
# shellcheck disable=SC2034  # used by the scripts that source this file
FLIRAN_FUZZ_PACKAGES=(clang libfuzzer-14-dev libclang-rt-14-dev)

# What tools/release.sh needs besides the general list: the installer compiler, and unzip for the
# packages' test (tests/scripts/release_test.sh), which tools/test.sh runs.
# shellcheck disable=SC2034  # used by the scripts that source this file
FLIRAN_RELEASE_PACKAGES=(nsis unzip)

# What the web view's browser test needs besides (tests/scripts/web_view_test.sh): Debian's
# Chromium, driven headless, and Node.js with npm for puppeteer-core. A Node.js from elsewhere that
# brings its own npm (and conflicts with Debian's) is kept: npm is asked for only when the command
# is missing.
fliran_web_packages() {
    FLIRAN_WEB_PACKAGES=(chromium)
    command -v node >/dev/null 2>&1 || FLIRAN_WEB_PACKAGES+=(nodejs)
    command -v npm >/dev/null 2>&1 || FLIRAN_WEB_PACKAGES+=(npm)
}
fliran_web_packages

# fliran_browser_modules ROOT: puppeteer-core for tests/browser, with npm ci from the committed
# package-lock.json; again only when that file changed since (a copy of it is kept beside the
# modules).
fliran_browser_modules() {
    local browser="$1/tests/browser"
    cmp -s "$browser/package-lock.json" "$browser/node_modules/.fliran-package-lock" && return 0
    echo "== npm ci (puppeteer-core)"
    (cd "$browser" && npm ci --no-audit --no-fund --loglevel=error) &&
        cp "$browser/package-lock.json" "$browser/node_modules/.fliran-package-lock"
}

# fliran_install_packages [PACKAGE...]: installs those of the packages (FLIRAN_PACKAGES when none
# are named) that are missing.
fliran_install_packages() {
    local missing=() pkg wanted=("$@")
    [ $# -eq 0 ] && wanted=("${FLIRAN_PACKAGES[@]}")
    for pkg in "${wanted[@]}"; do
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

# fliran_as_invoking_user ROOT COMMAND...: under sudo (root, with SUDO_USER naming another user),
# only the packages are installed as root; everything else runs as that user, so that the build
# and the Wine prefix are theirs and a later run without sudo can use them (Wine refuses a prefix
# that belongs to someone else). What earlier runs as root left in ROOT/build is handed back to the
# user, then COMMAND runs as the user and its exit code ends the calling script. Without sudo this
# does nothing; when the repository ROOT is not the user's, the run stays root's as before.
fliran_as_invoking_user() {
    local root="$1" user="${SUDO_USER:-}" owner
    shift
    [ "$(id -u)" -eq 0 ] && [ -n "$user" ] && [ "$user" != root ] || return 0
    id -u -- "$user" >/dev/null 2>&1 || return 0
    owner="$(stat -c %U -- "$root")" || return 0
    if [ "$owner" != "$user" ]; then
        echo "== $root belongs to $owner, not to $user: going on as root"
        return 0
    fi
    if [ -d "$root/build" ]; then
        find "$root/build" -xdev -user 0 -exec chown -h -- "$user:" {} + ||
            echo "== could not hand all of $root/build back to $user" >&2
    fi
    echo "== going on as $user (sudo was needed only for the packages)"
    exec runuser -u "$user" -- "$@"
}
