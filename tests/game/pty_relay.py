#!/usr/bin/env python3
"""Joins two pseudo-terminals as a null-modem cable: what one end writes, the other reads.

Usage: pty_relay.py NAMES_FILE SECONDS. Writes the two terminal paths to NAMES_FILE, one a
line, then relays for at most SECONDS (or until it is stopped).
"""
import os
import select
import sys
import time
import tty


def main() -> int:
    ends = [os.openpty(), os.openpty()]
    for _, slave in ends:
        tty.setraw(slave)
    with open(sys.argv[1] + ".tmp", "w") as names:
        names.write("".join(os.ttyname(slave) + "\n" for _, slave in ends))
    os.rename(sys.argv[1] + ".tmp", sys.argv[1])
    masters = [master for master, _ in ends]
    stop = time.monotonic() + float(sys.argv[2])
    while time.monotonic() < stop:
        ready, _, _ = select.select(masters, [], [], 0.2)
        for fd in ready:
            try:
                data = os.read(fd, 65536)
            except OSError:
                continue
            os.write(masters[1] if fd == masters[0] else masters[0], data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
