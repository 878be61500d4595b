"""Where the window comes up and what is saved, under a window manager: the
frame it adds is what sets the saved and the restored position apart."""
import os
import re
import subprocess

import pytest

from sound import wait_for
from station import WIDEN

NARROW, WIDE = 165, 290  # the frame's outer widths


class Openbox:
    """It decorates the windows mapped once it has announced itself on the
    root window; its session and cache files stay in the run's directory."""

    def __init__(self, run):
        env = dict(os.environ, DISPLAY=run.x.display, HOME=run.dir)
        for name in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME"):
            env.pop(name, None)
        with open(os.path.join(run.dir, "openbox.log"), "w") as log:
            self.proc = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=log,
                                         stderr=log)
        self.display = run.x.display
        assert wait_for(lambda: "window id" in self.output(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 10), "openbox did not take over"

    def output(self, *command):
        return subprocess.run([command[0], "-display", self.display, *command[1:]],
                              capture_output=True, text=True, timeout=20).stdout

    def frame(self, window):
        """(x, y, width, height) of the frame drawn around the window: the
        client's absolute place (xdotool adds the client's offset in the frame
        once more) grown by the frame's extents; None if none."""
        info = self.output("xwininfo", "-wm", "-stats", "-id", window)
        extents = re.search(r"Frame extents: (\d+), (\d+), (\d+), (\d+)", info)
        place = [re.search(pattern + r":\s+(-?\d+)", info) for pattern in
                 ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
        if not extents or int(extents[3]) == 0 or not all(place):
            return None
        left, right, top, bottom = map(int, extents.groups())
        x, y, w, h = (int(m[1]) for m in place)
        return x - left, y - top, w + left + right, h + top + bottom

    def settled_frame(self, window, width=NARROW):
        """The program sets its width once the frame's is known and corrects
        its first placement once framed: the frame at that width, the same
        twice in a row (a busy machine shows it between the two moves)."""
        seen = [None]
        wait_for(lambda: seen.append(self.frame(window)) or
                 (seen[-1] and seen[-1][2] == width and seen[-1] == seen[-2]), 10, 0.1)
        return seen[-1]


@pytest.fixture
def openbox(run):
    wm = Openbox(run)
    yield wm
    wm.proc.terminate()
    wm.proc.wait()


def start_and_end(station, openbox, widen=False):
    """The frame the window had and the place it saved at SIGTERM; widened
    and narrowed again on the way if asked, which keeps the frame's corner."""
    frame = openbox.settled_frame(station.start().window)
    assert frame, "the window manager never framed the window"
    if widen:
        station.click(WIDEN)
        wide = openbox.settled_frame(station.window, WIDE)
        assert wide and wide[:3] == (*frame[:2], WIDE), "it does not grow to the right"
        station.click(WIDEN)
        assert openbox.settled_frame(station.window)[:3] == frame[:3]
    station.end()
    text = station.settings().split("[Ports]")[0]
    return frame, tuple(int(m[1]) if m else None for m in
                        (re.search(rf"^{k}=(-?\d+)$", text, re.M) for k in "XY"))


def test_ten_restarts_keep_the_saved_place_and_the_narrow_width_and_widen_in_place(run, openbox):
    station = run.station(x=200, y=150, port="")
    trail = [start_and_end(station, openbox, widen=n == 0) for n in range(10)]
    print("frames and saved places:", trail)
    # The stored X and Y are the frame's corner, as they are saved.
    assert all(frame[:3] == (200, 150, NARROW) and saved == (200, 150)
               for frame, saved in trail), trail


def test_a_stored_x_of_int_max_starts_on_the_screen_and_saves_a_place_on_it(run, openbox):
    station = run.station(x=2**31 - 1, y=40, port="")
    (x, y, w, h), saved = start_and_end(station, openbox)
    assert 0 <= x and x + w <= 800 and 0 <= y and y + h <= 600, (x, y, w, h)
    # The coordinate that was on the screen is kept, and what is saved is
    # where the window was, and it comes back there.
    assert y == 40 and saved == (x, y)
    frame, again = start_and_end(station, openbox)
    assert frame[:2] == (x, y) and again == saved
