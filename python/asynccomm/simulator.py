"""``Simulator``: the bundled ``cnc-simulator`` program on a free loopback address, for tests."""

import random
import socket
import subprocess
import threading

from . import _locate

COMMAND_PORT = 60000
READY_LINE = "cnc-simulator listening on "
START_TIMEOUT = 10.0  # seconds for the program to say that it listens
STOP_TIMEOUT = 5.0


def _free_loopback_address(port=COMMAND_PORT, attempts=50):
    """A 127.x.y.z address whose ``port`` nobody holds (bound once to check it)."""
    for _ in range(attempts):
        address = "127.%d.%d.%d" % (random.randint(0, 255), random.randint(0, 255), random.randint(2, 254))
        probe = socket.socket()
        try:
            probe.bind((address, port))
            return address
        except OSError:
            continue
        finally:
            probe.close()
    raise OSError("no free loopback address for port %d after %d tries" % (port, attempts))


class Simulator:
    """A running ``cnc-simulator``, from ``start()`` (or ``with``) to ``stop()``.

    ``inject`` is a list of failure-injection rules (each one ``--inject`` RULE); ``options``
    further command-line options as a list (e.g. ``["--ftp"]``); ``address`` the address to
    listen on (default: a free one of 127.0.0.0/8); ``program`` the simulator to run (default:
    found like the library: ``$ASYNCCOMM_SIMULATOR``, next to the package, the install prefix,
    PATH). ``.address`` is the controller's address to give ``Controller``; ``.output`` the
    lines the program printed at its start.
    """

    def __init__(self, inject=(), options=(), address=None, program=None):
        self.program = _locate.find_simulator(program)
        self.address = address or _free_loopback_address()
        self.arguments = [self.program, "--listen", self.address] + list(options)
        for rule in inject:
            self.arguments += ["--inject", rule]
        self.output = []
        self.errors = []
        self._process = None

    def start(self):
        """Start the program and wait until it listens; raises ``RuntimeError`` with its words when it fails."""
        self._process = subprocess.Popen(self.arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, text=True)
        ready = threading.Event()
        self._readers = [threading.Thread(target=self._read, args=(self._process.stdout, self.output, ready),
                                          daemon=True),
                         threading.Thread(target=self._read, args=(self._process.stderr, self.errors, None),
                                          daemon=True)]
        for reader in self._readers:
            reader.start()
        if not ready.wait(START_TIMEOUT) or self._process.poll() is not None:
            self._stop()
            raise RuntimeError("%s did not start: %s" % (" ".join(self.arguments),
                                                         " ".join(self.errors).strip() or "no answer"))
        return self

    @staticmethod
    def _read(stream, lines, ready):
        """Keep the program's output (both pipes are drained so that it never blocks on them)."""
        for line in stream:
            lines.append(line.rstrip("\n"))
            if ready is not None and line.startswith(READY_LINE):
                ready.set()
        if ready is not None:
            ready.set()  # ended: start() sees the exit

    def _stop(self):
        process, self._process = self._process, None
        if process is None:
            return ""
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(STOP_TIMEOUT)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        for reader in self._readers:
            reader.join(STOP_TIMEOUT)

    def stop(self):
        """Stop the program (SIGTERM, then SIGKILL after 5 s); safe to call twice."""
        self._stop()

    @property
    def running(self):
        """Whether the program still runs."""
        return self._process is not None and self._process.poll() is None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
