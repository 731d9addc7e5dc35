#!/bin/sh
# The 3D example replayed from recorded input: the walker finds the way out of the maze and
# the room change shows its transition. Headless without a device the run gives the same
# output; with the offscreen device every transition frame is written as a PNG file.
# Usage: maze3d.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/examples/maze3d" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
out of the maze after 117 steps, facing 0
OUT
"$kestrin" run --headless --fast --frames 160 --input "$src/tests/data/maze3d_walk.input" "$work/game" \
    >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "output"; }

ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$kestrin" run --headless --fast --frames 160 \
    --input "$src/tests/data/maze3d_walk.input" --transition-frames "$work/frames" \
    --screenshot 100:"$work/walk.png" "$work/game" >"$work/out2" 2>"$work/err2"
status=$?
[ "$status" = 0 ] || { cat "$work/err2"; fail "exit status $status"; }
cmp -s "$work/out2" "$work/expected" || { diff "$work/expected" "$work/out2"; fail "output with frames"; }
if grep -q "No offscreen drawing device" "$work/err2"; then
    echo "no offscreen GPU context here: transition frames skipped"
    exit 0
fi
# transition_steps is 20: frames 0 to 20 of the passage from room 0 to room 1.
count=$(ls "$work/frames" | grep -c '^room0-1-[0-9]*\.png$')
[ "$count" = 21 ] || { ls "$work/frames"; fail "$count transition frames instead of 21"; }
[ -f "$work/frames/room0-1-20.png" ] || fail "no last frame"
[ "$(head -c 4 "$work/frames/room0-1-0.png" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "frame 0 is not a PNG file"
if command -v python3 >/dev/null 2>&1; then
    # The first frame shows the maze, the last the room outside (its grey background).
    python3 - "$work/frames/room0-1-0.png" "$work/frames/room0-1-20.png" "$work/walk.png" <<'PY' || fail "frames"
import sys, zlib, struct
def pixels(path):
    data = open(path, 'rb').read()
    pos, idat, w, h = 8, b'', 0, 0
    while pos < len(data):
        n, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b'IHDR':
            w, h, depth, ctype = struct.unpack('>IIBB', body[:10])
            assert depth == 8 and ctype == 6, (depth, ctype)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + n
    raw, rows, prev, i = zlib.decompress(idat), [], bytearray(w * 4), 0
    for y in range(h):
        f, line = raw[i], bytearray(raw[i + 1:i + 1 + w * 4])
        i += 1 + w * 4
        for x in range(w * 4):
            a = line[x - 4] if x >= 4 else 0
            b = prev[x]
            c = prev[x - 4] if x >= 4 else 0
            if f == 1: line[x] = (line[x] + a) & 255
            elif f == 2: line[x] = (line[x] + b) & 255
            elif f == 3: line[x] = (line[x] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return w, h, rows
w, h, last = pixels(sys.argv[2])
grey = sum(1 for row in last for x in range(w) if row[4 * x:4 * x + 3] == b'\x40\x40\x40')
assert grey > w * h // 2, grey
for path in (sys.argv[1], sys.argv[3]):
    w, h, rows = pixels(path)
    colours = {row[4 * x:4 * x + 3] for row in rows for x in range(0, w, 4)}
    assert len(colours) > 20, (path, len(colours))
PY
fi
echo ok
