# Sourced by run.sh and test.sh: installs the Debian packages that are missing and
# configures a build directory. Not meant to be run on its own.
set -eu

KELVRA_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KELVRA_PACKAGES="build-essential cmake ninja-build pkg-config libgtk-3-dev libgtk-3-bin \
libgtest-dev xvfb xauth fonts-dejavu-core libsqlite3-dev libzstd-dev iproute2 nlohmann-json3-dev \
libyaml-cpp-dev libxml2-utils debhelper dpkg-dev lintian appstream desktop-file-utils groff-base \
poppler-utils clang libclang-rt-14-dev"

install_missing_packages() {
    local missing=""
    for p in $KELVRA_PACKAGES "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            # A fresh Debian image has no sudo: the root password does it.
            echo "These Debian packages are missing:$missing" >&2
            echo "Install them as root, then run this script again:" >&2
            echo "  su -c 'apt-get update && apt-get install -y --no-install-recommends$missing'" >&2
            exit 1
        fi
        sudo="sudo"
    fi
    echo "Installing:$missing"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# configure_build DIR [cmake options...]: the window descriptions are taken from
# the source tree, so nothing has to be installed to run or test.
configure_build() {
    local dir=$1
    shift
    cmake -S "$KELVRA_SRC" -B "$dir" -G Ninja -DKELVRA_UI_DIR="$KELVRA_SRC/ui/" "$@" >/dev/null
}
