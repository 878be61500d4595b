"""Hamlib's rigctld with its dummy radio, for the keying scenarios."""
import socket
import subprocess
import time

from lines import now_ns
from sound import quiet_env, wait_for


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Rigctld:
    """Debian's rigctld on loopback, and a client that watches its PTT."""

    def __init__(self):
        self.port = free_port()
        self.proc = subprocess.Popen(["rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1",
                                      "-t", str(self.port)], env=quiet_env())
        assert wait_for(self.connect, 10, 0.05), "rigctld did not listen"

    def connect(self):
        try:
            self.sock = socket.create_connection(("127.0.0.1", self.port), timeout=2)
            return True
        except OSError:
            return False

    def ptt(self):
        self.sock.sendall(b"t\n")
        return self.sock.recv(64).strip() == b"1"

    def watch(self, seconds):
        """(time, keyed) every 2 ms for `seconds`."""
        seen, end = [], time.monotonic() + seconds
        while time.monotonic() < end:
            seen.append((now_ns(), self.ptt()))
            time.sleep(0.002)
        return seen

    def stop(self):
        self.sock.close()
        self.proc.terminate()
        self.proc.wait()
