"""The operator's side: an X server of the run's own and xdotool's input."""
import os
import subprocess
import time

from lines import now_ns

SCREEN = (800, 600)


def xdo(display, *args):  # a hung X server must not hang the tests
    try:
        return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                              timeout=20, env=dict(os.environ, DISPLAY=display)).stdout
    except subprocess.TimeoutExpired:
        return ""


class XServer:
    """Xvfb on a display it picks, with -noreset (README.md says why)."""

    def __init__(self, directory):
        path = os.path.join(directory, "display")
        with open(path, "w") as fd, open(os.path.join(directory, "xvfb.log"), "w") as log:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(fd.fileno()), "-screen", "0", "%dx%dx24" % SCREEN,
                 "-nolisten", "tcp", "-noreset"], pass_fds=[fd.fileno()], stderr=log)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            number = open(path).read()
            if number.endswith("\n"):
                self.display = ":" + number.strip()
                # A client that got through proves it ready.
                if xdo(self.display, "getdisplaygeometry").startswith("%d %d" % SCREEN):
                    return
            time.sleep(0.02)
        raise RuntimeError("Xvfb did not start")

    def xdo(self, *args):
        return xdo(self.display, *args)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def geometry(display, window):  # x, y, width, height as xdotool gives them
    g = dict(line.split("=", 1) for line in
             xdo(display, "getwindowgeometry", "--shell", window).split() if "=" in line)
    return tuple(int(g.get(k, 0)) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def key(display, window, keys, x, y, click=False, absolute=False):
    """Keys to a window, given the focus and the pointer (at x, y, which takes no click)
    first: without a window manager the keyboard follows the pointer; Wine activates a
    window only on a click, and a key that comes while it does may be lost. No --sync: it
    can wait for nothing. The time before the keys."""
    xdo(display, "windowfocus", window, "mousemove", *([] if absolute else ["--window", window]),
        x, y, *(["click", "1"] if click else []))
    if click:
        time.sleep(0.2)
    before = now_ns()
    xdo(display, "key", "--clearmodifiers", keys)
    return before


def click(display, window, x, y):
    xdo(display, "mousemove", "--window", window, x, y, "click", "1")


def drag(display, window, start, end):
    xdo(display, "mousemove", "--window", window, *start, "mousedown", "1")
    time.sleep(0.05)
    xdo(display, "mousemove", "--window", window, *end)
    time.sleep(0.05)
    xdo(display, "mouseup", "1")
