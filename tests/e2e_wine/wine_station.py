"""The Wine flavour of the end-to-end harness (tests/e2e/harness): the
program in a directory of its own, its windows reached through the inspector
and X, and screenshots of them."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../e2e/harness"))
import desk  # noqa: E402
from lines import now_ns  # noqa: E402

MAIN_TITLE = "=Zivsound"
FILES_TITLE = "=ZIV Sound   WAV failai"


class Station:
    """One ZIVSound.exe in a directory of its own, with the X server and the
    inspector to reach its windows."""

    def __init__(self, build, directory):
        self.build, self.dir = build, directory
        self.proc = None
        self.inspector = os.path.join(build, "tests/e2e_wine/ziv_inspect.exe")
        os.makedirs(directory, exist_ok=True)
        exe = os.path.join(build, "src/ui_win32/ZIVSound.exe")
        target = os.path.join(directory, "ZIVSound.exe")
        if not os.path.exists(target):
            os.link(exe, target) if os.stat(exe).st_dev == os.stat(directory).st_dev else \
                subprocess.run(["cp", exe, target], check=True)

    @property
    def ini(self):
        return os.path.join(self.dir, "ZIVSound.ini")

    def wine_path(self, name):
        return "Z:" + os.path.join(self.dir, name)

    def start(self):
        log = open(os.path.join(self.dir, "stderr.txt"), "ab")
        self.proc = subprocess.Popen(["wine", "./ZIVSound.exe"], cwd=self.dir, stdout=log,
                                     stderr=log)
        # An inspector started together with the program now and then
        # gives up at once; a second look settles it.
        return any(self.inspect("wait", MAIN_TITLE, "15000").returncode == 0 for _ in range(3))

    def wait_exit(self, seconds):
        try:
            return self.proc.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def inspect(self, *args):
        """A hung target must not hang the tests: each look has 30 s."""
        try:
            return subprocess.run(["wine", self.inspector, *args], capture_output=True,
                                  timeout=30)
        except subprocess.TimeoutExpired:
            return subprocess.CompletedProcess(args, 124, b"", b"timed out")

    def show(self, title=MAIN_TITLE):
        """The window as a dict and its children as a list of dicts."""
        out = self.inspect("show", title).stdout.decode("utf-8")
        window, children = None, []
        for line in out.splitlines():
            fields = line.split("\t")
            attrs = dict(f.split("=", 1) for f in fields[2:] if "=" in f)
            if fields[0] == "window":
                window = dict(attrs, title=fields[1])
            elif fields[0] == "child":
                children.append(dict(attrs, cls=fields[1], text=fields[2]))
        return window, children

    def xwindow(self, title=MAIN_TITLE):
        # "=text" is the whole title; anything else is its start here (the
        # main window's title grows while a message is recorded).
        pattern = "^" + title.lstrip("=") + ("$" if title.startswith("=") else "")
        out = desk.xdo(os.environ["DISPLAY"], "search", "--name", pattern).split()
        return out[-1] if out else None

    def key(self, keys, title=MAIN_TITLE):
        """Focus, a click on a point that takes none (without a window
        manager Wine activates a window only on a click), then the keys.
        Returns the time after xdotool returned (the key was sent)."""
        window, _ = self.show(title)
        cx, cy = (int(v) for v in window["client"].split(","))
        # The key goes out somewhere between these two times.
        self.key_before_ns = desk.key(os.environ["DISPLAY"], self.xwindow(title), keys, cx + 141,
                                      cy + 40, click=True, absolute=True)
        return now_ns()

    def click_child(self, child, title=MAIN_TITLE, across=0.5, down=0.5):
        """A click on a child, at a point given as fractions of its size."""
        window, _ = self.show(title)
        cx, cy = (int(v) for v in window["client"].split(","))
        l, t, r, b = (int(v) for v in child["rect"].split(","))
        x, y = cx + l + int((r - l) * across), cy + t + int((b - t) * down)
        desk.xdo(os.environ["DISPLAY"], "mousemove", x, y, "click", "1")


# ImageMagick's own convert: /usr/local/bin may hold a stand-in.
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"


def screenshot(path, window):
    """The window's client area on the X screen as PNG (the frame is a
    window manager's, and these tests run without one)."""
    left, top = (int(v) for v in window["client"].split(","))
    width, height = (int(v) for v in window["size"].split(","))
    xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True).stdout
    subprocess.run([CONVERT, "xwd:-", "-crop", f"{width}x{height}+{left}+{top}", "+repage", path],
                   input=xwd, check=True)


def black_square(path, side=6):
    """The top-left corner of a side x side square of black in the picture,
    or None: text and the glyphs are drawn with thinner strokes."""
    width, height = (int(v) for v in subprocess.run(
        [CONVERT, path, "-format", "%w %h", "info:"], capture_output=True, text=True,
        check=True).stdout.split())
    rgb = subprocess.run([CONVERT, path, "-depth", "8", "rgb:-"], capture_output=True,
                         check=True).stdout
    down = [0] * width  # black pixels from each column's pixel on this row upwards
    for y in range(height):
        across = 0
        for x in range(width):
            i = 3 * (y * width + x)
            down[x] = down[x] + 1 if max(rgb[i:i + 3]) < 16 else 0
            across = across + 1 if down[x] >= side else 0
            if across >= side:
                return x - side + 1, y - side + 1
    return None
