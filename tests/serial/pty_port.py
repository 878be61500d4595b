#!/usr/bin/env python3
"""A pseudo-terminal that stands in for a serial port of the Windows tests.

    pty_port.py start LINK   opens a pty, links LINK to its slave and leaves
                             a process holding the master (pid in LINK.pid)
    pty_port.py stop LINK    ends that process and removes LINK
"""
import os
import pty
import signal
import sys
import tty


def start(link):
    stop(link)
    master, slave = pty.openpty()
    tty.setraw(slave)
    os.symlink(os.ttyname(slave), link)
    os.close(slave)
    child = os.fork()
    if child != 0:
        with open(link + ".pid", "w") as pid_file:
            pid_file.write(str(child))
        return
    os.setsid()
    # Nothing of the caller's but the master: ctest waits for its pipes.
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    os.closerange(3, master)
    os.closerange(master + 1, 4096)
    while True:
        signal.pause()


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
