"""``RemoteBuffer``: stream program text to a channel through the library's remote buffer."""

import time

from . import _native
from .errors import Error

#: The buffer's states (``RemoteBuffer.state``).
READY, BUSY, DECLARING, CLOSED, RESENDING, IDLE = range(6)
MODES = {"MDI": 0, "DNC": 1}
REQUEST_BYTES = 480  # text bytes per request of the buffer's thread
QUEUE_LIMIT = 1000  # requests the buffer queues at most (DNC)
POLL_INTERVAL = 0.01  # seconds between two looks at the buffer's state


class BufferStopped(Error):
    """The remote buffer stopped (state 3: not connected, or the stream broke); ``detail`` says why."""

    def __init__(self, text):
        super().__init__(None, "bufWrite", note=text)


class RemoteBuffer:
    """A stream of program text to ``channel`` of the controller at ``address``.

    ``mode`` is "DNC" (one unending file) or "MDI" (each write is a block of its own, at most
    102400 bytes until ``clear``). Use it with ``with``: it is closed on exit. ``write`` waits
    for the file's declaration and for room, then queues; ``wait_idle`` waits until everything
    queued was acknowledged; ``stream`` does both with a progress callback.
    """

    def __init__(self, address, channel=1, mode="DNC", library=None):
        self._lib = library or _native.library()
        self.written = 0
        self._sent = 0
        self._requests = []  # the text bytes of each request queued, in order
        self._mode = MODES[mode]
        self._handle = self._lib.bufOpen(address.encode(), MODES[mode], channel)
        if not self._handle:
            raise Error(1, "bufOpen")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Stop the buffer's thread; text not sent yet is dropped. Safe to call twice."""
        if self._handle:
            handle, self._handle = self._handle, None
            self._lib.bufClose(handle)

    @property
    def state(self):
        """The state, 0..5 (``READY``, ``BUSY``, ``DECLARING``, ``CLOSED``, ``RESENDING``, ``IDLE``)."""
        return self._lib.getBufState(self._handle)

    @property
    def state_text(self):
        """The text of the last state change, e.g. "AppendTxt Ok"."""
        return (self._lib.getBufStateInf(self._handle) or b"").decode("utf-8", "replace")

    @property
    def room(self):
        """How many more bytes ``write`` takes now."""
        return self._lib.getBufValidCnt(self._handle)

    def _wait(self, done, timeout):
        """Wait until ``done()``; raise when the buffer stops or ``timeout`` passes."""
        deadline = time.monotonic() + timeout
        while not done():
            state = self.state
            if state == CLOSED and self.state_text:
                raise BufferStopped(self.state_text)
            if time.monotonic() > deadline:
                raise BufferStopped("timed out in state %d (%s)" % (state, self.state_text))
            time.sleep(POLL_INTERVAL)

    def write(self, text, timeout=10.0):
        """Queue ``text`` (7-bit), in pieces that fit the room there is."""
        data = text.encode("ascii")
        while data:
            self._wait(lambda: self.state in (READY, IDLE) and self.room > 0, timeout)
            room = self.room
            size = len(data) if len(data) <= room else room - room % REQUEST_BYTES
            piece, data = data[:size], data[size:]
            if self._lib.bufWrite(self._handle, piece) != 1:
                raise BufferStopped("write refused in state %d (%s)" % (self.state, self.state_text))
            self.written += len(piece)
            self._requests += [REQUEST_BYTES] * (len(piece) // REQUEST_BYTES)
            if len(piece) % REQUEST_BYTES:
                self._requests.append(len(piece) % REQUEST_BYTES)

    def sent(self):
        """Bytes the controller has acknowledged (DNC; MDI counts only once idle); never decreases."""
        state, room = self.state, self.room
        if state == IDLE:
            self._sent = self.written
        elif state in (READY, IDLE) and self._mode == MODES["DNC"] and room:
            queued = QUEUE_LIMIT - room // REQUEST_BYTES
            self._sent = max(self._sent, self.written - sum(self._requests[len(self._requests) - queued:]))
        return self._sent

    def wait_idle(self, timeout=30.0):
        """Wait until every queued byte was acknowledged."""
        self._wait(lambda: self.state == IDLE, timeout)

    def stream(self, text, progress=None, chunk=48000, timeout=30.0):
        """Send ``text`` and wait until it is acknowledged; ``progress(sent, total)`` as it goes."""
        total, start = len(text), self.written
        report = (lambda: progress(min(total, max(0, self.sent() - start)), total)) if progress else (lambda: None)
        for offset in range(0, total, chunk):
            self.write(text[offset:offset + chunk], timeout)
            report()
        self._wait(lambda: report() or self.state == IDLE, timeout)
        report()
