#!/bin/sh
# Plays the built demo: in a window when a display is available (Escape quits), otherwise
# headless for a few seconds of game time.
game="$1"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    echo "No display found: running the demo headless for 180 steps."
    KESTRIN_HEADLESS=1 KESTRIN_VERBOSE=1 KESTRIN_FAST=1 KESTRIN_FRAMES=180 exec "$game"
fi
KESTRIN_VERBOSE=1 exec "$game"
