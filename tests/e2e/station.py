"""Linux stations: the real program under an Xvfb of the run's own, on the double's ports."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
import desk  # noqa: E402
from lines import Device, keyed_spans, level, now_ns, transmissions  # noqa: E402
from sound import (RATE, SINK, Sink, play_into_sink, recorded_sound, sound_server,  # noqa: E402
                   wait_for, write_message)

# Where the operator points in the main window (client coordinates).
NARROW_WIDTH = 165
# The track bar's thumb: its values run up 4 px a second from y = 97 (0 s).
THUMB_AT_ZERO, THUMB_AT_ONE = (39, 97), (39, 93)
WIDEN = (150, 17)  # the small button that widens the window
PORT_BOX, DTR, INVERTED = (227, 60), (161, 98), (210, 98)
FAILED = "nepavyko groti"  # in the title after a send that could not play
RECORDING = "● Įrašoma 1 "  # the title while slot 1 records
# The silence a kept recording keeps around its sound, judged in 10 ms
# blocks: up to one block more or less than the round figures.
LEAD_MS, TAIL_MS, BLOCK_MS = 50, 250, 10


class Station:
    """A copy of the program in a folder of its own, beside its settings; further keys
    (Sound_Output=..., "_" for a blank) go into them too."""

    def __init__(self, run, name, x=10, y=10, port="COM1", waves=("", "", ""), ptt=("RTS", False),
                 ports=None, **keys):
        self.run, self.dir = run, os.path.join(run.dir, name)
        os.makedirs(self.dir)
        shutil.copy2(run.program, os.path.join(self.dir, "ZIVSound"))
        rts, inv = ptt[0] == "RTS", int(ptt[1])
        text = (f"[ZIV SOUND]\nX={x}\nY={y}\nPort={port}\nLabel1=CQ\nLabel2=QRZ\nLabel3=TEST\n"
                f"RTS={int(rts)}\nDTR={int(not rts)}\nNorm={1 - inv}\nInv={inv}\n")
        text += "".join(f"Wave File{n + 1}={w}\n" for n, w in enumerate(waves))
        text += "".join(f"{k.replace('_', ' ')}={v}\n" for k, v in keys.items())
        text += "[Ports]\n" + "".join(f"{k}={v}\n" for k, v in ports.items()) if ports else ""
        self.ini, self.proc, self.window = os.path.join(self.dir, "ZIVSound.ini"), None, None
        with open(self.ini, "w") as f:
            f.write(text)

    def start(self):
        env = dict(os.environ, DISPLAY=self.run.x.display, LD_PRELOAD=self.run.double,
                   ZIV_SERIAL_DOUBLE_DEVICES=":".join(d.path for d in self.run.devices),
                   ZIV_SERIAL_DOUBLE_LOG=self.run.log)
        with open(os.path.join(self.dir, "stderr.txt"), "ab") as log:
            self.started_ns = time.monotonic_ns()
            self.proc = subprocess.Popen([os.path.join(self.dir, "ZIVSound")], cwd=self.dir,
                                         env=env, stdout=log, stderr=log)
        assert wait_for(lambda: self.windows() or not self.running(), 30, 0.005), \
            "the window did not show:\n" + self.stderr()
        self.shown_ns = time.monotonic_ns()
        assert self.running(), f"ended ({self.proc.returncode}):\n" + self.stderr()
        self.window, self.pid = self.windows()[0], self.proc.pid
        # Qt takes keys only once it has handled the window's first expose and focus.
        time.sleep(0.3)
        return self

    def running(self):
        return self.proc.poll() is None

    def windows(self):  # the main window, a message box
        return self.run.x.xdo("search", "--all", "--onlyvisible", "--pid", self.proc.pid,
                              "--name", "^Zivsound$").split()

    def title(self):
        return self.run.x.xdo("getwindowname", self.window).rstrip("\n")

    def geometry(self, window):
        return desk.geometry(self.run.x.display, window)

    def key(self, keys, window=None):
        # The gap right of the message buttons, or a box's frame corner.
        at = (150, 60) if window in (None, self.window) else (2, 2)
        desk.key(self.run.x.display, window or self.window, keys, *at)

    def send(self, message_key):
        self.key(message_key)
        self.key("ctrl+Return")

    def click(self, point):
        desk.click(self.run.x.display, self.window, *point)

    def drag(self, start, end):
        desk.drag(self.run.x.display, self.window, start, end)

    def terminate(self, timeout=10):
        """The exit code after a SIGTERM (-signal when killed), None if hung."""
        if self.running():
            self.proc.terminate()
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def end(self, code=0, timeout=10):
        assert self.terminate(timeout) == code, self.stderr()

    def kill(self):
        if self.proc:
            self.proc.kill()
            self.proc.wait()

    def stderr(self):
        return open(os.path.join(self.dir, "stderr.txt"), errors="replace").read()

    def settings(self):
        return open(self.ini, encoding="cp1257").read()

    def record_slot_1(self, tone, hz, stop_keys, sink=SINK):
        """Records slot 1 from the sink's monitor, a Ctrl+Enter meanwhile refused; it is kept
        whole (16-bit mono, 48 kHz, a little silence around it) in the station's folder,
        named in the settings at once. The times it ran, the silences in ms, its pitch."""
        started = now_ns()
        self.key("ctrl+shift+F1")
        assert wait_for(lambda: RECORDING in self.title(), 5), self.title() + self.stderr()
        self.key("ctrl+Return")
        time.sleep(0.3)  # the new capture stream's first samples may take a moment
        assert play_into_sink(tone, 0.5, os.path.join(self.dir, "tone.raw"), sink).wait(15) == 0
        time.sleep(0.4)
        # Two seconds in, the title counts them and shows a ten-cell level bar.
        shown = self.title().partition(RECORDING)[2]
        assert shown.startswith("0:0") and not shown.startswith("0:00"), shown
        assert shown.count("■") + shown.count("□") == 10, f"no level bar: {shown}"
        self.key(stop_keys)
        assert wait_for(lambda: RECORDING not in self.title(), 5), self.title()
        stopped, path = now_ns(), os.path.join(self.dir, "message1.wav")
        assert wait_for(lambda: f"Wave File1={path}\n" in self.settings(), 2), self.settings()
        shape, heard, lead, tail = recorded_sound(path)
        print(f"recorded {heard} with {lead:.1f} ms before and {tail:.1f} ms after")
        assert heard and shape == (1, 2, RATE), "not one sound, or not 16-bit mono at 48 kHz"
        assert LEAD_MS - BLOCK_MS <= lead <= LEAD_MS + BLOCK_MS + 1
        assert TAIL_MS - BLOCK_MS <= tail <= TAIL_MS + BLOCK_MS + 1
        assert heard.whole and abs(heard.seconds - len(tone) / RATE) < 0.005, "not recorded whole"
        assert heard.longest_gap_ms < 1 and abs(heard.hz - hz) < 3, "a hole, or another tone"
        return (started, stopped), lead, tail, heard.hz


class Run:
    """One scenario's folder, servers, device doubles and line log."""

    def __init__(self):
        self.program = os.path.abspath(os.environ["ZIV_E2E_PROGRAM"])
        self.double = os.path.abspath(os.environ["ZIV_E2E_SERIAL_DOUBLE"])
        self.dir = tempfile.mkdtemp(prefix="ziv-e2e-")
        self.log = os.path.join(self.dir, "lines.log")
        self.devices, self.stations = [], []
        self.pulse = sound_server(self.dir)
        self.x = desk.XServer(self.dir)
        self.sink = Sink(render_ahead_ns=self.pulse.render_ahead_ns)

    def close(self):
        for s in self.stations:  # first: they are clients of both servers
            s.kill()
        for part in (self.sink, self.x, self.pulse):
            part.stop()
        if not os.environ.get("ZIV_E2E_KEEP"):
            shutil.rmtree(self.dir, ignore_errors=True)

    def device(self, name="ttyE0"):  # served to every station started after this
        d = Device(os.path.join(self.dir, name), self.log)
        d.reset()
        self.devices.append(d)
        return d

    def message(self, name, body_s, **kind):  # its path and length in seconds
        path = os.path.join(self.dir, name)
        return path, write_message(path, body_s, **kind)

    def station(self, name="station", **settings):
        self.stations.append(Station(self, name, **settings))
        return self.stations[-1]

    def on_com1(self, ptt=("RTS", False), *bodies, **settings):
        """A station, not yet started, on ttyE0 as COM1 with these messages."""
        device = self.device()
        waves = [self.message(f"message{n + 1}.wav", b)[0] for n, b in enumerate(bodies)]
        station = self.station(ptt=ptt, ports={"COM1": device.path},
                               waves=(waves + ["", "", ""])[:3], **settings)
        return station, device

    def wait_for_transmissions(self, device, ptt, count, timeout=15, settle=0.3):
        """Until `count` have ended, and `settle` more for their last samples."""
        done = wait_for(lambda: sum(s.unkey_ns is not None for s in
                                    transmissions(device.events(), ptt)) >= count, timeout)
        time.sleep(settle if done else 0)
        return done

    def sent(self, device, ptt, count, timeout=15, settle=0.3):
        """The transmissions once `count` have ended, and no more came."""
        assert self.wait_for_transmissions(device, ptt, count, timeout, settle), \
            "".join(s.stderr() for s in self.stations)
        sent = transmissions(device.events(), ptt)
        assert len(sent) == count, sent
        return sent


def expect_quiet_lines(events, ptt):
    """The other line keeps the level the port's opening left it at, and no line sits keyed
    for long at an open: Linux raises both, which keys a Normal PTT on either until the
    program lowers them; Inverted, the other line rests low, which keys nothing."""
    assert events, "the device was never opened"
    line, inverted = ptt
    other = "DTR" if line == "RTS" else "RTS"
    opened, rest = 0, None
    for e in events:
        opened = e.ns if e.event == "open" else opened
        if e.event == "lines" and e.ns - opened < 50e6:
            rest = level(e, other)
        elif e.event == "lines":
            assert level(e, other) == rest, f"the other line moved at {e.ns}"
    for watched in [line] + ([] if inverted else [other]):
        opening = [s.ms for s in keyed_spans(events, (watched, inverted)) if s.cause == "open"]
        print(f"{watched} keyed at the port's opening for {opening} ms")
        assert all(ms < 5 for ms in opening), "a line sat keyed after the open"
