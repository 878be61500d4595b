"""Keyed by CAT through Hamlib's rigctld with its dummy radio: the message
inside the radio's keyed time, the radio unkeyed at every end; servers that
refuse, stall or drop the connection mid-message. And the transmit time-out
and the cut, on the serial line."""
import socket
import threading
import time

from lines import now_ns, transmissions
from rig import Rigctld, free_port
from sound import wait_for

RTS = ("RTS", False)


def keyed_station(run, name, seconds=0.4, **keys):
    """A station on COM1 (served, to see it used or not) with a message and
    these settings keys ("PTT_Method" for "PTT Method")."""
    device = run.device("tty" + name)
    wave, _ = run.message(name + ".wav", seconds)
    return run.station(name, waves=(wave, "", ""), ports={"COM1": device.path}, **keys), device


def cat_station(run, name, port, seconds=0.4):
    return keyed_station(run, name, seconds, PTT_Method="CAT", Rigctld_Port=port)


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
        keyed, sounds = [t for t, on in watch if on], run.sink.sounds()
        assert keyed and len(sounds) == 1 and sounds[0].whole, (sounds, station.stderr())
        lead, tail = (sounds[0].start_ns - keyed[0]) / 1e6, (keyed[-1] - sounds[0].end_ns) / 1e6
        print(f"radio keyed {lead:.1f} ms before the first sample, {tail:.1f} ms after the last")
        # The watch looks every few ms; the key-up delay counts from the key.
        assert 100 <= lead <= 600 and tail >= -10, (lead, tail)
        assert not rig.ptt() and not device.events(), "the radio stayed keyed, or the port used"
        # Ended mid-message by a signal, or by the end of the session (the
        # X connection lost): unkeyed either way.
        for end in ("SIGTERM", "X connection lost"):
            if end != "SIGTERM":
                station.start()
            station.send("F1")
            assert wait_for(rig.ptt, 5, 0.005), station.stderr()
            if end != "SIGTERM":
                run.x.xdo("windowkill", station.window)
            code = station.terminate()
            assert code == 0 if end == "SIGTERM" else code is not None, (end, code)
            assert not rig.ptt(), f"the radio stayed keyed after {end}"
    finally:
        rig.stop()


class FakeRig:
    """On loopback: answers as rigctld does, dropping the connection
    `drop_after` s into a key; logs (time, command)."""

    def __init__(self, drop_after):
        self.server = socket.create_server(("127.0.0.1", 0))
        self.drop_after, self.port = drop_after, self.server.getsockname()[1]
        self.log, self.keyed_at, self.dropped_ns = [], None, None
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
        while not (self.keyed_at and time.monotonic() - self.keyed_at > self.drop_after):
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
                    self.keyed_at = time.monotonic() if ptt == "1" and self.drop_after else None
                    conn.sendall(f"set_ptt: {ptt}\nRPRT 0\n".encode())
                elif command == "t":
                    conn.sendall(f"get_ptt:\nPTT: {ptt}\nRPRT 0\n".encode())
        self.keyed_at, self.dropped_ns = None, now_ns()
        conn.close()


def test_servers_that_refuse_or_stall_key_nothing_and_one_lost_stops_the_message(run):
    # Nobody listening, and a server that never answers, over real sockets; a foreign or a
    # refusing answer fails the same way (the client's tests).
    silent = socket.create_server(("127.0.0.1", 0))  # takes the connection, never reads it
    for port, why in ((free_port(), "Connection refused"), (silent.getsockname()[1], "no answer")):
        station, _ = cat_station(run, str(port), port)
        station.start()
        asked = now_ns()
        station.send("F1")
        assert wait_for(lambda: "neįjungtas" in station.title(), 5), station.title()
        print(f"{why}: told in {(now_ns() - asked) / 1e6:.0f} ms: {station.title()}")
        assert why in station.stderr() and station.terminate() == 0, station.stderr()
    time.sleep(0.5)
    assert not run.sink.sounds(), "a message played without a key"
    silent.close()
    rig = FakeRig(drop_after=0.6)
    station, _ = cat_station(run, "dropping", rig.port, seconds=2.0)
    station.start().send("F1")
    assert wait_for(lambda: rig.dropped_ns, 5), station.stderr()
    assert wait_for(lambda: "nutrūko" in station.title(), 5), station.title()
    time.sleep(0.5)
    sounds = run.sink.sounds()
    stopped = (sounds[0].end_ns - rig.dropped_ns) / 1e6
    print(f"stopped {stopped:.0f} ms after the drop; {station.title()}")
    assert len(sounds) == 1 and not sounds[0].whole and stopped < 1000, sounds
    assert [t for t, c in rig.log if t > rig.dropped_ns and c == "T 0"], "no unkey after the drop"
    assert station.terminate() == 0, station.stderr()


def test_the_transmit_timeout_and_escape_with_cutting_on_cut_the_message(run):
    """A 1 s time-out cuts a 2 s message (a busy machine makes it later,
    never sooner); Escape lets a message finish, or with cutting on cuts it
    at once, showing no failure; the sound stops with the unkey (what the
    device held goes out within a few ms, to nobody)."""
    for name, keys in (("timeout", dict(TX_Timeout=1)), ("escape", {}),
                       ("cut", dict(Cut_On_Stop=1))):
        station, device = keyed_station(run, name, 2.0 if name == "timeout" else 1.5, **keys)
        since = run.sink.mark()
        station.start().send("F1")
        assert wait_for(lambda: transmissions(device.events(), RTS), 5), station.stderr()
        escaped = None
        if name != "timeout":
            time.sleep(0.6)
            escaped = now_ns()
            station.key("Escape")
        assert run.wait_for_transmissions(device, RTS, 1), station.stderr()
        sent, sounds = transmissions(device.events(), RTS), run.sink.sounds(since)
        print(f"{name}: keyed {sent[0].ms:.0f} ms, {sounds}")
        assert len(sounds) == 1 and sounds[0].whole == (name == "escape"), sounds
        if name != "escape":
            assert (sounds[0].end_ns - sent[0].unkey_ns) / 1e6 < 50, sounds
        if name == "timeout":
            assert 1000 <= sent[0].ms <= 1500 and "nutrauktas po 1 s" in station.title()
        if name == "cut":
            assert (sent[0].unkey_ns - escaped) / 1e6 < 500 and "nepavyko" not in station.title()
        time.sleep(0.5)
        assert len(transmissions(device.events(), RTS)) == 1, "the loop went on"
        assert station.terminate() == 0, station.stderr()
