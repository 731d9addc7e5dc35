#!/usr/bin/env python3
"""Writes session.txt, the recorded input that `make demo` and the demo's game test replay.

Usage: python3 examples/demo/session/make_session.py KESTRIN

The session presses Space on the title and then steers the paddle with the arrow keys so
that it meets the ball, for about forty seconds; after that it lets the remaining balls
fall, waits on the game-over room and presses Escape.

The steering is found by playing the game. A copy of the project built with the constant
TELEMETRY set to 1 prints the ball and paddle positions every step (printing changes
nothing in the game's state, so the real game takes the same path). After each run, the
first ball lost is traced back to the step at which it crossed the paddle's line, and a
key press that brings the paddle there is added; then the game is played again from the
start, until no ball is lost before the steering stops.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
SEED = 7
TITLE_SPACE = 30       # replay step at which Space is pressed on the title
STEER_UNTIL = 2400     # the paddle follows the ball until this step
LIMIT = 5000           # steps played by each trial run
PADDLE_SPEED = 8       # pixels per step (the game's PADDLE_SPEED)
CONTACT_Y = 422        # ball y from which one more step reaches the paddle
VK_LEFT, VK_RIGHT, VK_SPACE, VK_ESCAPE = 37, 39, 32, 27
# Where on the paddle to take the ball, in turn, so that it leaves at varied angles.
AIMS = [-22, 18, -34, 8, 30, -12, 26, -4, -30, 14]
# Telemetry steps count the game's steps; a replay step is one more.
REPLAY_OFFSET = 1


def build_telemetry_game(kestrin, work):
    project = os.path.join(work, "project")
    shutil.copytree(PROJECT, project, ignore=shutil.ignore_patterns("session", "art"))
    manifest = os.path.join(project, "game.json")
    with open(manifest) as f:
        game = json.load(f)
    for constant in game["constants"]:
        if constant["name"] == "TELEMETRY":
            constant["value"] = "1"
    with open(manifest, "w") as f:
        json.dump(game, f)
    out = os.path.join(work, "game")
    subprocess.run([kestrin, "build", project, "-o", out, "--data-only"], check=True)
    return out


def session_text(events, escape):
    lines = ["kestrin-input 1", "seed %d" % SEED,
             "# Made by make_session.py: Space on the title, the paddle steered to the ball,",
             "# then the last balls fall and Escape ends the game on the game-over room."]
    for step in sorted(events):
        lines.append("%d %s" % (step, ";".join(events[step])))
    if escape is not None:
        lines.append("%d key_down %d" % (escape, VK_ESCAPE))
    return "\n".join(lines) + "\n"


def play(kestrin, game, events, work):
    path = os.path.join(work, "input.txt")
    with open(path, "w") as f:
        f.write(session_text(events, None))
    run = subprocess.run([kestrin, "run", "--headless", "--fast", "--frames", str(LIMIT), "--input", path, game],
                         capture_output=True, text=True, check=True)
    rows, losses, over = {}, [], None
    for line in run.stdout.splitlines():
        m = re.match(r"^t (\d+) (\S+) (\S+) (\S+) (\S+) (\d)$", line)
        if m:
            rows[int(m.group(1))] = tuple(float(v) for v in m.groups()[1:5]) + (int(m.group(6)),)
        elif re.match(r"^lost \d+$", line):
            losses.append(int(line.split()[1]))
        elif re.match(r"^over \d+$", line):
            over = int(line.split()[1])
    return rows, losses, over


def add(events, step, event):
    events.setdefault(step, []).append(event)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    kestrin = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp()
    try:
        game = build_telemetry_game(kestrin, work)
        events = {}
        add(events, TITLE_SPACE, "key_down %d" % VK_SPACE)
        add(events, TITLE_SPACE + 2, "key_up %d" % VK_SPACE)
        settled = 0   # telemetry steps up to here are final
        aim = 0
        for _ in range(200):
            rows, losses, over = play(kestrin, game, events, work)
            pending = [s for s in losses if s > settled and s < STEER_UNTIL]
            if not pending:
                break
            lost = pending[0]
            flying = [s for s in rows if settled < s < lost and rows[s][4] == 0 and rows[s][1] <= CONTACT_Y]
            if not flying:
                settled = lost
                continue
            cross = max(flying)
            # The path from the last time the ball left the paddle (or was served) up to
            # the crossing does not depend on the paddle: steering may start there.
            left_paddle = [s for s in rows if s < cross and (rows[s][4] == 1 or (
                s - 1 in rows and rows[s - 1][2] > 0 and rows[s][2] < 0 and rows[s][1] >= CONTACT_Y - 20))]
            start = max(left_paddle + [settled]) + 1
            bx, _, _, _, _ = rows[cross]
            paddle = rows[start][3]
            target = min(max(bx + AIMS[aim % len(AIMS)], 64), 576)
            aim += 1
            steps = min(int(round(abs(target - paddle) / PADDLE_SPEED)), cross - start)
            if steps > 0:
                key = VK_RIGHT if target > paddle else VK_LEFT
                add(events, start + REPLAY_OFFSET, "key_down %d" % key)
                add(events, start + REPLAY_OFFSET + steps, "key_up %d" % key)
            settled = cross + 1
        if over is None:
            sys.exit("the game did not reach the game-over room within %d steps" % LIMIT)
        escape = over + REPLAY_OFFSET + 150
        with open(os.path.join(HERE, "session.txt"), "w") as f:
            f.write(session_text(events, escape))
        print("session.txt: %d input steps, game over at step %d, Escape at step %d"
              % (len(events), over + REPLAY_OFFSET, escape))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
