#!/usr/bin/env python3
"""Makes the demo's sounds: short effects as 16-bit mono WAV files and the music as a
standard MIDI file (standard library only).

Run from anywhere: python3 examples/demo/art/make_sounds.py
Every sample is computed from tones and envelopes, so the output is the same on every machine.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SOUNDS = os.path.join(os.path.dirname(HERE), "sounds")
RATE = 22050


def write_wav(name, samples):
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(round(s * 32767))))) for s in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(data))
    with open(os.path.join(SOUNDS, name), "wb") as f:
        f.write(header + data)


def tone(seconds, freq, decay, level, partials=((1, 1.0),), square=False, attack=0.003):
    """A tone whose frequency may glide: freq is a function of time in seconds."""
    out = []
    phase = 0.0
    for i in range(int(seconds * RATE)):
        t = i / RATE
        phase += freq(t) / RATE
        value = 0.0
        for multiple, weight in partials:
            wave = math.sin(2 * math.pi * phase * multiple)
            if square:
                wave = max(-1.0, min(1.0, wave * 4))
            value += weight * wave
        envelope = min(1.0, t / attack) * math.exp(-t / decay)
        # The last 5 ms fade out so no sound ends with a click.
        envelope *= min(1.0, (seconds - t) / 0.005)
        out.append(level * envelope * value)
    return out


def mix(*parts):
    """parts: (start seconds, samples)."""
    length = max(int(start * RATE) + len(s) for start, s in parts)
    out = [0.0] * length
    for start, s in parts:
        at = int(start * RATE)
        for i, v in enumerate(s):
            out[at + i] += v
    return out


def effects():
    # Paddle: a soft square blip rising a fifth.
    write_wav("paddle.wav", tone(0.09, lambda t: 440 + 2400 * t, 0.04, 0.5, square=True))
    # Wall: a short high tick.
    write_wav("wall.wav", tone(0.05, lambda t: 1250, 0.012, 0.45, ((1, 1.0), (2.7, 0.3))))
    # Brick: a bright two-partial chime.
    write_wav("brick.wav", tone(0.25, lambda t: 988, 0.07, 0.35, ((1, 1.0), (1.5, 0.5), (3, 0.2))))
    # Ball lost: a tone falling two octaves.
    write_wav("lose.wav", tone(0.7, lambda t: 440 * 2 ** (-3 * t), 0.35, 0.5, ((1, 1.0), (2, 0.3))))
    # Won: a rising major arpeggio ending on a held chord.
    notes = [523.25, 659.25, 783.99, 1046.5]
    parts = [(0.12 * i, tone(0.9 - 0.12 * i, lambda t, f=f: f, 0.3, 0.22, ((1, 1.0), (2, 0.25))))
             for i, f in enumerate(notes)]
    write_wav("win.wav", mix(*parts))


def var_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def music():
    """Eight bars at 112 beats a minute: a bass line (channel 0) under a bell melody
    (channel 1), written so the end leads back to the start when it loops."""
    tpq = 480
    events = []  # (tick, order, bytes)
    events.append((0, 0, b"\xff\x51\x03" + (60000000 // 112).to_bytes(3, "big")))
    events.append((0, 0, bytes((0xC0, 33))))  # fingered bass
    events.append((0, 0, bytes((0xC1, 11))))  # vibraphone
    events.append((0, 0, bytes((0xB0, 7, 90))))
    events.append((0, 0, bytes((0xB1, 7, 70))))

    def note(channel, start, length, key, velocity):
        events.append((start, 2, bytes((0x90 | channel, key, velocity))))
        events.append((start + length, 1, bytes((0x80 | channel, key, 0))))

    roots = [45, 41, 43, 40, 45, 41, 43, 44]  # A F G E, A F G G#
    for bar, root in enumerate(roots):
        for beat in range(4):
            key = root + (12 if beat % 2 else 0)
            note(0, (bar * 4 + beat) * tpq, tpq - 60, key, 96)
    melody = [76, 72, 69, 72, 77, 72, 69, 72, 79, 74, 71, 74, 76, 71, 68, 71,
              76, 72, 69, 72, 77, 76, 74, 72, 74, 71, 67, 71, 76, 74, 71, 68]
    for i, key in enumerate(melody):
        note(1, i * tpq, tpq - 40, key, 84)
    end = 32 * tpq
    events.sort(key=lambda e: (e[0], e[1]))
    track = bytearray()
    now = 0
    for tick, _, data in events:
        track += var_length(tick - now) + data
        now = tick
    track += var_length(end - now) + b"\xff\x2f\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, tpq)
    with open(os.path.join(SOUNDS, "music.mid"), "wb") as f:
        f.write(header + b"MTrk" + struct.pack(">I", len(track)) + track)


if __name__ == "__main__":
    os.makedirs(SOUNDS, exist_ok=True)
    effects()
    music()
