#!/bin/sh
# Plays a project headless with --audio-out and checks the samples of the written mix: a
# sound started at creation begins at frame 0, one started in step 3 at frame 3 * 44100 / 30
# with its volume and pan applied, and a sound file no decoder takes plays nothing while the
# game goes on.
# Usage: sound_out.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp -R "$src/tests/projects/sound_out" "$work/project"
# 100 frames of (16384, -8192) as 16-bit stereo, and bytes that are no sound file.
python3 - "$work/project/sounds" <<'PY' || fail "making the sound files"
import struct, sys
frames = b"".join(struct.pack("<hh", 16384, -8192) for _ in range(100))
header = b"RIFF" + struct.pack("<I", 36 + len(frames)) + b"WAVEfmt " + \
    struct.pack("<IHHIIHH", 16, 1, 2, 44100, 44100 * 4, 4, 16) + b"data" + struct.pack("<I", len(frames))
open(sys.argv[1] + "/a.wav", "wb").write(header + frames)
open(sys.argv[1] + "/bad.wav", "wb").write(b"not a sound file at all")
PY
"$kestrin" build "$work/project" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
kind of bad 3
a playing 0
b playing 1
OUT
"$kestrin" run --headless --fast --frames 5 --audio-out "$work/mix.wav" "$work/game" >"$work/out" 2>"$work/err" ||
    { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }

python3 - "$work/mix.wav" <<'PY' || fail "samples"
import struct, sys
data = open(sys.argv[1], "rb").read()
riff, size, wave, fmt, fmtsize, tag, channels, rate, rate4, align, bits, tagdata, datasize = \
    struct.unpack("<4sI4s4sIHHIIHH4sI", data[:44])
assert (riff, wave, fmt, tagdata) == (b"RIFF", b"WAVE", b"fmt ", b"data"), "not a WAV file"
assert (tag, channels, rate, bits) == (1, 2, 44100, 16), (tag, channels, rate, bits)
assert size == 36 + datasize and len(data) == 44 + datasize, "sizes in the header"
frames = datasize // 4
# Five steps and the last one's frames: 6 x 1470.
assert frames == 6 * 1470, frames
s = struct.unpack("<%dh" % (frames * 2), data[44:])
def at(i): return s[2 * i], s[2 * i + 1]
for i in range(100): assert at(i) == (16384, -8192), (i, at(i))
gain = 10 ** ((round(0.9 * 9600) - 9600) / 2000)
left = 10 ** (-round(0.25 * 10000) / 2000)
want = (round(16384 / 32768 * gain * left * 32767), round(-8192 / 32768 * gain * 32767))
start = 3 * 44100 // 30
for i in range(frames):
    got = at(i)
    if i < 100: continue
    if start <= i < start + 100:
        assert abs(got[0] - want[0]) <= 1 and abs(got[1] - want[1]) <= 1, (i, got, want)
    else:
        assert got == (0, 0), (i, got)
PY
# A standalone game takes the file from the environment: one step and the last one's frames.
"$kestrin" build "$work/project" -o "$work/standalone" || fail "standalone build"
KESTRIN_HEADLESS=1 KESTRIN_FAST=1 KESTRIN_FRAMES=1 KESTRIN_AUDIO_OUT="$work/env.wav" "$work/standalone" \
    >/dev/null 2>&1 || fail "standalone run"
[ "$(wc -c <"$work/env.wav")" -eq $((44 + 2 * 1470 * 4)) ] || fail "standalone audio file size"
"$kestrin" run --headless --fast --frames 1 --audio-out "$work/none/mix.wav" "$work/game" >"$work/out" 2>"$work/err" &&
    fail "an unwritable audio file was accepted"
grep -qF "Cannot write the audio file: $work/none/mix.wav" "$work/err" || { cat "$work/err"; fail "message"; }
exit 0
