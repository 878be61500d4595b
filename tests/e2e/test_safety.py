"""The transmitter is never keyed without a message, never left keyed when
the program ends, and never held by a signal."""
import os
import signal
import time

import pytest

from lines import keyed_spans, now_ns, transmissions
from sound import wait_for, write_wav
from station import INVERTED, THUMB_AT_ONE, THUMB_AT_ZERO, WIDEN

FAILED = "nepavyko groti"
POLARITIES = pytest.mark.parametrize("ptt", [("RTS", False), ("RTS", True)],
                                     ids=["Normal", "Inverted"])


def keyed(device, ptt):
    rts, dtr, _ = device.levels()
    return (rts if ptt[0] == "RTS" else dtr) != ptt[1]


@POLARITIES
def test_unplayable_messages_never_key_the_transmitter(run, ptt):
    """Each send is refused before the line moves, a loop on one ends at
    once, and the title says so until the next good send; with no sound
    server at all nothing keys either."""
    device, d = run.device(), run.dir
    open(d + "/empty.wav", "w").close()
    open(d + "/text.wav", "w").write("CQ CQ CQ de LY1ABC\n")
    write_wav(d + "/header.wav", [])
    os.mkdir(d + "/folder.wav")
    os.mkfifo(d + "/fifo.wav")
    for files in (["missing.wav", "empty.wav", "header.wav"],
                  ["text.wav", "folder.wav", "fifo.wav"]):
        station = run.station("station-" + files[0], ptt=ptt, ports={"COM1": device.path},
                              waves=[f"{d}/{f}" for f in files]).start()
        for key in ("F1", "F2", "F3"):
            station.send(key)
        station.drag(THUMB_AT_ZERO, THUMB_AT_ONE)
        time.sleep(2.5)
        assert FAILED in station.title()
        assert station.terminate() == 0, station.stderr()
        assert not transmissions(device.events(), ptt), f"keyed for {files}"
        for f in files:
            assert f in station.stderr(), f"no line says why {f} was refused"

    good, _ = run.message("good.wav", 0.2)
    station = run.station("station-good", ptt=ptt, ports={"COM1": device.path},
                          waves=(d + "/missing.wav", good, "")).start()
    station.send("F1")
    assert wait_for(lambda: FAILED in station.title(), 5), station.title()
    station.send("F2")
    assert run.wait_for_transmissions(device, ptt, 1), station.stderr()
    assert station.title() == "Zivsound", "a good send did not clear the sign"
    run.pulse.kill()
    station.key("ctrl+Return")
    assert wait_for(lambda: FAILED in station.title(), 5), station.title()
    time.sleep(0.5)
    assert len(transmissions(device.events(), ptt)) == 1, "keyed with no sound server"
    assert station.terminate() == 0, station.stderr()


@POLARITIES
def test_every_end_of_the_program_leaves_the_transmitter_unkeyed(run, ptt):
    """Normal is dropped at the close (HUPCL), even the kernel's own close
    of a killed program; Inverted keeps its unkeyed level with HUPCL off."""
    station, device = run.on_com1(ptt)
    for end in ("SIGTERM", "SIGHUP", "SIGKILL", "X connection lost"):
        station.start()
        if end == "SIGHUP":
            station.proc.send_signal(signal.SIGHUP)
        if end == "SIGKILL":
            station.kill()
        elif end == "X connection lost":
            run.x.xdo("windowkill", station.window)
            assert station.terminate() is not None, "still running without its display"
        else:
            assert station.terminate() == 0, station.stderr()
        device.reap()
        assert device.levels()[2] == 0, end
        assert not keyed(device, ptt), f"keyed after {end}"
    spans = keyed_spans(device.events(), ptt)
    assert all(s.unkey_ns and s.ms < 5 for s in spans), spans


def test_a_polarity_change_is_followed_while_the_port_is_open(run):
    """A killed program then leaves the line at its new idle level."""
    station, device = run.on_com1()
    station.start().click(WIDEN)
    station.click(INVERTED)
    time.sleep(0.3)
    station.kill()
    device.reap()
    assert device.levels()[0], "an Inverted PTT was keyed by the killed program's last close"


def keyed_send(run, ptt, body_s):
    """A station on COM1 whose send of a body_s message has keyed the line."""
    station, device = run.on_com1(ptt, body_s)
    station.start().send("F1")
    assert wait_for(lambda: transmissions(device.events(), ptt), 5)
    return station, device


@POLARITIES
def test_a_signal_during_a_message_ends_it_at_once(run, ptt):
    """Unkeyed, the port closed, the settings saved, exit 0, within 1 s."""
    station, device = keyed_send(run, ptt, 30)
    time.sleep(0.5)
    before = os.stat(station.ini).st_ino
    signalled = now_ns()
    assert station.terminate(5) == 0, station.stderr()
    ended = (now_ns() - signalled) / 1e6
    sent = transmissions(device.events(), ptt)
    assert len(sent) == 1 and sent[0].unkey_ns
    unkeyed = (sent[0].unkey_ns - signalled) / 1e6
    print(f"unkeyed {unkeyed:.0f} ms and ended {ended:.0f} ms after SIGTERM")
    assert ended < 1000 and unkeyed < 1000
    assert not keyed(device, ptt) and device.levels()[2] == 0
    assert os.stat(station.ini).st_ino != before, "the settings were not saved"


def test_a_close_by_signal_whose_save_fails_opens_no_box_and_exits_1(run):
    station = run.station(port="").start()
    # A read-only settings file is refused, even to root.
    os.chmod(station.ini, 0o444)
    assert station.terminate(5) == 1, "hung or ended well: " + station.stderr()
    assert "Unable to write to" in station.stderr()


@POLARITIES
def test_a_stalled_sound_server_unkeys_within_a_second(run, ptt):
    station, device = keyed_send(run, ptt, 10)
    time.sleep(1)
    stalled = now_ns()
    run.pulse.pause()
    try:
        unkeyed = run.wait_for_transmissions(device, ptt, 1, 5, settle=0)
    finally:
        run.pulse.resume()
    assert unkeyed, "still keyed 5 s after the output stalled"
    sent = transmissions(device.events(), ptt)
    after = (sent[0].unkey_ns - stalled) / 1e6
    print(f"unkeyed {after:.0f} ms after the server stopped")
    # The program gives up after 0.7 s without progress: within five times that.
    assert len(sent) == 1 and after < 3500
    assert wait_for(lambda: FAILED in station.title(), 5), station.title()
    assert station.terminate() == 0, station.stderr()
