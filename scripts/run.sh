#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console on the simulated
# terminal. Without a display the console is served to a web browser through
# GTK's Broadway backend.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing_packages
configure_build "$KELVRA_SRC/build"
ninja -C "$KELVRA_SRC/build" kelvra korvex

# The console keeps ECRConf and PrinterState in its working directory.
workdir=${KELVRA_WORKDIR:-$HOME/.local/share/kelvra}
mkdir -p "$workdir"
cd "$workdir"
echo "Working directory: $workdir"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    display=${BROADWAY_DISPLAY:-:5}
    port=$((8080 + ${display#:}))
    broadwayd "$display" >/dev/null 2>&1 &
    broadway_pid=$!
    trap 'kill $broadway_pid 2>/dev/null' EXIT
    sleep 1
    echo "No display here: open http://127.0.0.1:$port/ in a web browser to use the console."
    GDK_BACKEND=broadway BROADWAY_DISPLAY=$display "$KELVRA_SRC/build/kelvra"
else
    "$KELVRA_SRC/build/kelvra"
fi
