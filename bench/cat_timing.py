#!/usr/bin/env python3
"""Keyed by CAT through Debian's rigctld and its dummy radio: key (as the
radio reports it, read every millisecond) to first sample and last sample
to unkey, over single sends. Prints a Markdown table; asserts nothing.
Usage (as e2e_timing.sh sets the environment): cat_timing.py [SENDS]"""
import os
import statistics
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e/harness"))
from station import Run  # noqa: E402
from rig import Rigctld  # noqa: E402
from test_keying import cat_station  # noqa: E402
from lines import now_ns  # noqa: E402


def main(sends):
    run, rig = Run(), Rigctld()
    leads, tails = [], []
    try:
        station, _ = cat_station(run, "bench", rig.port, seconds=0.4)
        station.start()
        for _ in range(sends):
            seen, since = [], run.sink.mark()
            watch = threading.Thread(target=lambda: [seen.append((now_ns(), rig.ptt())) or
                                                     time.sleep(0.001) for _ in range(900)])
            watch.start()
            station.send("F1")
            watch.join()
            on = [t for t, keyed in seen if keyed]
            sounds = run.sink.sounds(since)
            if on and len(sounds) == 1:
                leads.append((sounds[0].start_ns - on[0]) / 1e6)
                tails.append((on[-1] - sounds[0].end_ns) / 1e6)
        station.terminate()
    finally:
        rig.stop()
        run.close()
    q = statistics.quantiles(leads, n=20) if len(leads) > 1 else leads * 19
    print(f"{len(leads)} of {sends} sends of a 0.4 s message keyed by CAT (rigctld -m 1), "
          f"{os.environ.get('ZIV_E2E_SERVER', 'pulseaudio')}\n")
    print("| measure | value |\n|---|---|")
    print(f"| key to first sample (ms) | median {statistics.median(leads):.1f}, p95 {q[18]:.1f}, "
          f"min {min(leads):.1f}, max {max(leads):.1f} |")
    print(f"| tail: last sample to unkey (ms) | median {statistics.median(tails):.1f}, "
          f"min {min(tails):.1f}, max {max(tails):.1f} |")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 20)
