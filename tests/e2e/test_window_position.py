"""Where the window comes up and what is saved, under a window manager's frame."""
import os
import re
import subprocess

import pytest

from sound import wait_for
from station import WIDEN

NARROW, WIDE = 165, 290  # the frame's outer widths


def frame_of(display, window):
    """(x, y, width, height) of the frame: the client's absolute place (xdotool adds its
    offset in the frame once more) grown by the frame's extents; None if none."""
    info = subprocess.run(["xwininfo", "-display", display, "-wm", "-stats", "-id", window],
                          capture_output=True, text=True, timeout=20).stdout
    extents = re.search(r"Frame extents: (\d+), (\d+), (\d+), (\d+)", info)
    place = [re.search(pattern + r":\s+(-?\d+)", info) for pattern in
             ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
    if not extents or int(extents[3]) == 0 or not all(place):
        return None
    left, right, top, bottom = map(int, extents.groups())
    x, y, w, h = (int(m[1]) for m in place)
    return x - left, y - top, w + left + right, h + top + bottom


@pytest.fixture
def settled_frame(run):
    """Openbox, which frames the windows mapped once it is announced on the root window.
    The program sets its width once the frame's is known and corrects its first place
    once framed: the frame at that width, the same twice (busy, it shows in between)."""
    env = {k: v for k, v in os.environ.items() if k not in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME")}
    env.update(DISPLAY=run.x.display, HOME=run.dir)
    with open(os.path.join(run.dir, "openbox.log"), "w") as log:
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=log, stderr=log)
    assert wait_for(lambda: "window id" in subprocess.run(
        ["xprop", "-display", run.x.display, "-root", "_NET_SUPPORTING_WM_CHECK"],
        capture_output=True, text=True, timeout=20).stdout, 10), "openbox did not take over"

    def settled(window, width=NARROW):
        seen = [None]
        wait_for(lambda: seen.append(frame_of(run.x.display, window)) or
                 (seen[-1] and seen[-1][2] == width and seen[-1] == seen[-2]), 10, 0.1)
        return seen[-1]
    yield settled
    wm.terminate()
    wm.wait()


def start_and_end(station, settled_frame, widen=False):
    """The frame the window had and the place it saved at SIGTERM; widened
    and narrowed again on the way if asked, which keeps the frame's corner."""
    frame = settled_frame(station.start().window)
    assert frame, "the window manager never framed the window"
    if widen:
        station.click(WIDEN)
        wide = settled_frame(station.window, WIDE)
        assert wide and wide[:3] == (*frame[:2], WIDE), "it does not grow to the right"
        station.click(WIDEN)
        assert settled_frame(station.window)[:3] == frame[:3]
    station.end()
    text = station.settings().split("[Ports]")[0]
    return frame, tuple(int(m[1]) if m else None for m in
                        (re.search(rf"^{k}=(-?\d+)$", text, re.M) for k in "XY"))


def test_restarts_keep_the_place_and_the_width_and_an_x_off_the_screen_comes_on(run,
                                                                               settled_frame):
    station = run.station(x=200, y=150, port="")
    trail = [start_and_end(station, settled_frame, widen=n == 0) for n in range(10)]
    print("frames and saved places:", trail)
    # The stored X and Y are the frame's corner, as they are saved.
    assert all(frame[:3] == (200, 150, NARROW) and saved == (200, 150)
               for frame, saved in trail), trail

    # A stored X of INT_MAX comes on the screen, Y kept, saves that place and comes back there.
    station = run.station("far", x=2**31 - 1, y=40, port="")
    (x, y, w, h), saved = start_and_end(station, settled_frame)
    assert 0 <= x and x + w <= 800 and 0 <= y and y + h <= 600, (x, y, w, h)
    assert y == 40 and saved == (x, y)
    frame, again = start_and_end(station, settled_frame)
    assert frame[:2] == (x, y) and again == saved
