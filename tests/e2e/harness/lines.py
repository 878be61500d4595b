"""The PTT lines as the serial double logs them, and the send heard inside a
keyed span, on the clock of the sound recording and Wine's performance counter."""
import collections
import dataclasses
import fcntl
import os
import struct
import time

Event = collections.namedtuple("Event", "ns device event rts dtr pid")


@dataclasses.dataclass
class Span:
    """A time a PTT line sat keyed; cause: "lines" (the program), "open" (the
    port's opening, or the set-up just after it), "close"/"reap" (the last close)."""
    key_ns: int
    cause: str
    unkey_ns: int = None
    ms = property(lambda self: (self.unkey_ns - self.key_ns) / 1e6)


def now_ns():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW)


def raw_minus_monotonic():
    """Of the log's CLOCK_MONOTONIC (only NTP slews it), from the closest pair."""
    def pair():
        before, mono, after = now_ns(), time.clock_gettime_ns(time.CLOCK_MONOTONIC), now_ns()
        return after - before, (before + after) // 2 - mono
    return min(pair() for _ in range(5))[1]


def level(event, line):
    return event.rts if line == "RTS" else event.dtr


def keyed_spans(events, ptt, opening_s=0.05):
    """The spans `ptt` = (line, inverted) sat keyed; none sends within opening_s of an open."""
    line, inverted = ptt
    spans, keyed, opened = [], False, None
    for e in events:
        opened = e.ns if e.event == "open" else opened
        now = level(e, line) != inverted
        if now and not keyed:
            at_open = e.event == "lines" and opened is not None and e.ns - opened < opening_s * 1e9
            spans.append(Span(e.ns, "open" if at_open else e.event))
        elif keyed and not now:
            spans[-1].unkey_ns = e.ns
        keyed = now
    return spans


def transmissions(events, ptt, opening_s=0.05):
    return [s for s in keyed_spans(events, ptt, opening_s) if s.cause == "lines"]


def sound_of(span, sounds, after_s=0.25):
    """The first sound begun inside the keyed window (to after_s past it)."""
    return next((s for s in sounds if s.start_ns >= span.key_ns and (
        span.unkey_ns is None or s.start_ns <= span.unkey_ns + after_s * 1e9)), None)


# Two 60 ms ticks: one tick fails. A busy machine only makes the first sample
# later (by 90 ms seen), so the latest is five times the idle figure.
EARLIEST_MS, LATEST_MS, LONGEST_TAIL_MS = 105, 600, 250
BROKE_OFF = "the sound broke off inside the message"


def expect_whole_send(span, sounds, seconds, tail_floor_ms=-1.0, silence_ms=(0, 0),
                      tolerance_s=0.003):
    """Heard whole at its own rate inside the keyed window, a key-up delay (and the file's
    opening silence) after keying, unkeyed after its end (tail_floor_ms: the dating's
    error, a resampler's smeared edges). Prints and returns (lead, tail) in ms."""
    assert span.unkey_ns is not None, "the transmitter stayed keyed"
    s = sound_of(span, sounds)
    assert s, f"keyed for {span.ms:.0f} ms and nothing was heard"
    lead, tail = (s.start_ns - span.key_ns) / 1e6, (span.unkey_ns - s.end_ns) / 1e6
    print(f"key to first sample {lead:.1f} ms, last sample to unkey {tail:.1f} ms, {s}")
    assert EARLIEST_MS <= lead - silence_ms[0] <= LATEST_MS, "key-up delay"
    assert tail_floor_ms <= tail - silence_ms[1] <= LONGEST_TAIL_MS, "unkeyed over the end, or late"
    assert s.whole, "the message was clipped (a marker is missing)"
    assert s.longest_gap_ms < 1.0, BROKE_OFF
    # A message played at another rate would be longer or shorter.
    assert abs(s.seconds - seconds) <= tolerance_s, "heard for another length"
    return lead, tail


class Device:
    """A served file; its state one record (device_state.h) in <path>.state."""
    # int opens; int owners[16][2]; bool rts, dtr, exclusive; termios (its
    # c_cflag after c_iflag and c_oflag).
    RECORD = struct.Struct("=i32i3?x3I")
    HUPCL = 0o2000

    def __init__(self, path, log):
        self.path, self.log = path, log

    def reset(self):  # as newly plugged in: the double starts a missing record fresh
        open(self.path, "w").close()
        if os.path.exists(self.path + ".state"):
            os.remove(self.path + ".state")

    def events(self):
        """Sorted: several processes append, each stamp a little before."""
        offset, events = raw_minus_monotonic(), []
        for f in (t.split() for t in open(self.log)) if os.path.exists(self.log) else ():
            if len(f) == 6 and f[1] == self.path:
                events.append(Event(int(f[0]) + offset, f[1], f[2], f[3] == "rts=1",
                                    f[4] == "dtr=1", int(f[5][4:])))
        return sorted(events, key=lambda e: e.ns)

    def _record(self, f):
        data = f.read(self.RECORD.size)
        return list(self.RECORD.unpack(data)) if len(data) == self.RECORD.size else None

    def levels(self):
        """(rts, dtr, opens) now; a device never opened is low and closed."""
        if not os.path.exists(self.path + ".state"):
            return False, False, 0
        with open(self.path + ".state", "rb") as f:
            fcntl.flock(f, fcntl.LOCK_SH)
            r = self._record(f)
        return (r[33], r[34], r[0]) if r else (False, False, 0)

    def reap(self):
        """The kernel's close for a killed process (logged `reap`), once waited for."""
        if not os.path.exists(self.path + ".state"):
            return
        with open(self.path + ".state", "r+b") as f:
            fcntl.flock(f, fcntl.LOCK_EX)
            r = self._record(f)
            for k in range(16):
                pid, opens = r[1 + 2 * k], r[2 + 2 * k]
                if opens <= 0 or os.path.exists(f"/proc/{pid}"):
                    continue
                r[0] = max(r[0] - opens, 0)
                r[2 + 2 * k] = 0
                if r[0] == 0:
                    if r[38] & self.HUPCL:
                        r[33] = r[34] = False
                    r[35] = False
                f.seek(0)
                f.write(self.RECORD.pack(*r))
                f.flush()
                with open(self.log, "a") as log:
                    log.write(f"{time.clock_gettime_ns(time.CLOCK_MONOTONIC)} {self.path} reap "
                              f"rts={int(r[33])} dtr={int(r[34])} pid={pid}\n")
