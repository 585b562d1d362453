#!/usr/bin/env bash
# Latency of the trace debugger's web view: 200 hops (40 moves of the eyes slider's five hops,
# sent by a stand-in panel) through trace_debugger --run --web into headless Chromium. For each
# hop the time from its report datagram to its line on the debugger's output (the baseline) and
# to the page's update is taken; the medians and maxima are printed with the page's lag behind the
# terminal (goal: at most 50 ms at the median). A benchmark: it asserts nothing.
#
#   tools/web-latency.sh [MOVES]      (default 40, five hops each)
#
# Builds the native trace debugger; installs Chromium, Node.js, npm (as root) and puppeteer-core
# when they are missing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
fliran_install_packages "${FLIRAN_WEB_PACKAGES[@]}"
fliran_browser_modules "$ROOT"
cmake --preset native >/dev/null
cmake --build --preset native --target trace_debugger -j2 >/dev/null
node "$ROOT/tests/browser/latency_bench.mjs" "$ROOT/build/native/trace_debugger" "${1:-40}"
