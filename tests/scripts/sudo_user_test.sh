#!/usr/bin/env bash
# Under sudo the scripts install packages as root and do everything else as the user who ran sudo,
# so that a later run without sudo can use the build and the Wine prefix.
#
# A throw-away user owns a stand-in repository whose build/ holds a file an earlier run as root
# left. A script there calls fliran_as_invoking_user (tools/packages.sh), as tools/run-panel.sh and
# tools/test.sh do after installing packages, and then writes a file into build/, as the build
# would. Needs root (to make the user); skipped otherwise.
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
if [ "$(id -u)" -ne 0 ] || ! command -v useradd >/dev/null || ! command -v runuser >/dev/null; then
    echo "skipped: needs root, useradd and runuser"
    exit 77
fi
user="fliran-t$$"
work="$(mktemp -d)"
trap 'userdel "$user" >/dev/null 2>&1; rm -rf "$work"' EXIT
useradd --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" || exit 1
chmod 755 "$work"
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

cat >"$work/step.sh" <<EOF
#!/usr/bin/env bash
# step.sh REPO: what a script does after installing packages.
source "$root/tools/packages.sh"
fliran_as_invoking_user "\$1" "\$0" "\$1"
touch "\$1/build/made-by-\$(id -un)"
EOF
chmod 755 "$work/step.sh"

# SUDO_USER ; owner of the repository ; who must write the build
cases=(
    "$user;$user;$user"
    "$user;root;root"
    ";$user;root"
)
for row in "${cases[@]}"; do
    IFS=';' read -r sudo_user owner want <<<"$row"
    repo="$work/repo"
    rm -rf "$repo"
    mkdir -p "$repo/build/wine-prefix"
    touch "$repo/build/left-by-root" "$repo/build/wine-prefix/system.reg"
    chown "$owner:" "$repo"
    SUDO_USER="$sudo_user" "$work/step.sh" "$repo" >"$work/out" 2>&1 </dev/null
    made="$(cd "$repo/build" && ls made-by-* 2>/dev/null)"
    if [ "$made" != "made-by-$want" ]; then
        fail "SUDO_USER=$sudo_user, repository of $owner: build written by ${made#made-by-}, not $want: $(cat "$work/out")"
    fi
    for file in build build/left-by-root build/wine-prefix/system.reg; do
        have="$(stat -c %U "$repo/$file")"
        [ "$have" = "$want" ] || fail "SUDO_USER=$sudo_user, repository of $owner: $file belongs to $have, not $want"
    done
done

[ "$failures" -eq 0 ] && echo "under sudo the build is the user's"
exit $((failures > 0))
