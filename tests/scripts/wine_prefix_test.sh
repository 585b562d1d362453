#!/usr/bin/env bash
# The Wine scripts touch only what the project made: a prefix folder they did not create is
# refused and kept, and a pid file signals a process only while it is the one recorded.
#
# Refusals go through tools/wine-run.sh (every test program's start) and tools/run-panel.sh (the
# README's run command), which must refuse before installing or building anything. The pid-file
# cases stop a session whose Xvfb and watcher pid files name a live sleep of this test.
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
sleeper=""
trap '[ -n "$sleeper" ] && kill "$sleeper" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

mkdir -p "$work/home" "$work/decoy" "$work/ours"
echo "a user's file" >"$work/decoy/keep"
: >"$work/ours/.fliran-prefix"

# name ; FLIRAN_WINEPREFIX ; folder to run from ; what the refusal says
cases=(
    "a folder the project did not make;$work/decoy;/;was not made by this project"
    "the same, named relative to where the user is;decoy;$work;was not made by this project"
    "an empty value;;/;set but empty"
    "the root folder;/;/;the root folder"
    "the home folder;$work/home;/;home folder"
    "a folder holding the home folder;$work;/;home folder or holds it"
    "the repository;$root;/;the repository"
)
for row in "${cases[@]}"; do
    IFS=';' read -r name prefix from says <<<"$row"
    for script in "tools/wine-run.sh nothing.exe" tools/run-panel.sh; do
        # shellcheck disable=SC2086
        out="$(cd "$from" && HOME="$work/home" FLIRAN_WINEPREFIX="$prefix" \
            timeout 60 bash "$root"/$script 2>&1 </dev/null)"
        rc=$?
        if [ "$rc" = 0 ] || [ "$rc" = 124 ]; then
            fail "$script with $name: exit code $rc, not a refusal: $out"
        elif ! grep -qF "$says" <<<"$out" || ! grep -qF "FLIRAN_WINEPREFIX" <<<"$out"; then
            fail "$script with $name: the refusal does not say \"$says\" and what to do: $out"
        fi
    done
done
[ "$(cat "$work/decoy/keep" 2>/dev/null)" = "a user's file" ] || fail "the decoy prefix lost its file"
[ "$(ls -A "$work/decoy")" = keep ] || fail "something was written into the decoy: $(ls -A "$work/decoy")"
[ ! -e "$work/decoy.run" ] || fail "a state folder was made beside the decoy"

# A folder with the project's marker is accepted.
(
    export FLIRAN_WINEPREFIX="$work/ours"
    # shellcheck source=tools/wine-prefix.sh
    source "$root/tools/wine-prefix.sh"
    fliran_wine_prefix_path && [ "$FLIRAN_WINE_PREFIX_PATH" = "$work/ours" ]
) || fail "the project's own prefix was refused"

# Pid files of a session: only the recorded process is stopped.
export FLIRAN_WINEPREFIX="$work/prefix"
# shellcheck source=tools/wine-prefix.sh
source "$root/tools/wine-prefix.sh"
fliran_wine_env || { echo "FAILED: fliran_wine_env for a new prefix" >&2; exit 1; }
FLIRAN_WINESERVER=true
sleep 300 &
sleeper=$!
# what the pid file holds besides the pid ; what must become of the sleep
for row in "nothing;alive" "another start time;alive" "its start time;stopped"; do
    IFS=';' read -r kind want <<<"$row"
    for file in xvfb.pid watcher.pid; do
        fliran_wine__pid_running "$sleeper" || { sleep 300 & sleeper=$!; }
        fliran_wine__procstat "$sleeper"
        case "$kind" in
            nothing) content="$sleeper" ;;
            another*) content="$sleeper $((FLIRAN_WINE__START + 1))" ;;
            *) content="$sleeper $FLIRAN_WINE__START" ;;
        esac
        echo "$content" >"$FLIRAN_WINE_STATE/$file"
        fliran_wine_shutdown
        for ((i = 0; i < 20; i++)); do
            fliran_wine__pid_running "$sleeper" || break
            sleep 0.05
        done
        if fliran_wine__pid_running "$sleeper"; then got=alive; else got=stopped; fi
        [ "$got" = "$want" ] || fail "$file naming a sleep with $kind: the sleep is $got, not $want"
    done
done

[ "$failures" -eq 0 ] && echo "foreign prefixes refused and kept; only recorded processes stopped"
exit $((failures > 0))
