#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console on the simulated
# terminal. Without a display the console is served to a web browser through
# GTK's Broadway backend, on this machine only unless KELVRA_BROADWAY_ADDRESS
# says otherwise.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

# The Broadway display is a number (":5" or "5"); anything else is refused before
# it reaches arithmetic, where bash would run a command hidden in it.
display=${BROADWAY_DISPLAY:-:5}
display_number=${display#:}
case $display_number in
'' | *[!0-9]*)
    echo "BROADWAY_DISPLAY=$display refused: the display is a number of digits only," \
        "e.g. BROADWAY_DISPLAY=:6" >&2
    exit 2
    ;;
esac
if [ ${#display_number} -gt 5 ] || [ $((8080 + 10#$display_number)) -gt 65535 ]; then
    echo "BROADWAY_DISPLAY=$display refused: port 8080 + $display_number does not exist" >&2
    exit 2
fi

install_missing_packages
configure_build "$KELVRA_SRC/build"
ninja -C "$KELVRA_SRC/build" kelvra korvex

# The console keeps its defaults, printer status and journal in the folder it is
# started in: the launcher starts it in the operator's own folder (created
# owner-only), the same one the desktop entry uses.
console=("$KELVRA_SRC/scripts/kelvra-in-workdir" "$KELVRA_SRC/build/kelvra")
echo "Defaults, printer status and journal: ${KELVRA_WORKDIR:-${XDG_DATA_HOME:-$HOME/.local/share}/kelvra}"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "${console[@]}"
fi

# True when something accepts connections on host:port.
port_answers() {
    (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null
}

port=$((8080 + 10#$display_number))
# The Broadway page has no password: whoever reaches the port uses the console.
address=${KELVRA_BROADWAY_ADDRESS:-127.0.0.1}
case $address in
0.0.0.0 | ::) probe=127.0.0.1 ;;
*) probe=$address ;;
esac
if port_answers "$probe" "$port"; then
    echo "Port $port is already in use (another console?): choose another Broadway display," \
        "e.g. BROADWAY_DISPLAY=:6 $0" >&2
    exit 1
fi

broadway_log=$(mktemp)
broadwayd --address "$address" --port "$port" "$display" >"$broadway_log" 2>&1 &
broadway_pid=$!
# The end of the console, however it comes, ends the Broadway server.
trap 'kill $broadway_pid 2>/dev/null; rm -f "$broadway_log"' EXIT

for _ in $(seq 50); do
    port_answers "$probe" "$port" && break
    kill -0 "$broadway_pid" 2>/dev/null || break
    sleep 0.1
done
if ! kill -0 "$broadway_pid" 2>/dev/null || ! port_answers "$probe" "$port"; then
    echo "The Broadway server did not start on $address port $port:" >&2
    cat "$broadway_log" >&2
    exit 1
fi

if [ "$address" = 127.0.0.1 ]; then
    echo "No display here: open http://127.0.0.1:$port/ in a web browser on this machine."
    echo "From another machine, forward the port: ssh -L $port:127.0.0.1:$port $(hostname)"
else
    echo "No display here: the console is served on $address port $port WITHOUT A PASSWORD;"
    echo "anyone who reaches that address can use the terminal through it."
fi
echo "Stop with Ctrl+C here or by closing the console's window: both end the console and the" \
    "Broadway server."
GDK_BACKEND=broadway BROADWAY_DISPLAY=$display "${console[@]}" &
console_pid=$!
# Ctrl+C reaches the console from the terminal itself; a closed terminal or a
# SIGTERM reaches only this script and is passed on. Either way the console closes
# as from its window (defaults saved, open operations in the journal) and this
# script waits for it.
trap ':' INT
trap 'kill -TERM $console_pid 2>/dev/null' TERM HUP
status=0
while kill -0 "$console_pid" 2>/dev/null; do
    status=0
    wait "$console_pid" || status=$?
done
exit $status
