#!/usr/bin/env bash
# Builds the Debian package(s) from this checkout with Debian's own tools
# (dpkg-buildpackage, debhelper, the CMake rules in debian/), checks them with
# lintian, and prints the path of each .deb, one a line, on standard output.
#
# The sources are copied first (tracked files and new files that git does not
# ignore, edits included) into build-deb/kelvra-VERSION, so the build never sees
# an earlier build folder; the packages land in build-deb/.
#
# DEB_BUILD_OPTIONS is passed on; unset, it is "nocheck parallel=N" (N = cores):
# the project's own test suite covers what the package's checks would.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing_packages
set -o pipefail

cd "$KELVRA_SRC"
cmake_version=$(sed -n 's/^project(kelvra VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb_version=$(dpkg-parsechangelog -SVersion)
if [ "$cmake_version" != "$deb_version" ]; then
    echo "package.sh: debian/changelog names $deb_version, CMakeLists.txt's project VERSION" \
        "is $cmake_version: give debian/changelog an entry for $cmake_version (dch -v)" >&2
    exit 1
fi

out="$KELVRA_SRC/build-deb"
src="$out/kelvra-$deb_version"
rm -rf "$out"
mkdir -p "$src"
if git -C "$KELVRA_SRC" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
        tar --null -T - -cf - | tar -xf - -C "$src"
else
    tar --exclude='./build*' --exclude=./obj-\* -cf - . | tar -xf - -C "$src"
fi

# ccache, when it is installed, the way Debian's packagers use it.
[ -d /usr/lib/ccache ] && export PATH="/usr/lib/ccache:$PATH"
export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-"nocheck parallel=$(nproc)"}
# Without the checks, their build dependencies (marked <!nocheck>) are not needed.
case " $DEB_BUILD_OPTIONS " in
*" nocheck "*) export DEB_BUILD_PROFILES=${DEB_BUILD_PROFILES-nocheck} ;;
esac
(cd "$src" && dpkg-buildpackage -us -uc -b) >&2

changes=$(ls "$out"/kelvra_"$deb_version"_*.changes)
# No error and no warning: what cannot be fixed is overridden with its reason in
# debian/kelvra.lintian-overrides.
lintian --fail-on error,warning --info "$changes" >&2
# The software centre's view: metadata, desktop entry and icon together, offline.
appstreamcli validate-tree --no-net --strict "$src/debian/kelvra" >&2

ls "$out"/*.deb
