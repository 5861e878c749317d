"""``RemoteBuffer``: stream program text to a channel through the library's remote buffer."""

from __future__ import annotations

import ctypes
import time
from typing import Callable, List, Optional

from . import _checks, _native
from ._guard import cancelled
from .errors import Error, explained

#: The buffer's states (``RemoteBuffer.state``).
READY, BUSY, DECLARING, CLOSED, RESENDING, IDLE = range(6)
MODES = {"MDI": 0, "DNC": 1}
REQUEST_BYTES = 480  # text bytes per request of the buffer's thread
QUEUE_LIMIT = 1000  # requests the buffer queues at most (DNC)
POLL_INTERVAL = 0.01  # seconds between two looks at the buffer's state
#: Seconds ``write`` waits for room, and ``wait_idle`` and ``stream`` for progress, unless told.
DEFAULT_TIMEOUT = 30.0


class BufferStopped(Error):
    """The remote buffer stopped (state 3: not connected, or the stream broke), was closed, or a
    wait ran out; ``detail`` says why."""

    def __init__(self, text: str, address: Optional[str] = None):
        super().__init__(None, "bufWrite", note=text, address=address)


class RemoteBuffer:
    """A stream of program text to ``channel`` of the controller at ``address``.

    ``mode`` is "DNC" (one unending file) or "MDI" (each write is a block of its own, at most
    102400 bytes until ``clear``). Use it with ``with``: it is closed on exit. ``write`` waits
    for the file's declaration and for room, then queues; ``wait_idle`` waits until everything
    queued was acknowledged; ``stream`` does both with a progress callback. Every wait ends
    after ``timeout`` seconds (None: never) and on Ctrl-C; a closed buffer raises at once.
    """

    def __init__(self, address: str, channel: int = 1, mode: str = "DNC", library: Optional[ctypes.CDLL] = None):
        self._lib = library or _native.library()
        self.address = address
        self.written = 0
        self._sent = 0
        self._requests: List[int] = []  # the text bytes of each request queued, in order
        self._mode = MODES[mode]
        self._handle: Optional[int] = self._lib.bufOpen(address.encode(), MODES[mode], channel)
        if not self._handle:
            raise Error(1, "bufOpen", address=address)

    def __enter__(self) -> "RemoteBuffer":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def close(self) -> None:
        """Stop the buffer's thread; text not sent yet is dropped. Safe to call twice."""
        if self._handle:
            handle, self._handle = self._handle, None
            self._lib.bufClose(handle)

    def _open_handle(self) -> int:
        if not self._handle:
            raise BufferStopped("the buffer is closed", self.address)
        return self._handle

    @property
    def state(self) -> int:
        """The state, 0..5 (``READY``, ``BUSY``, ``DECLARING``, ``CLOSED``, ``RESENDING``, ``IDLE``);
        ``CLOSED`` once ``close`` was called."""
        return int(self._lib.getBufState(self._handle)) if self._handle else CLOSED

    @property
    def state_text(self) -> str:
        """The text of the last state change, e.g. "AppendTxt Ok"."""
        if not self._handle:
            return "closed"
        return str((self._lib.getBufStateInf(self._handle) or b"").decode("utf-8", "replace"))

    @property
    def room(self) -> int:
        """How many more bytes ``write`` takes now."""
        return int(self._lib.getBufValidCnt(self._open_handle()))

    def _wait(self, done: Callable[[], bool], timeout: Optional[float]) -> None:
        """Wait until ``done()``; raise when the buffer stops, is closed, or ``timeout`` passes."""
        deadline = None if timeout is None else time.monotonic() + timeout
        while not done():
            state = self._lib.getBufState(self._open_handle())
            if state == CLOSED and self.state_text:
                raise BufferStopped(self.state_text, self.address)
            if (deadline is not None and time.monotonic() > deadline) or cancelled():
                raise BufferStopped("timed out in state %d (%s)" % (state, explained(self.state_text)), self.address)
            time.sleep(POLL_INTERVAL)

    def write(self, text: str, timeout: Optional[float] = DEFAULT_TIMEOUT) -> None:
        """Queue ``text`` (7-bit, no NUL), in pieces that fit the room there is."""
        data = _checks.seven_bit("bufWrite", text, self.address)
        while data:
            self._wait(lambda: self.state in (READY, IDLE) and self.room > 0, timeout)
            room = self.room
            size = len(data) if len(data) <= room else room - room % REQUEST_BYTES
            piece, data = data[:size], data[size:]
            if self._lib.bufWrite(self._open_handle(), piece) != 1:
                raise BufferStopped("write refused in state %d (%s)" % (self.state, explained(self.state_text)),
                                    self.address)
            self.written += len(piece)
            self._requests += [REQUEST_BYTES] * (len(piece) // REQUEST_BYTES)
            if len(piece) % REQUEST_BYTES:
                self._requests.append(len(piece) % REQUEST_BYTES)

    def sent(self) -> int:
        """Bytes the controller has acknowledged (DNC; MDI counts only once idle); never decreases."""
        state = self.state
        if state == IDLE:
            self._sent = self.written
        elif state == READY and self._mode == MODES["DNC"] and self.room:
            queued = QUEUE_LIMIT - self.room // REQUEST_BYTES
            self._sent = max(self._sent, self.written - sum(self._requests[len(self._requests) - queued:]))
        return self._sent

    def wait_idle(self, timeout: Optional[float] = DEFAULT_TIMEOUT) -> None:
        """Wait until every queued byte was acknowledged."""
        self._wait(lambda: self.state == IDLE, timeout)

    def stream(self, text: str, progress: Optional[Callable[[int, int], None]] = None, chunk: int = 48000,
               timeout: Optional[float] = DEFAULT_TIMEOUT) -> None:
        """Send ``text`` and wait until it is acknowledged; ``progress(sent, total)`` as it goes."""
        total, start = len(text), self.written

        def idle() -> bool:
            if progress is not None:
                progress(min(total, max(0, self.sent() - start)), total)
            return self.state == IDLE
        for offset in range(0, total, chunk):
            self.write(text[offset:offset + chunk], timeout)
            idle()
        self._wait(idle, timeout)
