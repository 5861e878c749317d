"""``Simulator``: the bundled ``cnc-simulator`` program on a free loopback address, for tests."""

from __future__ import annotations

import concurrent.futures
import ctypes
import os
import random
import signal
import socket
import subprocess
import threading
from typing import IO, Dict, Iterable, List, Optional

from . import _locate

COMMAND_PORT = 60000
READY_LINE = "cnc-simulator listening on "
START_TIMEOUT = 10.0  # seconds for the program to say that it listens
STOP_TIMEOUT = 5.0
_PR_SET_PDEATHSIG = 1
_LAST_HOST = 254

_libc = ctypes.CDLL(None, use_errno=True)
_starters: Dict[int, concurrent.futures.ThreadPoolExecutor] = {}  # by process id: a fork has none of its parent's
_starters_lock = threading.Lock()  # guards _starters


def _starter() -> concurrent.futures.ThreadPoolExecutor:
    """The thread the simulators are started from. It lives as long as the process: the kernel ends a
    simulator when the thread that started it ends (see _end_with_parent), and so, with this thread,
    when the script dies in whatever way, never while it runs."""
    with _starters_lock:
        if os.getpid() not in _starters:
            _starters[os.getpid()] = concurrent.futures.ThreadPoolExecutor(1, "asynccomm simulators")
        return _starters[os.getpid()]


def _end_with_parent() -> None:
    """In the new process: be sent SIGTERM when the starting thread ends."""
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)


def _free_loopback_addresses(count: int = 1, port: int = COMMAND_PORT, attempts: int = 50) -> List[str]:
    """``count`` consecutive 127.x.y.z addresses whose ``port`` nobody holds (each bound once to check it)."""
    for _ in range(attempts):
        base = (random.randint(0, 255), random.randint(0, 255), random.randint(2, _LAST_HOST - count + 1))
        addresses = ["127.%d.%d.%d" % (base[0], base[1], base[2] + i) for i in range(count)]
        if all(_free(address, port) for address in addresses):
            return addresses
    raise OSError("no %d free loopback addresses for port %d after %d tries" % (count, port, attempts))


def _free(address: str, port: int) -> bool:
    probe = socket.socket()
    try:
        probe.bind((address, port))
        return True
    except OSError:
        return False
    finally:
        probe.close()


class Simulator:
    """A running ``cnc-simulator``, from ``start()`` (or ``with``) to ``stop()``.

    ``inject`` is a list of failure-injection rules (each one ``--inject`` RULE); ``options``
    further command-line options as a list (e.g. ``["--ftp"]``); ``address`` the address to
    listen on (default: a free one of 127.0.0.0/8); ``controllers`` how many controllers it
    serves, on consecutive addresses; ``program`` the simulator to run (default: found like the
    library: ``$ASYNCCOMM_SIMULATOR``, next to the package, the install prefix, PATH).
    ``.address`` is the (first) controller's address to give ``Controller``, ``.addresses``
    all of them; ``.output`` the lines the program printed. The program ends with the script
    that started it, however that ends.
    """

    def __init__(self, inject: Iterable[str] = (), options: Iterable[str] = (), address: Optional[str] = None,
                 program: Optional[str] = None, controllers: int = 1):
        self.program = _locate.find_simulator(program)
        if address:
            head, _, last = address.rpartition(".")
            self.addresses = [address] + ["%s.%d" % (head, int(last) + i) for i in range(1, controllers)]
        else:
            self.addresses = _free_loopback_addresses(controllers)
        self.address = self.addresses[0]
        self.arguments = [self.program, "--listen", self.address] + list(options)
        if controllers > 1:
            self.arguments += ["--controllers", str(controllers)]
        for rule in inject:
            self.arguments += ["--inject", rule]
        self.controllers = controllers
        self.output: List[str] = []
        self.errors: List[str] = []
        self._process: Optional[subprocess.Popen[str]] = None
        self._readers: List[threading.Thread] = []

    def start(self) -> "Simulator":
        """Start the program and wait until it listens; raises ``RuntimeError`` with its words when it fails."""
        self._process = process = _starter().submit(self._spawn).result()
        ready = threading.Event()
        self._readers = [threading.Thread(target=self._read, args=(process.stdout, self.output, ready), daemon=True),
                         threading.Thread(target=self._read, args=(process.stderr, self.errors, None), daemon=True)]
        for reader in self._readers:
            reader.start()
        if not ready.wait(START_TIMEOUT) or process.poll() is not None:
            self._stop()
            raise RuntimeError("%s did not start: %s" % (" ".join(self.arguments),
                                                         " ".join(self.errors).strip() or "no answer"))
        return self

    def _spawn(self) -> "subprocess.Popen[str]":
        return subprocess.Popen(self.arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, preexec_fn=_end_with_parent)

    def _read(self, stream: IO[str], lines: List[str], ready: Optional[threading.Event]) -> None:
        """Keep the program's output (both pipes are drained so that it never blocks on them)."""
        listening = 0
        for line in stream:
            lines.append(line.rstrip("\n"))
            listening += line.startswith(READY_LINE)
            if ready is not None and listening == self.controllers:
                ready.set()
        if ready is not None:
            ready.set()  # ended: start() sees the exit

    def _stop(self) -> None:
        process, self._process = self._process, None
        if process is None:
            return
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(STOP_TIMEOUT)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        for reader in self._readers:
            reader.join(STOP_TIMEOUT)

    def stop(self) -> None:
        """Stop the program (SIGTERM, then SIGKILL after 5 s); safe to call twice."""
        self._stop()

    @property
    def pid(self) -> Optional[int]:
        """The program's process id while it runs."""
        return self._process.pid if self._process is not None else None

    @property
    def running(self) -> bool:
        """Whether the program still runs."""
        return self._process is not None and self._process.poll() is None

    def __enter__(self) -> "Simulator":
        return self.start()

    def __exit__(self, *exc: object) -> None:
        self.stop()
