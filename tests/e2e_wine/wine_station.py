"""The pieces of the Wine end-to-end tests: the program in a directory of its
own, the inspector, X input, the null sink's recording and the PTT lines of
COM1, all on CLOCK_MONOTONIC_RAW (the clock of Wine's performance counter)."""
import array
import math
import os
import subprocess
import threading
import time
import wave

RATE = 48000
START_HZ, BODY_HZ, END_HZ = 2000.0, 1000.0, 3000.0
MARKER_S = 0.050
AUDIBLE = 0.05
# The null sink renders about one block ahead of its clock.
RENDER_AHEAD_NS = 2_500_000
MAIN_TITLE = "=Zivsound"
FILES_TITLE = "=ZIV Sound   WAV failai"


def now_ns():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW)


def marked_tone(body_s, body_hz=BODY_HZ):
    """A 2 kHz start marker, the body's tone and a 3 kHz end marker, 16-bit
    mono: a sound is heard whole when both markers are found at its ends."""
    frames = array.array("h")
    for hz, seconds in ((START_HZ, MARKER_S), (body_hz, body_s), (END_HZ, MARKER_S)):
        for i in range(round(seconds * RATE)):
            frames.append(round(16384 * math.sin(2 * math.pi * hz * i / RATE)))
    return frames


def write_marked_message(path, body_s):
    """A marked message with a 1 kHz body."""
    frames = marked_tone(body_s)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames.tobytes())
    return len(frames) / RATE


def play_into_sink(frames, lead_s, path, sink="ziv_e2e"):
    """Starts playing 16-bit mono frames after lead_s of silence into the
    sink, as a microphone would hear them there (path keeps the raw sound);
    the process ends once they have been played."""
    with open(path, "wb") as f:
        f.write(bytes(2 * round(lead_s * RATE)) + frames.tobytes())
    with open(path, "rb") as f:
        return subprocess.Popen(["pacat", "--playback", "--raw", "-d", sink, "--format=s16le",
                                 f"--rate={RATE}", "--channels=1", "--latency-msec=20",
                                 "--client-name=microphone"], stdin=f)


def zero_crossing_hz(samples, rate=RATE):
    """The frequency of a steady tone from its sign changes."""
    crossings = sum(1 for a, b in zip(samples, samples[1:]) if (a < 0) != (b < 0))
    return crossings / 2 / (len(samples) / rate)


def power_at(samples, hz):
    coefficient = 2 * math.cos(2 * math.pi * hz / RATE)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + coefficient * s1 - s2, s1
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2


def dominant(samples, hz):
    wanted = power_at(samples, hz)
    return wanted > 0 and all(
        power_at(samples, other) * 4 <= wanted for other in (START_HZ, BODY_HZ, END_HZ) if other != hz
    )


class Sound:
    def __init__(self, start_ns, end_ns, whole, span=None):
        self.start_ns, self.end_ns, self.whole = start_ns, end_ns, whole
        # Its first and one past its last sample in the sink's recording.
        self.span = span

    @property
    def seconds(self):
        return (self.end_ns - self.start_ns) / 1e9


class Sink:
    """Records the null sink's monitor, each read dated on arrival."""

    def __init__(self, sink="ziv_e2e"):
        self.samples = array.array("f")
        self.stamps = []  # (samples so far, ns when they arrived)
        self.proc = subprocess.Popen(
            ["parec", "-d", sink + ".monitor", "--raw", "--format=float32le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=5"], stdout=subprocess.PIPE)
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        deadline = time.time() + 5
        while len(self.samples) < RATE // 10 and time.time() < deadline:
            time.sleep(0.05)

    def _read(self):
        pending = b""
        fd = self.proc.stdout.fileno()
        while True:
            data = os.read(fd, 8192)
            stamp = now_ns()
            if not data:
                return
            pending += data
            whole = len(pending) // 4 * 4
            with self.lock:
                self.samples.frombytes(pending[:whole])
                self.stamps.append((len(self.samples), stamp))
            pending = pending[whole:]

    def stop(self):
        self.proc.terminate()
        self.proc.wait()

    def mark(self):
        with self.lock:
            return len(self.samples)

    def _time_of(self, i):
        for total, stamp in self.stamps:
            if total > i:
                return stamp - round((total - 1 - i) * 1e9 / RATE) + RENDER_AHEAD_NS
        return None

    def sounds(self, since=0, split_s=0.020):
        with self.lock:
            samples = self.samples[since:]
        split = round(split_s * RATE)
        window = round(0.040 * RATE)
        found, i, n = [], 0, len(samples)
        while i < n:
            if abs(samples[i]) < AUDIBLE:
                i += 1
                continue
            start = last = i
            while i < n and i - last < split:
                if abs(samples[i]) >= AUDIBLE:
                    last = i
                i += 1
            whole = (last - start > 2 * window and dominant(samples[start:start + window], START_HZ)
                     and dominant(samples[last + 1 - window:last + 1], END_HZ))
            found.append(Sound(self._time_of(since + start), self._time_of(since + last + 1), whole,
                               (since + start, since + last + 1)))
        return found

    def samples_of(self, sound):
        with self.lock:
            return self.samples[sound.span[0]:sound.span[1]]


class Port:
    """COM1: a file the serial double serves, and its log of the lines."""

    def __init__(self, path):
        self.path, self.log = path, os.path.join(os.path.dirname(path), "lines.log")

    def reset(self):
        """A device as new, with an empty log (no program has it open)."""
        open(self.log, "w").close()
        if os.path.exists(self.path + ".state"):
            os.remove(self.path + ".state")

    def events(self):
        """(ns, event, rts, dtr), oldest first. The double logs on
        CLOCK_MONOTONIC, which differs from these tests' clock by an offset
        that only NTP's slewing moves (parts per million), taken here."""
        pairs = []
        for _ in range(5):
            before = now_ns()
            mono = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
            after = now_ns()
            pairs.append((after - before, (before + after) // 2 - mono))
        offset = min(pairs)[1]
        events = []
        for line in open(self.log):
            ns, _, event, rts, dtr, _ = line.split()
            events.append((int(ns) + offset, event, rts == "rts=1", dtr == "dtr=1"))
        return sorted(events)


def keyed_spans(events, line, inverted):
    """The times the PTT line sat keyed, as [key_ns, unkey_ns or None,
    at_open]: at_open when the port's opening keyed it (the open itself, or
    the program setting the port up in the 0.5 s after it, sooner than any
    send of these tests)."""
    spans, keyed, opened = [], False, None
    for ns, event, rts, dtr in events:
        opened = ns if event == "open" else opened
        now = (rts if line == "RTS" else dtr) != inverted
        if now and not keyed:
            spans.append([ns, None, opened is not None and ns - opened < 500_000_000])
        elif keyed and not now:
            spans[-1][1] = ns
        keyed = now
    return spans


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
        out = subprocess.run(["xdotool", "search", "--name", pattern],
                             capture_output=True, text=True).stdout.split()
        return out[-1] if out else None

    def key(self, keys, title=MAIN_TITLE):
        """Focus, a click on a point that takes none (without a window
        manager Wine activates a window only on a click), then the keys.
        Returns the time after xdotool returned (the key was sent)."""
        window, _ = self.show(title)
        cx, cy = (int(v) for v in window["client"].split(","))
        subprocess.run(["xdotool", "windowfocus", self.xwindow(title), "mousemove", str(cx + 141),
                        str(cy + 40), "click", "1"], check=True, timeout=10)
        # The key goes out somewhere between these two times.
        self.key_before_ns = now_ns()
        subprocess.run(["xdotool", "key", "--clearmodifiers", keys], check=True, timeout=10)
        return now_ns()

    def click_child(self, child, title=MAIN_TITLE, across=0.5, down=0.5):
        """A click on a child, at a point given as fractions of its size."""
        window, _ = self.show(title)
        cx, cy = (int(v) for v in window["client"].split(","))
        l, t, r, b = (int(v) for v in child["rect"].split(","))
        x, y = cx + l + int((r - l) * across), cy + t + int((b - t) * down)
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True,
                       timeout=10)


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
