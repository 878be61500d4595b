"""The program operated as in a contest: repeat loops, a port changed while
running, a second copy on the same port, and the end of a session."""
import os
import time

from lines import expect_whole_send, now_ns, transmissions
from sound import wait_for
from station import (DTR, INVERTED, NARROW_WIDTH, PORT_BOX, THUMB_AT_ONE, THUMB_AT_ZERO, WIDEN,
                     expect_quiet_lines)

RTS = ("RTS", False)


def test_repeat_loops_from_the_track_bar_and_f4_keep_their_spacing_and_stop_on_escape(run):
    station, device = run.on_com1(RTS, 0.3)
    station.start().key("F1")
    # Releasing the track bar at 1 s starts the loop at once; F4 starts it
    # again with the pause it was released at.
    station.drag(THUMB_AT_ZERO, THUMB_AT_ONE)
    stops = []
    for count in (4, 8):
        if stops:
            station.key("F4")
        assert run.wait_for_transmissions(device, RTS, count, 20, 0.2), station.stderr()
        station.key("Escape")  # in the pause after the fourth cycle
        stops.append(now_ns())
        time.sleep(2.5)
        assert len(transmissions(device.events(), RTS)) == count, "the loop went on after Escape"
    events = device.events()
    station.end()
    sent, sounds = transmissions(events, RTS), run.sink.sounds()
    assert not [e for e in events if e.ns > stops[1] and e.event == "lines"]
    assert sent[4].key_ns > stops[0]
    # Each cycle heard whole, and from the second on the pause between an
    # unkey and the next key as set (the first cycle's pause runs during its
    # send): about 5 ms late on an idle machine; a busy one makes it later,
    # but less than another 60 ms tick.
    for loop in (sent[:4], sent[4:]):
        for span in loop:
            expect_whole_send(span, sounds, 0.4)
        for n, (a, b) in enumerate(zip(loop[1:], loop[2:]), 2):
            pause = (b.key_ns - a.unkey_ns) / 1e6
            print(f"cycles {n} to {n + 1}: {pause:.1f} ms from unkey to key")
            assert 1000 - 30 <= pause <= 1000 + 55, f"between cycles {n} and {n + 1}"


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
    station.end()
    assert all(e.ns < changed for e in com1.events()), "the old port was used after the change"
    expect_quiet_lines(com2.events(), RTS)
    run.expect_sends(com2, RTS, [seconds])


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
    run.expect_sends(device, RTS, [seconds])
    assert second.pid not in {e.pid for e in device.events()}, "the second copy reached the port"
    second.end()
    first.end()


def test_the_end_of_a_session(run):
    """SIGTERM when idle closes the port and saves a choice made in the
    window. A change to Inverted is followed while the port is open: a killed
    program leaves the line at its new idle level. A close by signal whose
    save fails opens no box: a line on standard error, exit 1."""
    station, device = run.on_com1()
    for choice in (DTR, INVERTED):
        station.start().click(WIDEN)
        station.click(choice)
        time.sleep(0.3)
        if choice == DTR:
            station.end()
            assert device.levels()[2] == 0, "the port was left open"
            assert device.events()[-1].event == "close"
            saved = station.settings()
            assert "DTR=1\n" in saved and "RTS=0\n" in saved, saved
            assert f"COM1={device.path}\n" in saved, "the Ports section was lost"
    station.kill()
    device.reap()
    assert device.levels()[1], "an Inverted PTT was keyed by the killed program's last close"
    # A read-only settings file is refused, even to root.
    os.chmod(station.ini, 0o444)
    station.start().end(1)
    assert "Unable to write to" in station.stderr()
