"""A message chosen with F1 and sent with Ctrl+Enter, seen on the line log
and on the sound server's output together."""
import pytest

from lines import expect_whole_send
from station import expect_quiet_lines

LINES = [("RTS", False), ("RTS", True), ("DTR", False), ("DTR", True)]


@pytest.mark.parametrize("ptt", LINES, ids=lambda p: p[0] + ("Inverted" if p[1] else "Normal"))
def test_send_keys_plays_the_whole_message_and_unkeys(run, ptt):
    station, device = run.on_com1(ptt, 0.4)
    station.start().send("F1")
    assert run.wait_for_transmissions(device, ptt, 1), station.stderr()
    station.end()
    # The program keyed nothing else (the device drops both lines at the
    # last close, which is no transmission).
    run.expect_sends(device, ptt, [0.5])
    expect_quiet_lines(device.events(), ptt)


def test_8_khz_44_1_khz_stereo_and_float_messages_play_whole(run):
    """The server resamples them to the sink's 48 kHz, which smears their
    edges a little."""
    ptt, device = ("RTS", False), run.device()
    kinds = [dict(rate=8000), dict(rate=44100, channels=2), dict(float_samples=True)]
    waves = [run.message(f"m{n}.wav", 0.3, **k)[0] for n, k in enumerate(kinds)]
    station = run.station(waves=waves, ports={"COM1": device.path}).start()
    for n, key in enumerate(["F1", "F2", "F3"]):
        station.send(key)
        run.sent(device, ptt, n + 1)
    station.end()
    for span, floor in zip(run.sent(device, ptt, 3), [-3.0, -3.0, -1.0]):
        expect_whole_send(span, run.sink.sounds(), 0.4, tail_floor_ms=floor)
