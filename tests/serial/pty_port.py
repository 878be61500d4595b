#!/usr/bin/env python3
"""A pseudo-terminal that stands in for a serial port of the Windows tests.

    pty_port.py start LINK   opens a pty, links LINK to its slave and leaves
                             a process holding the master (pid in LINK.pid)
    pty_port.py stop LINK    ends that process and removes LINK

The process answers every byte it reads from the master with one byte, so
a test that writes to the port receives data (a real line event).
"""
import os
import pty
import signal
import sys
import time
import tty


def start(link):
    stop(link)
    master, slave = pty.openpty()
    # Raw: no echo and no line editing, so one byte is one received byte.
    tty.setraw(slave)
    slave_path = os.ttyname(slave)
    os.close(slave)
    os.symlink(slave_path, link)
    child = os.fork()
    if child != 0:
        with open(link + ".pid", "w") as pid_file:
            pid_file.write(str(child))
        return
    os.setsid()
    # Nothing of the caller's: ctest waits for its pipes to close.
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    os.closerange(3, master)
    os.closerange(master + 1, 4096)
    while True:
        try:
            data = os.read(master, 256)
        except OSError:
            # While no slave is open the master reads EIO at once.
            time.sleep(0.01)
            continue
        if data:
            os.write(master, b"!" * len(data))


def stop(link):
    try:
        with open(link + ".pid") as pid_file:
            os.kill(int(pid_file.read()), signal.SIGTERM)
    except (OSError, ValueError):
        pass
    for path in (link, link + ".pid"):
        try:
            os.unlink(path)
        except OSError:
            pass


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(__doc__)
    (start if sys.argv[1] == "start" else stop)(sys.argv[2])
