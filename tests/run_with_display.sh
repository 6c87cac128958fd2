#!/bin/sh
# Runs a GUI test binary on the current display, or on a private Xvfb server when
# there is none (CI, ssh sessions).
if [ -n "$DISPLAY" ] && [ -z "$KELVRA_FORCE_XVFB" ]; then
    exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
