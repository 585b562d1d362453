#!/usr/bin/env bash
# Builds the release packages of the panel in one go, on a fresh clone too. The usage is below
# (--help prints it).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"
ME="release.sh"

usage() {
    cat <<'EOF'
usage: tools/release.sh

Builds the panel for Windows (the `release` preset: MinGW-w64, Release, stripped, no tests) and
packs it with CPack into build/release/packages/:

  fliran-panel-VERSION-win64.zip         fliran-panel.exe, trace_debugger.exe, README.txt and
                                         LICENSE.txt in the folder fliran-panel-VERSION-win64
  fliran-panel-VERSION-win64-setup.exe   the installer of the same files (NSIS): Program Files,
                                         a Start-menu shortcut, an uninstaller in Add/Remove
                                         Programs; /S installs without a window, /D=FOLDER
                                         (last, no quotes) elsewhere

and prints where they are and their sizes. VERSION is the one in CMakeLists.txt's project().
Packages of an earlier run are removed first. Everything the build printed is in
build/release.log. Without this script: cmake --workflow --preset release

Missing packages are installed with apt-get, which needs root: run the script once with sudo.
Under sudo only the packages are installed as root; everything else runs as you.
EOF
}

die() {
    echo "$ME: $1" >&2
    [ -n "${2:-}" ] && echo "$ME: $2" >&2
    exit 1
}

case "${1:-}" in
    "") ;;
    -h|--help) usage; exit 0 ;;
    *) die "unknown argument $1" "see tools/release.sh --help" ;;
esac

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
fliran_install_packages "${FLIRAN_PACKAGES[@]}" "${FLIRAN_RELEASE_PACKAGES[@]}" ||
    die "installing the missing packages failed" \
        "run it once with sudo (sudo tools/release.sh): it installs them and goes on as you"
fliran_as_invoking_user "$ROOT" "$ROOT/tools/release.sh" "$@"

mkdir -p "$ROOT/build" || die "cannot create $ROOT/build" "check the permissions of $ROOT"
log="$ROOT/build/release.log"
packages="$ROOT/build/release/packages"
: >"$log"
# step WHAT COMMAND...: runs one stage with its output going to the log; on failure shows the
# log's last lines and ends the run.
step() {
    echo "== $1"
    shift
    if ! "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        die "$* failed (last lines above, all of it in ${log#"$ROOT"/})"
    fi
}
rm -rf "$packages"
# The programs' time stamp (in their headers, set again by each strip) is the last commit's time
# (outside a git checkout that of CMakeLists.txt), so that the zip and the installer hold the same
# bytes and a rebuild of a commit gives them again.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH="$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null)" ||
        SOURCE_DATE_EPOCH="$(stat -c %Y "$ROOT/CMakeLists.txt")"
fi
export SOURCE_DATE_EPOCH
step "configuring (release preset)" cmake --preset release
step "building fliran-panel.exe and trace_debugger.exe" cmake --build --preset release
step "packing the zip and the installer" cpack --preset release

echo "== the packages, in $packages:"
found=0
for file in "$packages"/*.zip "$packages"/*.exe; do
    [ -f "$file" ] || continue
    found=$((found + 1))
    bytes="$(stat -c %s "$file")"
    printf '   %-40s %6s KiB (%s bytes)\n' "${file##*/}" $(((bytes + 512) / 1024)) "$bytes"
done
[ "$found" = 2 ] || die "cpack made $found packages, not the zip and the installer" "see ${log#"$ROOT"/}"
