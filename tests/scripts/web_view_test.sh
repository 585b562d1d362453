#!/usr/bin/env bash
# The trace debugger's web view in a real browser with the real panel (tests/browser/story.mjs):
# Debian's Chromium, headless, driven by puppeteer-core, shows trace_debugger --web while the run
# command runs the traced panel under Wine with the virtual board; a move of the eyes slider lights
# links 6, 4, 3 and 5 in the page, one Step each, with the values the board receives, and Stop in
# the page leaves the panel running untraced. The page's screenshot is saved to
# build/web-view.png.
#
#   tests/scripts/web_view_test.sh
#
# Installs what it needs when it is missing (as root): Chromium, Node.js and npm (tools/packages.sh),
# and puppeteer-core with npm ci from the committed package-lock.json (again only when that file
# changed). Builds nothing of its own: the run command brings the native trace debugger and the
# mingw panel and board up to date, which tools/test.sh has built before. Uses the Wine prefix in
# FLIRAN_WINEPREFIX (default: build/check-prefix, which tools/test.sh's run-command check made).
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export FLIRAN_WINEPREFIX="${FLIRAN_WINEPREFIX:-$root/build/check-prefix}"
unset FLIRAN_TRACE FLIRAN_TRACE_PORT DISPLAY
start=$SECONDS

# shellcheck source=tools/packages.sh
source "$root/tools/packages.sh"
fliran_install_packages "${FLIRAN_WEB_PACKAGES[@]}" || exit 1

fliran_browser_modules "$root" || {
    echo "web view test: npm ci failed" >&2
    exit 1
}
installed=$((SECONDS - start))

# shellcheck source=tools/wine-prefix.sh
source "$root/tools/wine-prefix.sh"
fliran_wine_env || exit 1
export FLIRAN_WINE_STATE

shot="$root/build/web-view.png"
rm -f "$shot"
story_start=$SECONDS
node "$root/tests/browser/story.mjs" "$root" "$shot"
rc=$?
[ "$rc" = 0 ] && [ ! -s "$shot" ] && { echo "web view test: no screenshot of the page" >&2; rc=1; }
if [ "$rc" = 0 ]; then
    echo "web view story passed in $((SECONDS - story_start)) s (installing ${installed} s); the page: ${shot#"$root"/}"
else
    echo "web view story FAILED"
fi
exit "$rc"
