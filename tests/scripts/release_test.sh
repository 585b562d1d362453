#!/usr/bin/env bash
# The release packages as a maker meets them: tools/release.sh builds the zip and the installer;
# the installer runs silently into a Wine prefix made from nothing, into Program Files and with
# /D= into a folder of the user's choice; each time the files, the Start-menu shortcut (target,
# bird icon) and the Add/Remove Programs entry are there, and the silent uninstaller removes the
# files, the shortcut and the entry; the panel installed into Program Files, started from the
# shortcut's target, shows its window and closes. The zip holds exactly the listed files, its
# programs stripped and the same as the installer's, and the panel unpacked from it starts. Last,
# the sizes of the panel (beside the bird picture) and of the installer.
#
#   tests/scripts/release_test.sh
#
# The prefix is build/install-prefix (or FLIRAN_WINEPREFIX), made anew on each run by the
# project's prefix functions: a folder there that the project did not make is refused and kept.
# The mingw build must be configured (the shortcut reader is built there). A screenshot of the
# installed panel is saved to build/release-installed-panel.png.
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export FLIRAN_WINEPREFIX="${FLIRAN_WINEPREFIX:-$root/build/install-prefix}"
unset FLIRAN_TRACE FLIRAN_TRACE_PORT DISPLAY
# shellcheck source=tools/wine-prefix.sh
source "$root/tools/wine-prefix.sh"
# shellcheck source=tools/panel-window.sh
source "$root/tools/panel-window.sh"
work="$(mktemp -d)"
: >"$work/started"
acquired=0
panel_pid=""
cleanup() {
    fliran_stop_pid "$panel_pid"
    [ "$acquired" = 1 ] && fliran_wine_release "$$"
    [ -n "${FLIRAN_KEEP_TEST_FILES:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

failures=0
story=""
fail() {
    echo "FAILED ($story): $*" >&2
    failures=$((failures + 1))
}
# give_up WHAT: a failure after which nothing else can be checked.
give_up() {
    fail "$*"
    echo "release test: $failures failed, stopped early" >&2
    exit 1
}

# Before anything is built: a prefix folder the project did not make is refused and kept.
story="prefix"
fliran_wine_prefix_path || give_up "the prefix $FLIRAN_WINEPREFIX may not be used"

# --- The packages -----------------------------------------------------------------------------
story="tools/release.sh"
"$root/tools/release.sh" </dev/null >"$work/release.log" 2>&1 ||
    give_up "tools/release.sh failed: $(tail -n 20 "$work/release.log")"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/release/CMakeCache.txt")"
[ -n "$version" ] || give_up "no project version in build/release/CMakeCache.txt"
packages="$root/build/release/packages"
zip="$packages/fliran-panel-$version-win64.zip"
setup="$packages/fliran-panel-$version-win64-setup.exe"
for file in "$zip" "$setup"; do
    [ -f "$file" ] || give_up "no ${file##*/}; release.sh said: $(cat "$work/release.log")"
    grep -qE "${file##*/} +[0-9]+ KiB \\($(stat -c %s "$file") bytes\\)" "$work/release.log" ||
        fail "release.sh did not name ${file##*/} with its size: $(cat "$work/release.log")"
done
grep -qF "$packages" "$work/release.log" || fail "release.sh did not say where the packages are"

story="shortcut reader"
cmake --build --preset mingw --target shortcut_probe >"$work/probe-build.log" 2>&1 ||
    give_up "building shortcut_probe (mingw preset) failed: $(tail -n 20 "$work/probe-build.log")"
probe="$root/build/mingw/shortcut_probe.exe"

# --- The zip ----------------------------------------------------------------------------------
story="zip"
top="fliran-panel-$version-win64"
want="$(printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/fliran-panel.exe" \
    "$top/trace_debugger.exe" | sort)"
got="$(unzip -Z1 "$zip" | sort)"
[ "$got" = "$want" ] || fail "the zip holds"$'\n'"$got"$'\n'"not"$'\n'"$want"
unzip -q "$zip" -d "$work/unzipped" || fail "unzip failed"
unzipped="$work/unzipped/$top"
for file in fliran-panel.exe trace_debugger.exe; do
    flags="$(x86_64-w64-mingw32-objdump -f "$unzipped/$file" 2>&1)" || fail "objdump: $flags"
    grep -qE 'HAS_(SYMS|DEBUG)' <<<"$flags" && fail "$file is not stripped: $flags"
done

# --- A Wine prefix made from nothing ----------------------------------------------------------
story="prefix"
fliran_wine_env || give_up "cannot set up the Wine environment"
if [ -e "$WINEPREFIX" ]; then
    # fliran_wine_prefix_path refused any folder but an empty one or one the project made.
    fliran_wine_shutdown
    rm -rf "$WINEPREFIX" "$FLIRAN_WINE_STATE"
    fliran_wine_env || give_up "cannot set up the Wine environment"
fi
acquired=1
fliran_wine_acquire "$$" || give_up "starting Wine failed; see $FLIRAN_WINE_STATE"
[ -f "$WINEPREFIX/.fliran-prefix" ] || fail "the prefix has no marker of the project"

# unix_path C:\A\B: the Unix path of a Windows path on drive C: of the prefix.
unix_path() {
    local path="${1#[Cc]:}"
    echo "$WINEPREFIX/drive_c${path//\\//}"
}
# windows_path /A/B: the Windows path of a Unix path (drive Z: is the Unix root).
windows_path() {
    echo "Z:${1//\//\\}"
}
# wine_run SECONDS PROGRAM ARGS...: runs a Windows program in the prefix, bounded in time.
wine_run() {
    local seconds="$1"
    shift
    timeout "$seconds" "${FLIRAN_WINE[@]}" "$@" </dev/null 9>&-
}
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\FLIRAN Panel'
# read_entry: reads the values of the uninstall entry into entry[NAME] (none without the entry).
declare -A entry
read_entry() {
    local name type value
    entry=()
    while read -r name type value; do
        [[ "$type" == REG_* ]] && entry["$name"]="$value"
    done < <(wine_run 30 reg query "$key" 2>/dev/null | tr -d '\r')
}
# panel_shows EXE STORY [SHOT]: starts the panel EXE (a Windows path), waits for its window with
# the caption the run command's check waits for, saves the window to SHOT, closes it with Alt+F4
# and checks that it ends with exit code 0.
panel_shows() {
    story="$2"
    "${FLIRAN_WINE[@]}" "$1" </dev/null >"$work/panel.log" 2>&1 9>&- &
    panel_pid=$!
    if ! fliran_wait_window "$panel_pid" '^ФЛИРАН_1$' $((200 * 200)) 60; then
        fail "no window \"ФЛИРАН_1\" of $1 within 60 s: $(tail -n 5 "$work/panel.log")"
        fliran_stop_pid "$panel_pid"
        panel_pid=""
        return 1
    fi
    if [ -n "${3:-}" ]; then
        fliran_settle_screen
        import -display "$DISPLAY" -window "$FLIRAN_WINDOW" "$3" 2>/dev/null || fail "no screenshot $3"
    fi
    xdotool windowfocus --sync "$FLIRAN_WINDOW" key alt+F4 || fail "Alt+F4 could not be sent"
    local i
    for ((i = 0; i < 300; i++)); do
        fliran_wine__pid_running "$panel_pid" || break
        sleep 0.1
    done
    if fliran_wine__pid_running "$panel_pid"; then
        fail "the panel did not end within 30 s of Alt+F4"
        fliran_stop_pid "$panel_pid"
    else
        wait "$panel_pid" || fail "the panel ended with exit code $?"
    fi
    panel_pid=""
}

# --- The installer, into Program Files and into a folder of the user's choice -----------------
files="$(printf '%s\n' LICENSE.txt README.txt Uninstall.exe fliran-panel.exe trace_debugger.exe)"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
shortcut="$menu/FLIRAN Panel.lnk"
shot="$root/build/release-installed-panel.png"
rm -f "$shot"
# name ; the folder given with /D= (none: the default) ; where the files go ; the screenshot of the
# panel started from the shortcut's target (none: the panel is not started)
installs=(
    "Program Files;;C:\\Program Files\\FLIRAN Panel;$shot"
    "a folder of the user's choice;C:\\Bird Tools\\FLIRAN;C:\\Bird Tools\\FLIRAN;"
)
for row in "${installs[@]}"; do
    IFS=';' read -r name chosen folder picture <<<"$row"
    story="install: $name"
    # /D= comes last and takes the rest of the command line, spaces and all, without quotes: given
    # to Wine as words, which it joins with spaces (a word with a space in it, it would quote).
    words=()
    [ -n "$chosen" ] && read -ra words <<<"/D=$chosen"
    wine_run 120 "$setup" /S "${words[@]}" >"$work/setup.log" 2>&1 ||
        { fail "the installer ended with exit code $?: $(tail -n 5 "$work/setup.log")"; continue; }
    dir="$(unix_path "$folder")"
    got="$(ls -A "$dir" 2>/dev/null | sort)"
    [ "$got" = "$files" ] || fail "$folder holds"$'\n'"$got"$'\n'"not"$'\n'"$files"
    for file in fliran-panel.exe trace_debugger.exe; do
        cmp -s "$dir/$file" "$unzipped/$file" || fail "the installed $file differs from the zip's"
    done

    read_entry
    for pair in "DisplayName=FLIRAN Panel" "DisplayVersion=$version" "Publisher=fliran-panel authors" \
        "InstallLocation=$folder" "DisplayIcon=\"$folder\\fliran-panel.exe\",0" \
        "UninstallString=\"$folder\\Uninstall.exe\"" "QuietUninstallString=\"$folder\\Uninstall.exe\" /S"; do
        [ "${entry[${pair%%=*}]:-(none)}" = "${pair#*=}" ] ||
            fail "uninstall entry: ${pair%%=*} is ${entry[${pair%%=*}]:-(none)}, not ${pair#*=}"
    done
    uninstall="${entry[UninstallString]:-}"

    if [ -f "$shortcut" ]; then
        wine_run 30 "$probe" "$(windows_path "$shortcut")" >"$work/shortcut" 2>&1 ||
            fail "reading the shortcut failed: $(cat "$work/shortcut")"
        tr -d '\r' <"$work/shortcut" >"$work/shortcut.txt"
        for line in "target=$folder\\fliran-panel.exe" "workdir=$folder" "icon=$folder\\fliran-panel.exe,0" \
            "icon-group=ZORD"; do
            grep -qxF -- "$line" "$work/shortcut.txt" || fail "the shortcut has no line $line: $(cat "$work/shortcut.txt")"
        done
        target="$(sed -n 's/^target=//p' "$work/shortcut.txt")"
        [ -n "$target" ] && [ -n "$picture" ] &&
            panel_shows "$target" "install: $name: the panel from the shortcut" "$picture"
    else
        fail "no Start-menu shortcut $shortcut: $(ls "$menu" 2>&1)"
    fi

    # Started from the entry, as Windows starts it, the uninstaller copies itself to the temporary
    # folder, starts the copy with _?=FOLDER (and /S) and returns at once. The test makes that copy
    # itself and waits for it to end.
    story="uninstall: $name"
    uninstaller="$(unix_path "${uninstall//\"/}")"
    cp "$uninstaller" "$work/Uninstall-copy.exe" || { fail "no uninstaller $uninstaller"; continue; }
    read -ra words <<<"_?=$folder"
    wine_run 120 "$work/Uninstall-copy.exe" /S "${words[@]}" >"$work/uninstall.log" 2>&1 ||
        fail "the uninstaller ended with exit code $?: $(tail -n 5 "$work/uninstall.log")"
    [ -e "$dir" ] && fail "$folder is left, with: $(ls -A "$dir")"
    [ -e "$shortcut" ] && fail "the shortcut is left"
    read_entry
    [ ${#entry[@]} -eq 0 ] || fail "the uninstall entry is left: ${!entry[*]}"
done
[ -s "$shot" ] || fail "no screenshot of the installed panel"
# The shortcut stays inside the prefix: no menu entry on the Linux desktop of the user.
story="Linux desktop"
left="$(find "$HOME/.local/share/applications" "$HOME/.config/menus" -newer "$work/started" \
    -iname '*fliran*' 2>/dev/null)"
[ -z "$left" ] || fail "Wine added to the Linux desktop: $left"

# --- The panel from the unpacked zip ----------------------------------------------------------
panel_shows "$(windows_path "$unzipped/fliran-panel.exe")" "zip: the unpacked panel"

# --- Sizes ------------------------------------------------------------------------------------
kib() { echo $((($(stat -c %s "$1") + 512) / 1024)); }
picture_kib="$(kib "$root/resources/bird.bmp")"
panel_kib="$(kib "$unzipped/fliran-panel.exe")"
setup_kib="$(kib "$setup")"
printf 'sizes: fliran-panel.exe %d KiB = bird.bmp %d KiB %+d KiB (goal: at most +1024 KiB); installer' \
    "$panel_kib" "$picture_kib" $((panel_kib - picture_kib))
printf ' %d KiB = bird.bmp %+d KiB (goal: at most +2048 KiB); zip %d KiB\n' \
    "$setup_kib" $((setup_kib - picture_kib)) "$(kib "$zip")"
if [ "$failures" -gt 0 ]; then
    echo "release test: $failures failed" >&2
    exit 1
fi
echo "release test passed: installer and zip of $version (panel $panel_kib KiB, installer $setup_kib KiB)"
