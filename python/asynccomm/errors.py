"""The exceptions: one class per kind of failure, each carrying the library's result code.

Every text they show is made by ``message`` from the function, its result code, the machine's
address and the controller's reports; what a code means for a function is chosen by
``meaning`` alone, and a controller's report is shown by ``report_text`` alone, both from the
meanings table that cnccomm shares (package data ``meanings.tsv``).
"""

from __future__ import annotations

import functools
import os
import pkgutil
from typing import Any, Dict, Iterable, List, NamedTuple, Optional, Sequence, Tuple, Type

#: A controller's report as the error callback gives it: (errorCmd, cmdState, detail).
Report = Tuple[int, int, str]

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


def result_text(code: Optional[int]) -> str:
    """The library's text for a result code (the same as ``acmResultText`` of the C headers)."""
    if code in _TEXTS:
        return _TEXTS[code]
    if code is None:
        return "no result code"
    if 100 < code < 200:
        return "controller failure: the reply's state is the code minus 100"
    return "unknown result code"


class _Meanings(NamedTuple):
    texts: Dict[str, str]  # a whole text -> its meaning
    prefixes: List[Tuple[str, str]]  # the start of a text whose rest is a detail -> its meaning
    results: Dict[str, str]  # "FUNCTION:CODE" ("*" for any function) -> its meaning


#: The table cnccomm compiles in; an installed package carries it as package data, the source
#: tree has it in api/.
_TABLE_IN_SOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "api",
                                 "AsyncCommModuleMeanings.tsv")
_ANY_FUNCTION = "*"
_STATE_BASE = 100  # codes 101..199 carry the controller's refusing state, but 111
_NO_VALID_REPLY = 111


def _table_bytes() -> bytes:
    try:
        data = pkgutil.get_data(__package__ or "asynccomm", "meanings.tsv")
    except OSError:
        data = None
    if data is None:
        try:
            with open(_TABLE_IN_SOURCES, "rb") as table:
                data = table.read()
        except OSError:  # without the table every code keeps the library's general text
            data = b""
    return data


@functools.lru_cache(maxsize=None)
def _meanings() -> _Meanings:
    table = _Meanings({}, [], {})
    for line in _table_bytes().decode("utf-8", "replace").split("\n"):
        fields = line.split("\t")
        if line.startswith("#") or len(fields) != 3:
            continue
        kind, key, text = fields
        if kind == "text":
            table.texts[key] = text
        elif kind == "prefix":
            table.prefixes.append((key, text))
        elif kind == "result":
            table.results[key] = text
    return table


def meaning(function: str, code: Optional[int]) -> str:
    """What ``code`` means when ``function`` returns it: the one place a code's text is chosen
    (the meanings table shared with cnccomm, looked up as cnccomm does)."""
    if code is None:
        return result_text(code)
    results = _meanings().results
    for name in (function, _ANY_FUNCTION):
        found = results.get("%s:%d" % (name, code))
        if found is not None:
            return found
    if _STATE_BASE < code < 2 * _STATE_BASE and code != _NO_VALID_REPLY:
        return "the controller refused (state %d)" % (code - _STATE_BASE)
    return result_text(code)


def text_meaning(text: str) -> str:
    """The English meaning of a controller's or the library's text, or "" when the table has none."""
    table = _meanings()
    found = table.texts.get(text)
    if found is not None:
        return found
    for prefix, means in table.prefixes:
        if text.startswith(prefix):
            rest = text[len(prefix):].strip()
            return "%s: %s" % (means, rest) if rest else means
    return ""


def explained(text: str) -> str:
    """``text`` followed by its meaning, when the table has one."""
    means = text_meaning(text)
    return "%s: %s" % (text, means) if means else text


def report_text(report: Report) -> str:
    """One controller report as a message shows it: its text, its numbers and what it means."""
    error_cmd, cmd_state, detail = report
    means = text_meaning(detail)
    return "%s (%d, %d%s)" % (detail, error_cmd, cmd_state, ": " + means if means else "")


def message(function: str, code: Optional[int], address: Optional[str], detail: str) -> str:
    """The text of an exception: the call, the machine, the code and what it means."""
    where = " on %s" % address if address else ""
    returned = " returned %s" % code if code is not None else ""
    return "%s%s%s: %s" % (function, where, returned, detail)


def detail_text(function: str, code: Optional[int], reports: Sequence[Report], count: int,
                note: Optional[str]) -> str:
    """The code's meaning (or ``note``) and the controller's reports: the first and the last only,
    with their count, so that a long wait's repeated reports keep the text short."""
    parts = [note or meaning(function, code)]
    if count == 1:
        parts.append("controller: " + report_text(reports[0]))
    elif count > 1:
        parts.append("controller, %d reports: first %s, last %s"
                     % (count, report_text(reports[0]), report_text(reports[-1])))
    return "; ".join(parts)


class Error(Exception):
    """A library call failed.

    ``code`` is the result code, ``function`` the C function that returned it, ``address`` the
    machine's, ``detail`` the result's text followed by the controller's reports (from the error
    callback) made during the call, ``reports`` the first and the last of those reports as
    (errorCmd, cmdState, detail) tuples and ``report_count`` how many there were.
    ``acknowledged`` is set by transfers: the bytes the controller took before the failure.
    ``returned`` is False when the package found the failure itself (the code is then the one the
    library gives for it) and the text says so.
    """

    acknowledged: Optional[int] = None

    def __init__(self, code: Optional[int], function: str, reports: Iterable[Report] = (),
                 note: Optional[str] = None, address: Optional[str] = None, report_count: Optional[int] = None,
                 returned: bool = True):
        reports = list(reports)
        self.code = code
        self.function = function
        self.address = address
        self.report_count = len(reports) if report_count is None else report_count
        self.reports: List[Report] = reports[:1] + reports[1:][-1:]
        self.detail = detail_text(function, code, self.reports, self.report_count, note)
        self.returned = returned
        super().__init__(message(function, code if returned else None, address, self.detail))

    def __reduce__(self) -> Tuple[Any, ...]:
        # The constructors take other arguments than the message: rebuild from the state.
        return (_rebuilt, (type(self), self.args, self.__dict__))


def _rebuilt(cls: Type[Error], args: Tuple[Any, ...], state: Dict[str, Any]) -> Error:
    error = cls.__new__(cls)
    error.args = args
    error.__dict__.update(state)
    return error


class ArgumentError(Error, ValueError):
    """Code 1: an argument out of range (also an unknown target or channel)."""


class ArgumentTypeError(Error, TypeError):
    """Code 1, found by the package before any call: an argument of the wrong type (a float or a
    str for an int)."""


class QueueFull(Error):
    """Code 4: the asynchronous client's queue already held two requests."""


class NotConnected(Error, ConnectionError):
    """Code 7: the client has no link to the controller."""


class NoReply(Error, TimeoutError):
    """Code 111: no valid reply came in time (nothing, a broken reply, or an error reply)."""


class Refused(Error):
    """Codes 100 and up (but 111..113): the controller refused; ``state`` is its state (code - 100)."""

    @property
    def state(self) -> int:
        """The controller's failure state: the code minus 100."""
        return (self.code or 0) - 100


class TransferStopped(Error):
    """Code 5: a program text transfer stopped (also when it waited longer than its timeout)."""


class TransferInterrupted(KeyboardInterrupt):
    """Ctrl-C ended a transfer: ``acknowledged`` of ``total`` bytes were taken by the controller.
    The transfer was ended and the link opened again before this was raised."""

    def __init__(self, text: str, acknowledged: int, total: int):
        super().__init__(text, acknowledged, total)
        self.acknowledged = acknowledged
        self.total = total

    def __str__(self) -> str:
        return str(self.args[0])


class FtpFailed(Error):
    """An FTP list stopped: ``reports`` holds (20, step, reason), the step 0 connect, 1 log in, 2 upload, 4 make the folder."""

    def __init__(self, function: str, reports: Iterable[Report], address: Optional[str] = None):
        super().__init__(None, function, reports, note="the FTP transfer stopped", address=address)


_CLASSES: Dict[int, Type[Error]] = {1: ArgumentError, 4: QueueFull, 5: TransferStopped, 7: NotConnected,
                                    111: NoReply}


def error_for(code: int, function: str, reports: Iterable[Report] = (), note: Optional[str] = None,
              address: Optional[str] = None, report_count: Optional[int] = None) -> Error:
    """The exception instance that fits ``code`` (``note`` replaces the code's text)."""
    cls = _CLASSES.get(code)
    if cls is None:
        cls = Refused if code >= 100 and code not in (112, 113) else Error
    return cls(code, function, reports, note, address, report_count)
