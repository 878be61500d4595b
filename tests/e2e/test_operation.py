"""The program operated as in a contest: repeat loops, a port changed while
running, a second copy on the same port, and the end of a session."""
import time

from lines import expect_whole_send, now_ns, transmissions
from sound import wait_for
from station import (DTR, NARROW_WIDTH, PORT_BOX, THUMB_AT_ONE, THUMB_AT_ZERO, WIDEN,
                     expect_quiet_lines)

RTS = ("RTS", False)


def expect_loop_spacing(sent, sounds, seconds, pause_ms):
    """Each cycle heard whole, and from the second on the pause between an
    unkey and the next key as set (the first cycle's pause runs during its
    send): about 5 ms late on an idle machine; a busy one makes it later,
    but less than another 60 ms tick."""
    for span in sent:
        expect_whole_send(span, sounds, seconds)
    for n, (a, b) in enumerate(zip(sent[1:], sent[2:]), 2):
        pause = (b.key_ns - a.unkey_ns) / 1e6
        print(f"cycles {n} to {n + 1}: {pause:.1f} ms from unkey to key")
        assert pause_ms - 30 <= pause <= pause_ms + 55, f"between cycles {n} and {n + 1}"


def test_repeat_loops_from_the_track_bar_and_f4_keep_their_spacing_and_stop_on_escape(run):
    station, device = run.on_com1(RTS, 0.3)
    station.start().key("F1")
    # Releasing the track bar at 1 s starts the loop at once.
    station.drag(THUMB_AT_ZERO, THUMB_AT_ONE)
    assert run.wait_for_transmissions(device, RTS, 4, 20, settle=0.2), station.stderr()
    station.key("Escape")  # in the pause after the fourth cycle
    first_stop = now_ns()
    time.sleep(2.5)
    assert len(transmissions(device.events(), RTS)) == 4, "the loop went on after Escape"
    # F4 starts it again with the pause the track bar was released at.
    station.key("F4")
    assert run.wait_for_transmissions(device, RTS, 8, 20, settle=0.2), station.stderr()
    station.key("Escape")
    second_stop = now_ns()
    time.sleep(2.5)
    events = device.events()
    assert station.terminate() == 0, station.stderr()
    sent, sounds = transmissions(events, RTS), run.sink.sounds()
    assert len(sent) == 8, "the loop went on after Escape"
    assert not [e for e in events if e.ns > second_stop and e.event == "lines"]
    assert sent[4].key_ns > first_stop
    expect_loop_spacing(sent[:4], sounds, 0.4, 1000)
    expect_loop_spacing(sent[4:], sounds, 0.4, 1000)


def test_a_port_changed_in_the_box_closes_the_old_and_opens_the_new_at_idle(run):
    com1, com2 = run.device("ttyE0"), run.device("ttyE1")
    wave, seconds = run.message("cq.wav", 0.2)
    station = run.station(waves=(wave, "", ""), ports={"COM1": com1.path, "COM2": com2.path})
    station.start().click(WIDEN)
    station.click(PORT_BOX)
    station.key("ctrl+a")
    station.type("COM2")
    assert wait_for(lambda: com2.levels()[2] == 1, 5), "the new port is not open"
    time.sleep(0.3)
    changed = now_ns()
    assert com1.levels()[2] == 0, "the old port is still open"
    assert not com2.levels()[0], "the new port's PTT line is not at its idle level"
    # The next message goes out on the new port only.
    station.send("F1")
    assert run.wait_for_transmissions(com2, RTS, 1), station.stderr()
    assert station.terminate() == 0, station.stderr()
    assert all(e.ns < changed for e in com1.events()), "the old port was used after the change"
    expect_quiet_lines(com2.events(), RTS)
    sent = transmissions(com2.events(), RTS)
    assert len(sent) == 1
    expect_whole_send(sent[0], run.sink.sounds(), seconds)


def test_a_second_copy_on_the_same_port_is_told_it_is_busy_and_the_first_still_sends(run):
    device = run.device()
    wave, seconds = run.message("cq.wav", 0.2)
    first = run.station("first", waves=(wave, "", ""), ports={"COM1": device.path}).start()
    second = run.station("second", x=400, waves=(wave, "", ""), ports={"COM1": device.path})
    second.start()
    # "Prievadas užimtas" in a box of its own.
    boxes = []
    assert wait_for(lambda: boxes.extend(w for w in second.windows()
                                         if second.geometry(w)[2] != NARROW_WIDTH) or boxes, 10), \
        "the second copy showed no message box"
    assert "in use by another program" in second.stderr()
    second.key("Return", boxes[0])
    assert wait_for(lambda: len(second.windows()) == 1, 5), "the box is still shown"
    assert second.running(), "the second copy ended"
    assert second.geometry(second.windows()[0])[2] == NARROW_WIDTH, "no main window"
    first.send("F1")
    assert run.wait_for_transmissions(device, RTS, 1), first.stderr()
    sent = transmissions(device.events(), RTS)
    assert len(sent) == 1
    expect_whole_send(sent[0], run.sink.sounds(), seconds)
    assert second.pid not in {e.pid for e in device.events()}, "the second copy reached the port"
    assert second.terminate() == 0, second.stderr()
    assert first.terminate() == 0, first.stderr()


def test_sigterm_when_idle_closes_the_port_and_saves_a_choice_made_in_the_window(run):
    station, device = run.on_com1()
    station.start().click(WIDEN)
    station.click(DTR)
    time.sleep(0.3)
    assert station.terminate() == 0, station.stderr()
    assert device.levels()[2] == 0, "the port was left open"
    assert device.events()[-1].event == "close"
    saved = station.settings()
    assert "DTR=1\n" in saved and "RTS=0\n" in saved, saved
    assert f"COM1={device.path}\n" in saved, "the Ports section was lost"
