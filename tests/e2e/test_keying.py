"""Keyed by CAT through Hamlib's rigctld with its dummy radio: the message
inside the radio's keyed time, the radio unkeyed at the end; a server that
refuses, answers nothing, or is not rigctld keys nothing and says why. And
the transmit time-out, on the serial line."""
import socket
import subprocess
import threading
import time

from lines import now_ns, transmissions
from sound import wait_for


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Rigctld:
    """Debian's rigctld on loopback, and a client that watches its PTT."""

    def __init__(self):
        self.port = free_port()
        self.proc = subprocess.Popen(["rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1",
                                      "-t", str(self.port)])
        assert wait_for(self.connect, 10, 0.05), "rigctld did not listen"

    def connect(self):
        try:
            self.sock = socket.create_connection(("127.0.0.1", self.port), timeout=2)
            return True
        except OSError:
            return False

    def ptt(self):
        self.sock.sendall(b"t\n")
        return self.sock.recv(64).strip() == b"1"

    def watch(self, seconds):
        """(time, keyed) every 2 ms for `seconds`."""
        seen, end = [], time.monotonic() + seconds
        while time.monotonic() < end:
            seen.append((now_ns(), self.ptt()))
            time.sleep(0.002)
        return seen

    def stop(self):
        self.sock.close()
        self.proc.terminate()
        self.proc.wait()


def cat_station(run, name, port, seconds=0.4):
    """Keyed by CAT, with COM1 served too: it must stay untouched."""
    device = run.device("tty" + name)
    wave, _ = run.message(name + ".wav", seconds)
    station = run.station(name, waves=(wave, "", ""), ports={"COM1": device.path})
    text = open(station.ini).read().replace(
        "[ZIV SOUND]\n", f"[ZIV SOUND]\nPTT Method=CAT\nRigctld Port={port}\n")
    open(station.ini, "w").write(text)
    return station, device


def test_a_send_keys_the_radio_for_the_whole_message_and_every_end_unkeys_it(run):
    rig = Rigctld()
    try:
        station, device = cat_station(run, "cat", rig.port)
        station.start()
        watch = []
        watcher = threading.Thread(target=lambda: watch.extend(rig.watch(2.0)))
        watcher.start()
        station.send("F1")
        watcher.join()
        keyed = [t for t, on in watch if on]
        assert keyed, station.stderr()
        sounds = run.sink.sounds()
        assert len(sounds) == 1 and sounds[0].whole, sounds
        lead = (sounds[0].start_ns - keyed[0]) / 1e6
        tail = (keyed[-1] - sounds[0].end_ns) / 1e6
        print(f"radio keyed {lead:.1f} ms before the first sample, {tail:.1f} ms after the last")
        # The watch looks every few ms; the key-up delay counts from the key.
        assert 100 <= lead <= 600 and tail >= -10, (lead, tail)
        assert not rig.ptt(), "the radio stayed keyed"
        assert not device.events(), "the serial port was used"
        # Keyed again and ended mid-message, by a signal or by the end of
        # the session (the X connection lost): unkeyed either way.
        station.send("F1")
        assert wait_for(rig.ptt, 5, 0.005), station.stderr()
        assert station.terminate() == 0, station.stderr()
        assert not rig.ptt(), "the radio stayed keyed after SIGTERM"
        station.start().send("F1")
        assert wait_for(rig.ptt, 5, 0.005), station.stderr()
        run.x.xdo("windowkill", station.window)
        assert station.terminate() is not None, "still running without its display"
        assert not rig.ptt(), "the radio stayed keyed after the session ended"
    finally:
        rig.stop()


def silent_server(answer):
    """A server on loopback that accepts and answers every line with
    `answer` (nothing: it stalls)."""
    server = socket.create_server(("127.0.0.1", 0))

    def serve():
        while True:
            try:
                conn, _ = server.accept()
            except OSError:
                return
            threading.Thread(target=lambda c=conn: [c.sendall(answer) for _ in iter(
                lambda: c.recv(64), b"") if answer], daemon=True).start()
    threading.Thread(target=serve, daemon=True).start()
    return server


def test_a_refusing_stalled_or_foreign_server_keys_nothing_and_says_why(run):
    refusing = free_port()  # nobody listens there
    stalled, foreign = silent_server(b""), silent_server(b"HTTP/1.1 400 Bad Request\r\n\r\n")
    radio = silent_server(b"set_ptt: 0\nRPRT -9\n")  # a radio that refuses every command
    for port, why in ((refusing, "Connection refused"), (stalled.getsockname()[1], "no answer"),
                      (foreign.getsockname()[1], "not a rigctld answer"),
                      (radio.getsockname()[1], "refused (RPRT -9)")):
        station, _ = cat_station(run, str(port), port)
        station.start()
        asked = now_ns()
        station.send("F1")
        assert wait_for(lambda: "neįjungtas" in station.title(), 5), station.title()
        told = (now_ns() - asked) / 1e6
        print(f"{why}: told in {told:.0f} ms: {station.title()}")
        assert why in station.stderr()
        assert station.terminate() == 0, station.stderr()
    for server in (stalled, foreign, radio):
        server.close()
    time.sleep(0.5)
    assert not run.sink.sounds(), "a message played without a key"


class DroppingRig:
    """Answers as rigctld does, and drops the connection `after` seconds
    into a transmission; logs (time, command) of every connection."""

    def __init__(self, after):
        self.server, self.after, self.log = socket.create_server(("127.0.0.1", 0)), after, []
        self.port, self.keyed_at, self.dropped_ns = self.server.getsockname()[1], None, None
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                conn, _ = self.server.accept()
            except OSError:
                return
            threading.Thread(target=self.talk, args=(conn,), daemon=True).start()

    def talk(self, conn):
        conn.settimeout(0.05)
        ptt, text = "0", b""
        while True:
            if self.keyed_at and time.monotonic() - self.keyed_at > self.after:
                self.keyed_at, self.dropped_ns = None, now_ns()
                conn.close()
                return
            try:
                data = conn.recv(64)
            except socket.timeout:
                continue
            if not data:
                return
            text += data
            while b"\n" in text:
                line, text = text.split(b"\n", 1)
                command = line.decode().lstrip("+")
                self.log.append((now_ns(), command))
                if command.startswith("T "):
                    ptt = command[2:]
                    self.keyed_at = time.monotonic() if ptt == "1" else None
                    conn.sendall(f"set_ptt: {ptt}\nRPRT 0\n".encode())
                elif command == "t":
                    conn.sendall(f"get_ptt:\nPTT: {ptt}\nRPRT 0\n".encode())


def test_a_server_lost_mid_message_stops_it_and_the_unkey_goes_out_again(run):
    rig = DroppingRig(0.6)
    station, _ = cat_station(run, "dropping", rig.port, seconds=2.0)
    station.start().send("F1")
    assert wait_for(lambda: rig.dropped_ns, 5), station.stderr()
    assert wait_for(lambda: "nutrūko" in station.title(), 5), station.title()
    time.sleep(0.5)
    sounds = run.sink.sounds()
    stopped = (sounds[0].end_ns - rig.dropped_ns) / 1e6
    again = [t for t, c in rig.log if t > rig.dropped_ns and c == "T 0"]
    print(f"stopped {stopped:.0f} ms after the drop; {station.title()}")
    assert len(sounds) == 1 and not sounds[0].whole and stopped < 1000, sounds
    assert again, f"no unkey on a new connection: {rig.log}"
    assert station.terminate() == 0, station.stderr()
    rig.server.close()


def test_the_transmit_timeout_cuts_a_longer_transmission_and_ends_the_loop(run):
    ptt = ("RTS", False)
    station, device = run.on_com1(ptt, 2.0)
    text = open(station.ini).read().replace("[ZIV SOUND]\n", "[ZIV SOUND]\nTX Timeout=1\n")
    open(station.ini, "w").write(text)
    station.start().send("F1")
    assert run.wait_for_transmissions(device, ptt, 1), station.stderr()
    sent = transmissions(device.events(), ptt)
    print(f"keyed for {sent[0].ms:.0f} ms with a 1 s time-out")
    # The cut comes on time; a busy machine makes it later, never sooner.
    assert 1000 <= sent[0].ms <= 1500, sent
    sounds = run.sink.sounds()
    # Cut: the sound stops with the unkey (what the device held goes out
    # within a few ms, to nobody).
    assert len(sounds) == 1 and not sounds[0].whole, sounds
    assert (sounds[0].end_ns - sent[0].unkey_ns) / 1e6 < 50, sounds
    assert "perdavimas nutrauktas po 1 s" in station.title()
    time.sleep(1.0)
    assert len(transmissions(device.events(), ptt)) == 1
    assert station.terminate() == 0, station.stderr()


def test_escape_cuts_the_message_only_when_cutting_is_on(run):
    ptt = ("RTS", False)
    for cut in (False, True):
        device = run.device(f"tty{cut}")
        wave, _ = run.message(f"cut{cut}.wav", 1.5)
        station = run.station(f"cut{cut}", waves=(wave, "", ""), ports={"COM1": device.path})
        if cut:
            text = open(station.ini).read().replace("[ZIV SOUND]\n", "[ZIV SOUND]\nCut On Stop=1\n")
            open(station.ini, "w").write(text)
        since = run.sink.mark()
        station.start().send("F1")
        assert wait_for(lambda: transmissions(device.events(), ptt), 5), station.stderr()
        time.sleep(0.6)
        escaped = now_ns()
        station.key("Escape")
        assert run.wait_for_transmissions(device, ptt, 1), station.stderr()
        sent, sounds = transmissions(device.events(), ptt), run.sink.sounds(since)
        unkeyed = (sent[0].unkey_ns - escaped) / 1e6
        print(f"cut {'on' if cut else 'off'}: unkeyed {unkeyed:.0f} ms after Escape, {sounds}")
        assert len(sounds) == 1 and sounds[0].whole != cut, sounds
        if cut:
            # At once: a busy machine makes it later, but not a message later.
            assert unkeyed < 500 and (sounds[0].end_ns - sent[0].unkey_ns) / 1e6 < 50
            assert "nepavyko" not in station.title()
        assert station.terminate() == 0, station.stderr()
