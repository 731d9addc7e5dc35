#!/bin/sh
# Plays the built demo game. With a display it opens the game window (Escape quits).
# Without one it plays the recorded session of examples/demo/session/ headless, at full
# speed with a fixed seed (so every run is the same), and writes screenshots of the title
# and play rooms and of the game-over room beside the game, saying where they are.
# Usage: play-demo.sh GAME
set -u
game="$1"
here="$(cd "$(dirname "$0")/.." && pwd)"
session="$here/examples/demo/session/session.txt"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Playing the demo in a window: Left/Right or the mouse move the paddle, Space launches, Escape quits."
    KESTRIN_VERBOSE=1 exec "$game"
fi

shots="$(cd "$(dirname "$game")" && pwd)/demo-screenshots"
mkdir -p "$shots"
rm -f "$shots/title.png" "$shots/play.png" "$shots/end.png"
echo "No display found: playing the recorded session headless ($session)."
# The session ends with Escape on the game-over room: the last screenshot is taken just before.
end=$(awk '$2 == "key_down" && $3 == "27" { step = $1 } END { print step - 30 }' "$session")
KESTRIN_HEADLESS=1 KESTRIN_FAST=1 KESTRIN_SEED=7 KESTRIN_INPUT="$session" KESTRIN_FRAMES=10000 \
    KESTRIN_SCREENSHOT="20:$shots/title.png;1500:$shots/play.png;$end:$shots/end.png" \
    "$game"
status=$?
written=""
for shot in title play end; do
    [ -f "$shots/$shot.png" ] && written="$written $shots/$shot.png"
done
if [ -n "$written" ]; then
    echo "Screenshots:$written"
else
    echo "No screenshots were written (no offscreen drawing device here)."
fi
exit $status
