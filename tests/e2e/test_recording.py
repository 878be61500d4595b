"""Messages recorded inside the program with Ctrl+Shift+F1. The sound
server's default input is the sink's own monitor, so a tone played into the
sink is what the program records, and its send is heard on the same sink."""
import os
import time

from lines import expect_whole_send, now_ns, sound_of, transmissions
from sound import RATE, marked_tone, play_into_sink, recorded_sound, wait_for
from station import expect_quiet_lines

RTS = ("RTS", False)
RECORDING = "● Įrašoma 1 "  # the title while slot 1 records
# The silence a kept recording keeps around its sound, judged in 10 ms
# blocks: up to one block more or less than the round figures.
LEAD_MS, TAIL_MS, BLOCK_MS = 50, 250, 10


def record_slot_1(run, station, tone, stop_keys):
    """Records slot 1 while the tone plays into the sink; a Ctrl+Enter
    meanwhile is refused. The times it ran."""
    started = now_ns()
    station.key("ctrl+shift+F1")
    assert wait_for(lambda: RECORDING in station.title(), 5), station.title() + station.stderr()
    station.key("ctrl+Return")
    # The new capture stream's first samples may take a moment.
    time.sleep(0.3)
    assert play_into_sink(tone, 0.5, os.path.join(run.dir, "tone.raw")).wait(15) == 0
    time.sleep(0.4)
    # Two seconds in, the title counts them and shows a ten-cell level bar.
    shown = station.title().partition(RECORDING)[2]
    assert shown.startswith("0:0") and not shown.startswith("0:00"), shown
    assert shown.count("■") + shown.count("□") == 10, f"no level bar: {shown}"
    station.key(stop_keys)
    assert wait_for(lambda: RECORDING not in station.title(), 5), station.title()
    return started, now_ns()


def expect_recording_of(path, tone):
    """The whole tone and only a little silence around it, 16-bit mono at
    48 kHz. Returns the silence before and after it in ms."""
    shape, heard, lead, tail = recorded_sound(path)
    assert heard, "not one sound"
    print(f"recorded {heard} with {lead:.1f} ms before and {tail:.1f} ms after")
    assert shape == (1, 2, RATE), "(channels, bytes a sample, rate)"
    assert LEAD_MS - BLOCK_MS <= lead <= LEAD_MS + BLOCK_MS + 1
    assert TAIL_MS - BLOCK_MS <= tail <= TAIL_MS + BLOCK_MS + 1
    assert heard.whole and abs(heard.seconds - len(tone) / RATE) < 0.005, "not recorded whole"
    assert heard.longest_gap_ms < 1, "a hole in the recording"
    return lead, tail, heard.hz


def test_record_send_and_record_again(run):
    # Slot 1 starts with a message outside the station's folder: not the
    # station's to record over.
    station, device = run.on_com1(RTS, 0.2)
    old = os.path.join(run.dir, "message1.wav")
    old_bytes = open(old, "rb").read()
    target = os.path.join(station.dir, "message1.wav")
    first, second = marked_tone(1.1, 700), marked_tone(0.7, 1100)
    station.start()

    # Recorded into the station's folder, named in the settings at once.
    recordings = [record_slot_1(run, station, first, "ctrl+shift+F1")]
    assert wait_for(lambda: f"Wave File1={target}\n" in station.settings(), 2), station.settings()
    first_file = expect_recording_of(target, first)
    assert abs(first_file[2] - 700) < 3
    assert open(old, "rb").read() == old_bytes, "the message outside the station's folder changed"
    station.send("F1")
    assert run.wait_for_transmissions(device, RTS, 1), station.stderr()

    # Again, stopped with Escape: the file is now the station's own and is
    # replaced where it lies.
    recordings.append(record_slot_1(run, station, second, "Escape"))
    second_file = expect_recording_of(target, second)
    assert abs(second_file[2] - 1100) < 3
    station.send("F1")
    assert run.wait_for_transmissions(device, RTS, 2), station.stderr()

    # Stopped before any sound came: not kept, and the title says why.
    kept = open(target, "rb").read()
    started = now_ns()
    station.key("ctrl+shift+F1")
    time.sleep(0.15)
    station.key("ctrl+shift+F1")
    assert wait_for(lambda: "per trumpas" in station.title(), 5), station.title()
    recordings.append((started, now_ns()))
    assert open(target, "rb").read() == kept, "a recording too short replaced the message"
    assert f"Wave File1={target}\n" in station.settings()
    assert station.terminate() == 0, station.stderr()

    events = device.events()
    for start, end in recordings:
        assert not [e for e in events if start <= e.ns <= end and e.event == "lines"], \
            "a line moved while recording"
    sent, sounds = transmissions(events, RTS), run.sink.sounds()
    assert len(sent) == 2
    for span, tone, (lead, tail, hz) in zip(sent, (first, second), (first_file, second_file)):
        expect_whole_send(span, sounds, len(tone) / RATE, silence_ms=(lead, tail),
                          tolerance_s=0.005)
        assert abs(sound_of(span, sounds).hz - hz) < 3, "another message was sent"
    expect_quiet_lines(events, RTS)

