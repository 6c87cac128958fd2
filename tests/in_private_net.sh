#!/bin/sh
# Runs a test command in a private network namespace with only its own loopback
# up, so that the print port 5187 is the tests' own even while a console (or
# anything else) holds it on this machine. As root a plain network namespace
# does; otherwise an unprivileged user namespace (unshare -rn). Where neither is
# allowed, or unshare or ip is missing, the command runs as it is.
[ -n "${KELVRA_PRIVATE_NET:-}" ] && exec "$@" # already inside one

ip_command=$(command -v ip || { [ -x /usr/sbin/ip ] && echo /usr/sbin/ip; } ||
    { [ -x /sbin/ip ] && echo /sbin/ip; })
if [ -n "$ip_command" ] && command -v unshare >/dev/null 2>&1; then
    for flags in -n -rn; do
        if unshare $flags "$ip_command" link set lo up 2>/dev/null; then
            export KELVRA_PRIVATE_NET=1
            exec unshare $flags sh -c '"$0" link set lo up && exec "$@"' "$ip_command" "$@"
        fi
    done
fi
echo "in_private_net.sh: no private network namespace here; port 5187 is shared" >&2
exec "$@"
