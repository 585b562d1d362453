#!/bin/bash
# Draws the panel's scheme: builds scheme_picture (native preset), which writes the elements and
# links of scheme/elements.h and scheme/links.h to docs/scheme.dot, and renders that with
# Graphviz into docs/scheme.svg and docs/scheme.png. Run it after changing either table and commit
# the three files: a test fails while docs/scheme.dot no longer matches the tables. Graphviz is
# installed with apt-get when it is missing, which needs root: run the script once with sudo
# (only the installing is done as root then). The build itself needs no Graphviz.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"

if [ $# -gt 0 ]; then
    echo "usage: tools/scheme-picture.sh   (writes docs/scheme.dot, docs/scheme.svg and docs/scheme.png)" >&2
    exit 2
fi

if ! command -v dot >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "scheme-picture.sh: Graphviz is missing: run the script once with sudo, or apt-get install graphviz" >&2
        exit 1
    fi
    echo "== installing: graphviz"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q && apt-get install -y -q graphviz </dev/null
fi
fliran_as_invoking_user "$ROOT" "$ROOT/tools/scheme-picture.sh"

cd "$ROOT"
log=build/scheme-picture-build.log
mkdir -p build
echo "== building scheme_picture (native preset; the output is in $log)"
if ! { cmake --preset native && cmake --build --preset native --target scheme_picture -j2; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "scheme-picture.sh: building scheme_picture failed (all of it in $log)" >&2
    exit 1
fi
build/native/scheme_picture docs/scheme.dot
dot -Tsvg docs/scheme.dot -o docs/scheme.svg
dot -Tpng docs/scheme.dot -o docs/scheme.png
ls -l docs/scheme.dot docs/scheme.svg docs/scheme.png
