#!/bin/sh
# Plays the built demo: in a window when a display is available, otherwise headless.
game="$1"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    echo "No display found: running the demo headless."
    KESTRIN_HEADLESS=1 KESTRIN_VERBOSE=1 exec "$game"
fi
KESTRIN_VERBOSE=1 exec "$game"
