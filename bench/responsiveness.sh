#!/bin/sh
# The responsiveness benchmark at the two screen sizes of a till: 1366 x 768 and
# 1280 x 1024 (shorter rows, more fields of a page on screen at once). Each run
# gets a private network namespace, since the console's print server needs port
# 5187 to itself, and an X server of that size. Arguments go to both runs
# (--sales N --scale S --burst LINES --answers N).
#
#   bench/responsiveness.sh [build folder] [arguments...]
set -eu
build=build
if [ $# -gt 0 ] && [ -d "$1" ]; then
    build=$1
    shift
fi
for size in 1366x768 1280x1024; do
    echo "== screen $size"
    unshare -rn sh -c 'ip link set lo up && exec xvfb-run -a -s "-screen 0 $0x24" "$@"' \
        "$size" "$build/bench/responsiveness" "$@"
done
