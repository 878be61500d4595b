#!/usr/bin/env python3
"""The real program end to end: key to first sample, tail, loop spacing, idle
CPU, start to window and peak memory, on the serial device double and a
private sound server (tests/e2e/README.md). Prints a Markdown table; asserts
nothing. Run by e2e_timing.sh: e2e_timing.py [TRANSMISSIONS]"""
import os
import platform
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))
from station import THUMB_AT_ONE, THUMB_AT_ZERO, Run  # noqa: E402
from lines import sound_of, transmissions  # noqa: E402

RTS = ("RTS", False)


def cpu_ms(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")


def peak_rss_mb(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
    return 0


def at(values, q):
    v = sorted(values) or [0]
    return v[min(len(v) - 1, round(q * (len(v) - 1)))]


def loop(count, idle_cpu, busy_loops):
    """A loop of count + 1 sends with a 1 s pause from the track bar; the
    first (whose pause runs during its send) is not counted."""
    run = Run()
    try:
        station, device = run.on_com1(RTS, 0.3)
        busy = [subprocess.Popen([sys.executable, "-c", "while True: pass"])
                for _ in range(busy_loops)]
        try:
            station.start()
            r = dict(start=(station.shown_ns - station.started_ns) / 1e6, idle=None, unheard=0,
                     lead=[], tail=[], spacing=[], gap=0.0)
            if idle_cpu:
                time.sleep(0.5)
                before = cpu_ms(station.pid)
                time.sleep(10)
                r["idle"] = cpu_ms(station.pid) - before
            station.key("F1")
            station.drag(THUMB_AT_ZERO, THUMB_AT_ONE)
            if not run.wait_for_transmissions(device, RTS, count + 1, count * 3, 0.2):
                print("the loop stopped early:\n" + station.stderr(), file=sys.stderr)
            station.key("Escape")
        finally:
            for p in busy:
                p.kill()
                p.wait()
        r["rss"] = peak_rss_mb(station.pid)
        station.terminate()
        sent, sounds = transmissions(device.events(), RTS), run.sink.sounds()
        for n in range(1, len(sent)):
            s = sound_of(sent[n], sounds)
            if not s or not sent[n].unkey_ns:
                r["unheard"] += 1
                continue
            r["lead"].append((s.start_ns - sent[n].key_ns) / 1e6)
            r["tail"].append((sent[n].unkey_ns - s.end_ns) / 1e6)
            r["gap"] = max(r["gap"], s.longest_gap_ms)
            if n + 1 < len(sent):
                expected = 120 + s.seconds * 1000 + r["tail"][-1] + 1000
                r["spacing"].append((sent[n + 1].key_ns - sent[n].key_ns) / 1e6 - expected)
        return r
    finally:
        run.close()


def main():
    count = max(2, int(sys.argv[1])) if len(sys.argv) > 1 else 20
    quiet, busy = loop(count, True, 0), loop(count, False, 4)
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                if line.startswith("model name")), "unknown CPU")
    print(f"Machine: {cpu}, {os.cpu_count()} cores, {platform.system()} {platform.release()}\n")
    print(f"{count} transmissions of a 0.4 s message in a loop with a 1 s pause, RTS, "
          "48 kHz null sink.\n")
    rows = [
        ("key to first sample (ms)", "median {:.1f}, p95 {:.1f}, min {:.1f}".format(
            at(quiet["lead"], .5), at(quiet["lead"], .95), at(quiet["lead"], 0)),
         "median <= 122, p95 <= 124, min >= 115"),
        ("tail: last sample to unkey (ms)", "median {:.1f}, min {:.1f}, max {:.1f}".format(
            at(quiet["tail"], .5), at(quiet["tail"], 0), at(quiet["tail"], 1)),
         "0-5, never negative"),
        ("loop spacing error (ms)", "median {:+.1f}, min {:+.1f}, max {:+.1f}".format(
            at(quiet["spacing"], .5), at(quiet["spacing"], 0), at(quiet["spacing"], 1)),
         "within 10"),
        ("transmissions without sound", str(quiet["unheard"]), "0"),
        ("CPU while idle for 10 s, port open (ms)", f"{quiet['idle']:.0f}", "< 10"),
        ("process start to window shown (ms)",
         f"{quiet['start']:.0f} (and {busy['start']:.0f} with the CPU saturated)", "< 300"),
        ("peak resident memory (MB)", f"{max(quiet['rss'], busy['rss']):.1f}", "< 60"),
        ("key to first sample, CPU saturated (ms)", "median {:.1f}, p95 {:.1f}, max {:.1f}".format(
            at(busy["lead"], .5), at(busy["lead"], .95), at(busy["lead"], 1)), "<= 150"),
        ("tail, CPU saturated (ms)", "min {:.1f}, max {:.1f}".format(
            at(busy["tail"], 0), at(busy["tail"], 1)), "never negative"),
        ("longest gap inside a message, CPU saturated (ms)",
         f"{busy['gap']:.2f} ({busy['unheard']} without sound)", "no gap"),
    ]
    print("| measure | measured | target |\n|---|---|---|")
    for row in rows:
        print("| {} | {} | {} |".format(*row))


if __name__ == "__main__":
    main()
