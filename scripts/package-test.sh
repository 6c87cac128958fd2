#!/usr/bin/env bash
# The Debian package from end to end, for CI (scripts/test.sh runs it): builds it
# with scripts/package.sh (lintian included), installs it with apt, checks what it
# installed, plays a shipped scenario with the installed kelvra-run against the
# installed simulated terminal, starts the console from its desktop entry under
# Xvfb, then removes and purges it and checks that nothing of it is left.
#
# Installing needs root (or sudo). Without, or when a kelvra package is already
# installed on this machine (not ours to remove), it stops after the build and
# lintian and says so. KELVRA_DEBS="FILE.deb ..." tries those packages instead of
# building (no lintian then).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing_packages
set -o pipefail

fail() {
    echo "package-test: FAIL: $*" >&2
    exit 1
}

if [ -n "${KELVRA_DEBS:-}" ]; then
    debs=$(printf '%s\n' $KELVRA_DEBS)
else
echo "== Debian package: build and lintian"
start=$SECONDS
debs=$(DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-"nocheck parallel=2"} "$KELVRA_SRC/scripts/package.sh" 2>"$KELVRA_SRC/build-deb.log") || {
    tail -n 60 "$KELVRA_SRC/build-deb.log" >&2
    fail "scripts/package.sh failed (whole log in build-deb.log)"
}
echo "built in $((SECONDS - start)) s, lintian clean:"
echo "$debs"
fi
deb=$(echo "$debs" | grep '/kelvra_[^/]*\.deb$') || fail "no kelvra_*.deb among the packages"
version=$(dpkg-deb -f "$deb" Version)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || {
        echo "package-test: not root and no sudo: the package is not installed here"
        exit 0
    }
    sudo="sudo"
fi
if [ "$(dpkg-query -W -f='${db:Status-Status}' kelvra 2>/dev/null)" = installed ]; then
    echo "package-test: a kelvra package is already installed here: not installing over it"
    exit 0
fi

echo "== Debian package: install"
work=$(mktemp -d)
installed=0
cleanup() {
    [ $installed = 1 ] && $sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kelvra >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install $deb"; }
installed=1
dpkg-query -L kelvra >"$work/files"

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
terminal=/usr/lib/$multiarch/kelvra/libkorvex.so.0
check() { # MESSAGE COMMAND...: COMMAND must succeed
    local message=$1
    shift
    "$@" >"$work/out" 2>&1 || { cat "$work/out" >&2; fail "$message"; }
}
check "kelvra and kelvra-run on the PATH" command -v kelvra kelvra-run
[ "$(kelvra-run --version)" = "kelvra-run $version" ] ||
    fail "kelvra-run --version says '$(kelvra-run --version)', the package $version"
check "window descriptions" test -f /usr/lib/kelvra/01.01-0a/EcrUi.xml
[ "$(readlink -f "$terminal")" = "$(readlink -f "/usr/lib/$multiarch/kelvra/sim/libkorvex.so.0")" ] ||
    fail "$terminal is not the simulated terminal"
loaded=$(ldd "$(command -v kelvra-run)" | sed -n 's/^[[:space:]]*libkorvex\.so\.0 => \([^ ]*\) .*/\1/p')
[ "$loaded" = "$terminal" ] || fail "kelvra-run loads libkorvex.so.0 from '$loaded', not $terminal"
# A site's library registered as the README says takes the simulated terminal's place.
cp "/usr/lib/$multiarch/kelvra/sim/libkorvex.so.0" "$work/libkorvex.so.0"
check "a site's library as the alternative" $sudo update-alternatives --install "$terminal" \
    "libkorvex.so.0-$multiarch" "$work/libkorvex.so.0" 50
[ "$(readlink -f "$terminal")" = "$work/libkorvex.so.0" ] || fail "the site's library is not $terminal"
check "the site's library removed" $sudo update-alternatives --remove "libkorvex.so.0-$multiarch" \
    "$work/libkorvex.so.0"
check "AppStream metadata" appstreamcli validate --no-net --strict /usr/share/metainfo/*kelvra*.xml
check "desktop entry" desktop-file-validate /usr/share/applications/kelvra.desktop
for page in kelvra kelvra-run kelvra-print-send; do
    # groff's warnings (-ww) about the page, if any, are on standard error.
    zcat "/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>"$work/man" &&
        [ ! -s "$work/man" ] || { cat "$work/man" >&2; fail "manual page $page(1)"; }
done
check "bash completion" test -f /usr/share/bash-completion/completions/kelvra-run

echo "== Debian package: the installed kelvra-run plays a shipped scenario"
(cd "$work" && KORVEX_SIM_DELAY=0 KORVEX_SIM_STATE_DIR="$work" \
    "$KELVRA_SRC/tests/in_private_net.sh" kelvra-run --no-journal \
    /usr/share/kelvra/scenarios/payments.yaml >"$work/run.log" 2>&1) ||
    { tail -n 30 "$work/run.log" >&2; fail "kelvra-run /usr/share/kelvra/scenarios/payments.yaml"; }
tail -n 1 "$work/run.log"

echo "== Debian package: the console from the desktop entry's Exec line"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/kelvra.desktop)
(cd / && HOME="$work" XDG_DATA_HOME="$work/data" KORVEX_SIM_STATE_DIR="$work" \
    "$KELVRA_SRC/tests/in_private_net.sh" xvfb-run -a -s "-screen 0 1366x768x24" \
    sh -c "$exec_line & pid=\$!; sleep 4; kill -0 \$pid && kill \$pid" >"$work/console.log" 2>&1) ||
    { cat "$work/console.log" >&2; fail "the console did not keep running from '$exec_line'"; }
[ -d "$work/data/kelvra" ] || fail "the console's working folder $work/data/kelvra was not made"

echo "== Debian package: remove and purge"
nothing_left() { # WHEN: no file, link or alternative of the package is left
    local left="" path
    while IFS= read -r path; do
        # Folders shared with other packages (/usr/share/man/man1, ...) stay.
        if [ -L "$path" ] || { [ -e "$path" ] && [ ! -d "$path" ]; }; then
            left="$left $path"
        fi
    done <"$work/files"
    for path in "/usr/lib/$multiarch/kelvra" /usr/lib/kelvra /usr/share/kelvra /usr/libexec/kelvra \
        "/etc/alternatives/libkorvex.so.0-$multiarch" \
        "/var/lib/dpkg/alternatives/libkorvex.so.0-$multiarch"; do
        if [ -e "$path" ] || [ -L "$path" ]; then left="$left $path"; fi
    done
    [ -z "$left" ] || fail "left behind after $1:$left"
}
$sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq kelvra >/dev/null 2>&1 ||
    fail "apt-get remove kelvra"
installed=0
nothing_left "apt-get remove"
# apt no longer knows a package installed from a file once it is removed: dpkg purges.
$sudo dpkg --purge kelvra >/dev/null 2>&1 || fail "dpkg --purge kelvra"
nothing_left "dpkg --purge"
status=$(dpkg-query -W -f='${db:Status-Status}' kelvra 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "dpkg still has kelvra as $status"
echo "package-test: installed, played, started and removed without a trace"
