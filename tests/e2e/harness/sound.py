"""A sound server of the run's own, its null sink recorded on the line log's clock,
and messages whose clipping shows (2 kHz and 3 kHz markers around the body)."""
import os
import signal
import subprocess
import threading
import time
import wave

import numpy as np

from lines import now_ns

RATE = 48000
SINK = "ziv_e2e"
START_HZ, BODY_HZ, END_HZ = 2000.0, 1000.0, 3000.0
AUDIBLE = 0.05


def wait_for(condition, seconds, step=0.02):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(step)
    return True


def quiet_env():  # only the program and Wine need the serial double
    return {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}


class PulseServer:
    """Set up as README.md says, for every client this process starts. Real-time where it
    may (root): a sink thread starved by a busy machine broke the streams under Wine up."""
    render_ahead_ns = 2_500_000  # one block of the null sink, with the keep-alive

    def __init__(self, directory):
        d = self.dir = os.path.join(directory, "pulse")
        self.prepare(d, PULSE_SERVER=f"unix:{d}/native", PULSE_CLIENTCONFIG=d + "/client.conf",
                     PULSE_RUNTIME_PATH=d + "/run/pulse", PULSE_STATE_PATH=d + "/state")
        with open(d + "/server.pa", "w") as f:
            f.write(f"load-module module-native-protocol-unix auth-anonymous=1 socket={d}/native\n")
        with open(d + "/client.conf", "w") as f:
            f.write("autospawn = no\n")
        self.procs = [self.spawn(
            ["pulseaudio", "-n", "-F", d + "/server.pa", "--daemonize=no", "--exit-idle-time=-1",
             "--use-pid-file=no", "--system=false", f"--log-target=file:{d}/server.log",
             "--realtime=yes", "--high-priority=yes"])]
        self.ready()

    def prepare(self, d, **pulse):  # the server's folder and environment, `pulse` for all
        os.makedirs(d + "/run", mode=0o700)
        for var in ("PULSE_SINK", "PULSE_SOURCE", "PULSE_CLIENTCONFIG", "PULSE_RUNTIME_PATH",
                    "PULSE_STATE_PATH"):
            os.environ.pop(var, None)
        os.environ.update(pulse)
        self.env = dict(quiet_env(), HOME=d, XDG_RUNTIME_DIR=d + "/run",
                        XDG_CONFIG_HOME=d + "/config", XDG_STATE_HOME=d + "/state")

    def spawn(self, argv, log=subprocess.DEVNULL):
        return subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=log)

    def ready(self):
        """The sink, the defaults, the keep-alive; or every process ended."""
        try:
            if not wait_for(lambda: self.pactl("info") is not None, 10, 0.1):
                raise RuntimeError("the sound server did not start (logs in " + self.dir + ")")
            self.add_sink(SINK)
            self.pactl("set-default-sink", SINK)
            self.pactl("set-default-source", SINK + ".monitor")
            with open("/dev/zero", "rb") as zero:
                self.procs.insert(0, subprocess.Popen(
                    ["pacat", "--playback", "--raw", "--latency-msec=10",
                     "--client-name=keep-alive"], stdin=zero, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL, env=quiet_env()))
            if not wait_for(lambda: self.pactl("list", "short", "sink-inputs"), 10):
                raise RuntimeError("the keep-alive stream did not connect")
        except BaseException:
            self.stop()
            raise

    def add_sink(self, name):  # its module's number
        return self.pactl("load-module", "module-null-sink", f"sink_name={name}", f"rate={RATE}",
                          "channels=1", "format=float32le", "norewinds=1").strip()

    @staticmethod
    def pactl(*args):
        p = subprocess.run(["pactl", *args], capture_output=True, text=True, timeout=10)
        return p.stdout if p.returncode == 0 else None

    def signal_all(self, sig):  # but the keep-alive (first): SIGSTOP stalls the server
        for p in self.procs[1:]:
            p.send_signal(sig)

    def stop(self, sig=signal.SIGTERM):  # SIGKILL: the server gone without a word
        for p in self.procs:
            if p.poll() is None:
                p.send_signal(signal.SIGCONT)
                p.send_signal(sig)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()


class PipeWireServer(PulseServer):
    """With its services, a bus of its own, the cycle forced; its monitor shows a cycle early."""

    def __init__(self, directory, quantum=1024):
        d = self.dir = os.path.join(directory, "pipewire")
        self.prepare(d)
        os.environ["PULSE_SERVER"] = f"unix:{d}/run/pulse/native"
        self.render_ahead_ns = round(quantum * 1e9 / RATE)
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1",
                              "--print-pid=1"], env=self.env, capture_output=True, text=True,
                             check=True, timeout=10).stdout.split()
        self.env["DBUS_SESSION_BUS_ADDRESS"], self.bus_pid = bus[0], int(bus[1])
        log = open(d + "/server.log", "w")
        self.procs = [self.spawn(["pipewire"], log)]
        wait_for(lambda: os.path.exists(d + "/run/pipewire-0"), 10)
        self.procs += [self.spawn(["wireplumber"], log), self.spawn(["pipewire-pulse"], log)]
        self.ready()
        subprocess.run(["pw-metadata", "-n", "settings", "0", "clock.force-quantum",
                        str(quantum)], env=self.env, capture_output=True, timeout=10)

    def stop(self, sig=signal.SIGTERM):
        super().stop(sig)
        try:
            os.kill(self.bus_pid, signal.SIGTERM)
        except ProcessLookupError:
            pass


def sound_server(directory):
    """ZIV_E2E_SERVER: "pulseaudio" (the default), "pipewire[:frames a cycle]"."""
    kind, _, quantum = os.environ.get("ZIV_E2E_SERVER", "pulseaudio").partition(":")
    if kind == "pipewire":
        return PipeWireServer(directory, int(quantum or 1024))
    return PulseServer(directory)


class Sound:
    """A run of audible samples (see runs), its length exact in samples."""

    def __init__(self, samples, first, start_ns, end_ns, longest_gap_ms):
        self.first, self.end, self.seconds = first, first + len(samples), len(samples) / RATE
        self.start_ns, self.end_ns, self.longest_gap_ms = start_ns, end_ns, longest_gap_ms
        window, edge = round(0.040 * RATE), round(0.060 * RATE)
        long_enough = len(samples) >= 2 * window
        self.start_marker = long_enough and dominant(samples[:window], START_HZ)
        self.end_marker = long_enough and dominant(samples[-window:], END_HZ)
        self.hz = zero_crossing_hz(samples[edge:-edge]) if len(samples) >= 3 * edge else 0

    @property
    def whole(self):
        return self.start_marker and self.end_marker

    def __repr__(self):
        return (f"Sound({self.seconds:.4f} s, markers {self.start_marker}/{self.end_marker}, "
                f"{self.hz:.0f} Hz, gap {self.longest_gap_ms:.2f} ms)")


class Sink:
    """Records a null sink's monitor, each sample dated as README.md says."""

    def __init__(self, sink=SINK, render_ahead_ns=PulseServer.render_ahead_ns):
        self.render_ahead_ns = render_ahead_ns
        self.proc = subprocess.Popen(
            ["parec", "-d", sink + ".monitor", "--raw", "--format=float32le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=5", "--client-name=recorder"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=quiet_env())
        self.lock = threading.Lock()
        self.chunks, self.count, self.reads = [], 0, []  # reads: (samples so far, ns)
        threading.Thread(target=self._read, daemon=True).start()
        if not wait_for(lambda: self.mark() >= RATE // 10, 10):
            raise RuntimeError("the sink's monitor delivers nothing")

    def _read(self):
        pending, fd = b"", self.proc.stdout.fileno()
        while data := os.read(fd, 65536):
            stamp = now_ns()
            pending += data
            whole = len(pending) // 4 * 4
            with self.lock:
                self.chunks.append(np.frombuffer(pending[:whole], dtype="<f4"))
                self.count += whole // 4
                self.reads.append((self.count, stamp))
            pending = pending[whole:]

    def stop(self):
        self.proc.terminate()
        self.proc.wait()

    def mark(self):  # sounds(since=mark()) are those after now
        with self.lock:
            return self.count

    def samples(self):
        with self.lock:
            self.chunks = [np.concatenate(self.chunks)] if self.chunks else []
            return (self.chunks[0] if self.chunks else np.zeros(0, "f4")), list(self.reads)

    def sounds(self, since=0):
        samples, reads = self.samples()
        counts = np.array([c for c, _ in reads], dtype=np.int64)
        origins = np.array([s for _, s in reads], dtype=np.int64) - counts * 1e9 / RATE
        # The least origin of the reads in the second after each.
        after = np.searchsorted(counts, counts + RATE, side="right")
        best = np.array([origins[k:max(k + 1, a)].min() for k, a in enumerate(after)])

        def time_of(i):
            k = min(np.searchsorted(counts, i, side="right"), len(best) - 1)
            return int(best[k] + i * 1e9 / RATE) + self.render_ahead_ns

        return [Sound(samples[first:last + 1], first, time_of(first), time_of(last + 1), gap)
                for first, last, gap in runs(samples, since)]


def runs(samples, since=0, split_s=0.020):
    """(first, last, longest gap in ms) of each run of audible samples, split at split_s."""
    loud = np.flatnonzero(np.abs(samples[since:]) >= AUDIBLE) + since
    return [(int(r[0]), int(r[-1]), (np.diff(r).max() - 1) * 1000 / RATE if len(r) > 1 else 0)
            for r in np.split(loud, np.flatnonzero(np.diff(loud) > split_s * RATE) + 1) if len(r)]


def dominant(samples, hz):
    """hz carries most of the power among a marked message's three tones."""
    n = np.arange(len(samples))
    power = {f: abs(np.dot(samples, np.exp(-2j * np.pi * f * n / RATE))) ** 2
             for f in (START_HZ, BODY_HZ, END_HZ)}
    return power[hz] > 0 and all(p * 4 <= power[hz] for f, p in power.items() if f != hz)


def zero_crossing_hz(s):  # over the periods between the first and last rising crossing
    rising = np.flatnonzero((s[:-1] < 0) & (s[1:] >= 0))
    return (len(rising) - 1) * RATE / (rising[-1] - rising[0]) if len(rising) > 1 else 0


def marked_tone(body_s, body_hz=BODY_HZ, rate=RATE):
    """50 ms markers around the body, each from phase zero at half scale."""
    return np.concatenate([0.5 * np.sin(2 * np.pi * hz * np.arange(round(s * rate)) / rate)
                           for hz, s in ((START_HZ, 0.05), (body_hz, body_s), (END_HZ, 0.05))])


def write_message(path, body_s, rate=RATE, channels=1, float_samples=False):  # its length in s
    return write_wav(path, marked_tone(body_s, rate=rate), rate, channels, float_samples)


def write_wav(path, samples, rate=RATE, channels=1, float_samples=False):
    """On every channel, as 16-bit PCM or 32-bit float."""
    frames = np.repeat(samples, channels)
    data = frames.astype("<f4") if float_samples else np.round(frames * 32767).astype("<i2")
    width = data.itemsize
    fmt = (b"fmt \x10\x00\x00\x00"
           + np.array([3 if float_samples else 1, channels], "<u2").tobytes()
           + np.array([rate, rate * channels * width], "<u4").tobytes()
           + np.array([channels * width, 8 * width], "<u2").tobytes())
    body = b"WAVE" + fmt + b"data" + np.uint32(data.nbytes).tobytes() + data.tobytes()
    with open(path, "wb") as f:
        f.write(b"RIFF" + np.uint32(len(body)).tobytes() + body)
    return len(samples) / rate


def recorded_sound(path):
    """((channels, bytes a sample, rate), its one sound or None, the silences in ms)."""
    with wave.open(path, "rb") as w:
        shape = (w.getnchannels(), w.getsampwidth(), w.getframerate())
        samples = np.frombuffer(w.readframes(w.getnframes()), "<i2") / 32768.0
    found = runs(samples)
    if len(found) != 1:
        return shape, None, 0, 0
    first, last, gap = found[0]
    return (shape, Sound(samples[first:last + 1], first, None, None, gap), first * 1000 / RATE,
            (len(samples) - 1 - last) * 1000 / RATE)


def play_into_sink(samples, lead_s, path, sink=SINK):
    """A process that plays lead_s of silence and the samples into the sink
    (path keeps them), with a buffer a busy machine cannot starve."""
    data = np.concatenate([np.zeros(round(lead_s * RATE)), samples])
    with open(path, "wb") as f:
        f.write(np.round(data * 32767).astype("<i2").tobytes())
    with open(path, "rb") as f:
        return subprocess.Popen(["pacat", "--playback", "--raw", "-d", sink, "--format=s16le",
                                 f"--rate={RATE}", "--channels=1", "--latency-msec=200",
                                 "--client-name=microphone"], stdin=f)
