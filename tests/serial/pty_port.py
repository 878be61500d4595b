#!/usr/bin/env python3
"""A pseudo-terminal that stands in for a serial port of the Windows tests.

    pty_port.py start LINK   links LINK to a pty's slave and leaves a process
                             holding the master (its pid in LINK.pid)
    pty_port.py stop LINK    ends that process and removes LINK
"""
import contextlib
import os
import pty
import signal
import sys
import tty

if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
    sys.exit(__doc__)
link = sys.argv[2]
with contextlib.suppress(OSError, ValueError), open(link + ".pid") as pid_file:
    os.kill(int(pid_file.read()), signal.SIGTERM)
for path in (link, link + ".pid"):
    with contextlib.suppress(OSError):
        os.unlink(path)
if sys.argv[1] == "start":
    master, slave = pty.openpty()
    tty.setraw(slave)
    os.symlink(os.ttyname(slave), link)
    os.close(slave)
    if child := os.fork():
        with open(link + ".pid", "w") as pid_file:
            pid_file.write(str(child))
        sys.exit()
    os.setsid()
    # Nothing of the caller's but the master: ctest waits for its pipes.
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    os.closerange(3, master)
    os.closerange(master + 1, 4096)
    while True:
        signal.pause()
