"""Sends seen on the line log and the sound server's output together; the transmitter
never keyed without a message, left keyed at an end, or held by a signal or a stall."""
import os
import signal
import time

import pytest

from lines import expect_whole_send, keyed_spans, now_ns, transmissions
from sound import wait_for
from station import FAILED, expect_quiet_lines

# Each one's second message is float, or resampled (smeared edges: the tail's floor).
SENDS = [pytest.param(("RTS", False), dict(rate=8000), -3.0, id="RTSNormal"),
         pytest.param(("RTS", True), dict(rate=44100, channels=2), -3.0, id="RTSInverted"),
         pytest.param(("DTR", False), dict(float_samples=True), -1.0, id="DTRNormal"),
         pytest.param(("DTR", True), dict(rate=22050, channels=2), -3.0, id="DTRInverted")]


@pytest.mark.parametrize("ptt, kind, floor", SENDS)
def test_sends_play_whole_and_every_end_leaves_the_transmitter_unkeyed(run, ptt, kind, floor):
    """Normal is dropped at the close (HUPCL), even the kernel's own close
    of a killed program; Inverted keeps its unkeyed level with HUPCL off."""
    device = run.device()
    waves = [run.message("plain.wav", 0.4)[0], run.message("kind.wav", 0.3, **kind)[0], ""]
    station = run.station(ptt=ptt, waves=waves, ports={"COM1": device.path}).start()
    for n, key in enumerate(["F1", "F2"]):
        station.send(key)
        run.sent(device, ptt, n + 1)
    for end in ("SIGTERM", "SIGHUP", "SIGKILL", "X connection lost"):
        if end == "SIGHUP":
            station.start().proc.send_signal(signal.SIGHUP)
        if end == "SIGKILL":
            station.start().kill()
        elif end == "X connection lost":
            run.x.xdo("windowkill", station.start().window)
            assert station.terminate() is not None, "still running without its display"
        else:
            station.end()
        device.reap()
        assert device.levels()[2] == 0, end
    # The program keyed nothing else, and no opening or end kept it keyed.
    sent, sounds = run.sent(device, ptt, 2), run.sink.sounds()
    expect_whole_send(sent[0], sounds, 0.5)
    expect_whole_send(sent[1], sounds, 0.4, tail_floor_ms=floor)
    expect_quiet_lines(device.events(), ptt)
    spans = [s for s in keyed_spans(device.events(), ptt) if s.cause != "lines"]
    assert all(s.unkey_ns and s.ms < 5 for s in spans), spans


@pytest.mark.parametrize("ptt", [("RTS", False), ("RTS", True)], ids=["Normal", "Inverted"])
def test_unplayable_messages_a_stalled_server_and_a_signal_never_hold_the_transmitter(run, ptt):
    """The program gives up 0.7 s after its output stalled (allowed five times that). At a
    SIGTERM the settings are saved whole: replaced, never rewritten in place. Every kind of
    file the sound service refuses (its tests) is refused the same way as a missing one;
    the keyer never keys for a refused one (the sequencer's tests)."""
    device, d = run.device(), run.dir
    waves = (d + "/missing.wav", run.message("good.wav", 0.2)[0], run.message("long.wav", 10)[0])
    station = run.station("station-good", ptt=ptt, ports={"COM1": device.path}, waves=waves).start()
    station.send("F1")
    assert wait_for(lambda: FAILED in station.title(), 5), station.title()
    assert "missing.wav" in station.stderr(), "no line says why it was refused"
    station.send("F2")
    run.sent(device, ptt, 1)  # the good one alone
    assert station.title() == "Zivsound", "a good send did not clear the sign"

    station.send("F3")
    assert wait_for(lambda: len(transmissions(device.events(), ptt)) == 2, 5)
    time.sleep(1)
    stalled = now_ns()
    run.pulse.signal_all(signal.SIGSTOP)
    try:
        after = (run.sent(device, ptt, 2, 5, settle=0)[1].unkey_ns - stalled) / 1e6
    finally:
        run.pulse.signal_all(signal.SIGCONT)
    print(f"unkeyed {after:.0f} ms after the server stopped")
    assert after < 3500
    assert wait_for(lambda: FAILED in station.title(), 5), station.title()

    station.key("ctrl+Return")
    assert wait_for(lambda: len(transmissions(device.events(), ptt)) == 3, 5), station.stderr()
    time.sleep(0.5)
    before = os.stat(station.ini).st_ino
    signalled = now_ns()
    assert station.terminate(5) == 0, station.stderr()
    ended = (now_ns() - signalled) / 1e6
    unkeyed = (run.sent(device, ptt, 3, 0, settle=0)[2].unkey_ns - signalled) / 1e6
    print(f"unkeyed {unkeyed:.0f} ms and ended {ended:.0f} ms after SIGTERM")
    assert ended < 1000 and unkeyed < 1000
    assert device.levels()[2] == 0 and all(s.unkey_ns for s in keyed_spans(device.events(), ptt))
    assert os.stat(station.ini).st_ino != before, "the settings were not saved"

    station.start().send("F2")
    run.sent(device, ptt, 4)
    run.pulse.stop(signal.SIGKILL)
    station.key("ctrl+Return")
    assert wait_for(lambda: FAILED in station.title(), 5), station.title()
    time.sleep(0.5)
    assert len(transmissions(device.events(), ptt)) == 4, "keyed with no sound server"
    station.end()
