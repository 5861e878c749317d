"""The exceptions: one class per kind of failure, each carrying the library's result code."""

_TEXTS = {
    0: "success, or queued in asynchronous mode",
    1: "argument out of range: unknown cncID, channel outside 1..channel count, or a bad value",
    3: "the controller's reply reported a failure",
    4: "command queue full",
    5: "text transfer stalled: the controller kept refusing a block, or the queue stayed full",
    6: "needs asynchronous mode",
    7: "not connected",
    8: "error file not ready in time",
    9: "no such error file: channel selector outside 0..8",
    10: "local UDP port not bound",
    12: "the link was renewed since the file declaration: nothing sent, start the transfer again",
    100: "controller failure (state 0); writeCncFile: the open failed",
    101: "parameters rejected by the controller; writeCncFile: a piece failed",
    102: "refused while a program runs or the file is in use; writeCncFile: the close failed",
    103: "controller memory full, or the file does not exist",
    111: "no valid reply in time",
    112: "getCurErrString: the length request failed; or a sampling request brought no point",
    113: "getCurErrString: a text request failed or brought nothing",
    200: "controller execution alarm",
}


def result_text(code):
    """The library's text for a result code (the same as ``acmResultText`` of the C headers)."""
    if code in _TEXTS:
        return _TEXTS[code]
    if code is None:
        return "no result code"
    if 100 < code < 200:
        return "controller failure: the reply's state is the code minus 100"
    return "unknown result code"


class Error(Exception):
    """A library call failed.

    ``code`` is the result code, ``function`` the C function that returned it, ``detail`` the
    result's text followed by the controller's reports (from the error callback) made during
    the call, and ``reports`` those reports as (errorCmd, cmdState, detail) tuples.
    """

    def __init__(self, code, function, reports=(), note=None):
        self.code = code
        self.function = function
        self.reports = list(reports)
        parts = [note or result_text(code)] + ["controller: %s (%d, %d)" % (d, c, s) for c, s, d in self.reports]
        self.detail = "; ".join(parts)
        super().__init__("%s returned %s: %s" % (function, code, self.detail))


class ArgumentError(Error, ValueError):
    """Code 1: an argument out of range (also an unknown target or channel)."""


class QueueFull(Error):
    """Code 4: the asynchronous client's queue already held two requests."""


class NotConnected(Error, ConnectionError):
    """Code 7: the client has no link to the controller."""


class NoReply(Error, TimeoutError):
    """Code 111: no valid reply came in time (nothing, a broken reply, or an error reply)."""


class Refused(Error):
    """Codes 100 and up (but 111..113): the controller refused; ``state`` is its state (code - 100)."""

    @property
    def state(self):
        """The controller's failure state: the code minus 100."""
        return self.code - 100


class TransferStopped(Error):
    """Code 5: a program text transfer stopped."""


class FtpFailed(Error):
    """An FTP list stopped: ``reports`` holds (20, step, reason), the step 0 connect, 1 log in, 2 upload, 4 make the folder."""

    def __init__(self, function, reports):
        super().__init__(None, function, reports, note="the FTP transfer stopped")


_CLASSES = {1: ArgumentError, 4: QueueFull, 5: TransferStopped, 7: NotConnected, 111: NoReply}


def error_for(code, function, reports=(), note=None):
    """The exception instance that fits ``code`` (``note`` replaces the code's text)."""
    cls = _CLASSES.get(code)
    if cls is None:
        cls = Refused if code >= 100 and code not in (112, 113) else Error
    return cls(code, function, reports, note)
