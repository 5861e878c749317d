"""``Controller``: one controller as a context manager, with Pythonic methods that raise on failure."""

from __future__ import annotations

import array
import asyncio
import concurrent.futures
import ctypes
import functools
import logging
import os
import threading
import time
import weakref
from typing import (TYPE_CHECKING, Any, Callable, Coroutine, Iterable, List, Optional, Sequence, Set, Tuple,
                    TypeVar, Union)

from . import _checks, _native
from ._guard import cancelled, current
from .buffer import RemoteBuffer
from .errors import (ArgumentError, Error, NotConnected, Report, TransferInterrupted, TransferStopped, detail_text,
                     error_for, message, report_text)
from .ftp import wait_for_upload

if TYPE_CHECKING:
    from typing import Concatenate, ParamSpec
    _P = ParamSpec("_P")
_R = TypeVar("_R")

logger = logging.getLogger("asynccomm")

#: The milliseconds ``setReplyTimeout`` and ``setPollInterval`` take besides 0 (the default).
REPLY_TIMEOUT_RANGE = (100, 60000)
POLL_INTERVAL_RANGE = (1, 60000)
#: Seconds a program transfer may go without the controller taking a block (``timeout``'s default).
DEFAULT_TIMEOUT = 60.0
OnError = Callable[[int, int, str], None]
Path = Union[str, "os.PathLike[str]"]

_BIT_READERS = {"I": "getIBit", "O": "getOBit", "C": "getCBit", "S": "getSBit", "A": "getABit"}
_BIT_WRITERS = {"O": "setPlcOBit", "C": "setCBit", "S": "setSBit", "A": "setABit"}
FTP_STOPPED = 20  # errorCmd of a report that an FTP list stopped
_TEXT_SIZE = 1024  # the library's output texts are cut to 1023 bytes plus the NUL
_FIRST_ID = 1
_ID_SEARCH = 4096  # cncIDs tried at most when looking for a free one
_PIECE = 399  # text bytes per transfer call: one block of the library's 400 (a full one adds an empty block)
_WAIT_SLICE = 0.05  # seconds between two looks at a wait's deadline, its cancellation and Ctrl-C
# The cncIDs of this package's Controllers, each from before its target is added until every call
# that named it has returned after its removal: a call that read its cncID just before a close
# must never reach another Controller's target added under the same cncID.
_ids_lock = threading.Lock()  # guards _ids_in_use
_ids_in_use: Set[int] = set()


def _reserve(cnc_id: int) -> bool:
    with _ids_lock:
        if cnc_id in _ids_in_use:
            return False
        _ids_in_use.add(cnc_id)
        return True


def _release(cnc_id: int) -> None:
    with _ids_lock:
        _ids_in_use.discard(cnc_id)


class _Reports:
    """The controller's reports made during one call or one transfer: the first, the last, how many."""

    __slots__ = ("reports", "count")

    def __init__(self) -> None:
        self.reports: List[Report] = []
        self.count = 0

    def add(self, report: Report) -> None:
        if len(self.reports) < 2:
            self.reports.append(report)
        else:
            self.reports[1] = report
        self.count += 1


class _Call:
    """A library call running on this thread: its Controller and where its reports go."""

    __slots__ = ("controller", "reports")

    def __init__(self, controller: "Controller", reports: _Reports) -> None:
        self.controller = controller
        self.reports = reports


def _dispatch(controller: "weakref.ref[Controller]", error_cmd: int, cmd_state: int, detail: Optional[bytes]) -> None:
    """The error callback (on the library's threads); holds no reference that keeps a Controller alive."""
    target = controller()
    if target is not None:
        target._on_report(error_cmd, cmd_state, detail)


def _twin(method: "Callable[Concatenate[Controller, _P], _R]"
          ) -> "Callable[Concatenate[Controller, _P], Coroutine[Any, Any, _R]]":
    """The coroutine face of ``method``: it runs on the Controller's own worker thread, so that a
    silent machine never holds a thread another machine needs; cancelling it ends its wait."""

    async def run(self: Controller, /, *args: "_P.args", **kwargs: "_P.kwargs") -> _R:
        cancel = threading.Event()

        def job() -> _R:
            current.cancel = cancel
            try:
                return method(self, *args, **kwargs)
            finally:
                current.cancel = None

        future = asyncio.get_running_loop().run_in_executor(self._executor(), job)
        try:
            return await future
        except asyncio.CancelledError:
            cancel.set()
            raise

    run.__name__ = method.__name__ + "_async"
    run.__doc__ = "Coroutine of ``%s``, run on the Controller's own thread." % method.__name__
    return run


class Controller:
    """One controller (a target of the library) from ``with`` to its end.

    ``address`` is the controller's address ("host", "host:port" or a serial line
    "serial:DEVICE[,BAUD[,8N1[,station|colon]]]", as the library's header says); ``channels`` its channel
    count (1..99); ``asynchronous`` makes the target-level client asynchronous (background
    polling of registered variables: reads then answer from the poll and commands return once
    queued). ``cnc_id`` is chosen automatically unless given. ``on_error`` receives every report
    of the controller as ``on_error(error_cmd, cmd_state, detail)``; without it a report made
    during a call that fails is part of its exception, and any other is logged to the logger
    "asynccomm" as a warning. Every method raises an ``asynccomm.Error`` subclass when the call
    fails; arguments the library would refuse or change are refused before anything is sent.

    Each method ``name`` has a coroutine twin ``name_async`` that runs it on this Controller's
    own thread, so that an ``asyncio`` program is never blocked by a reply wait.

    Any thread may use a Controller, and several Controllers at once, as the library allows:
    making or closing one holds up no call on another. ``close`` ends the calls still running
    on this one (a later step of theirs raises ``NotConnected``) and returns once they have.
    ``reconnect`` beside running calls makes those that find the link down raise
    ``NotConnected``. Each call waits at most the library's reply wait (1.8 s per request, or
    ``reply_timeout`` seconds); an asynchronous Controller polls its registered variables back to
    back, or one poll per ``poll_interval`` seconds; the
    program transfers wait on for a controller that takes nothing for up to ``timeout`` seconds
    (Ctrl-C ends them too).
    ``on_error`` runs on the library's threads: it must return quickly and must not call the
    library (no Controller), nor keep ``detail`` beyond the call.
    """

    def __init__(self, address: str, channels: int = 1, asynchronous: bool = False, cnc_id: Optional[int] = None,
                 on_error: Optional[OnError] = None, library: Optional[str] = None,
                 reply_timeout: Optional[float] = None, poll_interval: Optional[float] = None):
        _checks.target(address, channels)
        timing = [(_checks.milliseconds("setReplyTimeout", address, reply_timeout, REPLY_TIMEOUT_RANGE),
                   "setReplyTimeout"),
                  (_checks.milliseconds("setPollInterval", address, poll_interval, POLL_INTERVAL_RANGE),
                   "setPollInterval")]
        self.address = address
        self.channels = channels
        self.asynchronous = asynchronous
        self.on_error = on_error
        self.cnc_id: Optional[int] = None
        self._lib = _native.library(library)
        self._state = threading.Condition(threading.Lock())  # guards cnc_id and _running
        self._running = 0  # this Controller's calls inside the library
        self._callback = _native.ErrCallbackFunc(functools.partial(_dispatch, weakref.ref(self)))
        self._ftp_failure: Optional[Report] = None  # the last FTP report; written on the library's FTP thread
        self._worker: Optional[concurrent.futures.ThreadPoolExecutor] = None
        self._worker_lock = threading.Lock()  # guards _worker
        self._error_file_lock = threading.Lock()  # the library keeps one error-file text per target
        self._last_request: Tuple[List[int], "array.array[int]"] = ([], array.array("i"))
        self._transfers: Set[_Transfer] = set()  # running; close() ends their waits
        self._add(cnc_id)
        try:
            for ms, name in timing:
                if ms:
                    self._set_timing(name, ms)
            self._connect()
        except BaseException:
            self.close()
            raise

    # ---- life cycle -----------------------------------------------------------------------
    def _add(self, wanted: Optional[int]) -> None:
        """Add the target under ``wanted``, or under the first cncID free (the arguments passed the
        library's rules already, so a refusal means that the cncID is taken)."""
        host, mask = self.address.encode(), 1 if self.asynchronous else 0
        candidates = [wanted] if wanted is not None else range(_FIRST_ID, _FIRST_ID + _ID_SEARCH)
        for cnc_id in candidates:
            if not _reserve(cnc_id):
                continue
            if self._lib.addTargetCnc(cnc_id, self.channels, host, mask):
                self._lib.setErrCallbackFunc(self._callback, cnc_id)
                self.cnc_id = cnc_id
                return
            _release(cnc_id)  # the target of someone who uses the library without this package
            if self.address.startswith(_checks.SERIAL_PREFIX):
                raise _checks.refused(ArgumentError, "addTargetCnc", self.address,
                                      "the library refused the serial line's settings, or cncID %d is taken" % cnc_id)
        if wanted is not None:
            raise _checks.refused(ArgumentError, "addTargetCnc", self.address, "cncID %d is taken" % wanted)
        raise _checks.refused(Error, "addTargetCnc", self.address,
                              "no free cncID among %d..%d" % (_FIRST_ID, _FIRST_ID + _ID_SEARCH - 1), None)

    def _connect(self) -> None:
        if not self._invoke("connect", (), _Reports()):
            raise self._error(7, "connect", _Reports())

    def _disconnect(self) -> None:
        self._invoke("disconnect", (), _Reports())

    def reconnect(self) -> None:
        """Close the links and open them afresh (after the controller went away, or a failure);
        raises ``NotConnected`` when the controller cannot be reached."""
        self._disconnect()
        self._connect()

    def close(self) -> None:
        """Disconnect and remove the target; safe to call twice, from any thread but inside one
        of its own calls (``on_error``). A transfer waiting for controller memory is ended first;
        the calls still running end as the removal makes them, and close returns once they have."""
        for transfer in list(self._transfers):
            transfer.stop.set()
        call: Optional[_Call] = getattr(current, "call", None)
        if call is not None and call.controller is self:
            raise RuntimeError("a Controller cannot be closed inside one of its own calls")
        with self._state:
            cnc_id, self.cnc_id = self.cnc_id, None
        if cnc_id is None:
            return
        self._lib.disconnect(cnc_id)
        self._lib.setErrCallbackFunc(_native.ErrCallbackFunc(0), cnc_id)
        self._lib.removeTargetCnc(cnc_id)
        with self._state:
            self._state.wait_for(lambda: not self._running)
        _release(cnc_id)
        with self._worker_lock:
            if self._worker is not None:
                self._worker.shutdown(wait=False, cancel_futures=True)

    def __enter__(self) -> "Controller":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:  # an interpreter shutting down may have unloaded what close needs
            pass

    def _executor(self) -> concurrent.futures.ThreadPoolExecutor:
        """The one thread the ``_async`` twins run on (the library serialises a client anyway)."""
        with self._worker_lock:
            if self._worker is None:
                self._worker = concurrent.futures.ThreadPoolExecutor(1, "asynccomm %s" % self.address)
            return self._worker

    # ---- calling the library ----------------------------------------------------------------
    def _id(self, name: str) -> int:
        if self.cnc_id is None:
            raise _checks.refused(NotConnected, name, self.address, "the Controller is closed", 7)
        return self.cnc_id

    def _on_report(self, error_cmd: int, cmd_state: int, detail: Optional[bytes]) -> None:
        """The error callback: a report made during a call goes with that call, any other is logged."""
        report = (error_cmd, cmd_state, (detail or b"").decode("utf-8", "replace"))
        if error_cmd == FTP_STOPPED:
            self._ftp_failure = report
        call: Optional[_Call] = getattr(current, "call", None)
        during = call is not None and call.controller is self
        if call is not None and during:
            call.reports.add(report)
        try:
            if self.on_error is not None:
                self.on_error(*report)
            elif not during:
                logger.warning("%s", message("report", None, self.address, "controller: " + report_text(report)))
        except Exception:  # nothing may cross back into the library's thread
            logger.exception("the on_error callable failed")

    def _invoke(self, name: str, args: Sequence[Any], reports: _Reports) -> Any:
        """Call export ``name`` with ``args`` and the cncID; its reports go to ``reports``."""
        with self._state:
            cnc_id = self._id(name)
            self._running += 1
        outer = getattr(current, "call", None)
        current.call = _Call(self, reports)
        try:
            return getattr(self._lib, name)(*args, cnc_id)
        finally:
            current.call = outer
            with self._state:
                self._running -= 1
                if not self._running:
                    self._state.notify_all()

    def call(self, name: str, *args: Any) -> Any:
        """Call export ``name`` with ``args`` and this target's cncID last; return its raw result."""
        reports = _Reports()
        current.last_reports = reports.reports
        return self._invoke(name, args, reports)

    @property
    def last_reports(self) -> List[Report]:
        """The first and last of the controller's reports made during this thread's last ``call``."""
        return list(getattr(current, "last_reports", []))

    def _check(self, name: str, *args: Any, reports: Optional[_Reports] = None) -> None:
        """Call ``name`` and raise the fitting Error unless it returned 0."""
        own = reports is None
        reports = reports or _Reports()
        code = self._invoke(name, args, reports)
        if code != 0:
            raise self._error(code, name, reports)
        if own:
            self._log(name, reports)

    def _error(self, code: int, name: str, reports: _Reports, note: Optional[str] = None) -> Error:
        if self.cnc_id is None and code in (1, 7):  # the target was removed under the call
            return _checks.refused(NotConnected, name, self.address, "the Controller was closed meanwhile", 7)
        return error_for(code, name, reports.reports, note, self.address, reports.count)

    def _log(self, name: str, reports: _Reports) -> None:
        """Reports made during a call that succeeded (a refused block sent again, say) are logged."""
        if reports.count and self.on_error is None:
            logger.warning("%s", message(name, 0, self.address, detail_text(name, 0, reports.reports, reports.count,
                                                                            "done after the controller's reports")))

    def _outputs(self, name: str, count: int, *args: Any) -> List[int]:
        """Call ``name`` with ``args`` followed by ``count`` CncLong outputs; return their values."""
        outputs = [_native.CncLong() for _ in range(count)]
        self._check(name, *args, *[ctypes.byref(o) for o in outputs])
        return [o.value for o in outputs]

    def _addresses(self, name: str, addresses: Iterable[int]) -> "array.array[int]":
        """The addresses as an array, the last one reused while the same addresses come again
        (a monitor reads one list over and over: comparing is cheaper than converting)."""
        last, converted = self._last_request
        if addresses == last:
            return converted
        converted = _checks.int32s(name, addresses, self.address, "address")
        if isinstance(addresses, list):
            self._last_request = (list(addresses), converted)
        return converted

    # ---- timing ---------------------------------------------------------------------------------
    def _set_timing(self, name: str, ms: int) -> None:
        if not hasattr(self._lib, name):
            raise _checks.refused(Error, name, self.address, "the library predates it (version ACM_1.1)", None)
        self._check(name, ms)

    def set_reply_timeout(self, seconds: Optional[float]) -> None:
        """How long each request waits for its reply: 0.1..60 s, or None (or 0) for the library's
        1.8 s. Holds for every client of this Controller, across reconnects (``setReplyTimeout``)."""
        self._set_timing("setReplyTimeout",
                         _checks.milliseconds("setReplyTimeout", self.address, seconds, REPLY_TIMEOUT_RANGE))

    def set_poll_interval(self, seconds: Optional[float]) -> None:
        """The least time between the starts of two background polls of the registered variables
        (an asynchronous Controller): 0.001..60 s, or None (or 0) to poll back to back
        (``setPollInterval``)."""
        self._set_timing("setPollInterval",
                         _checks.milliseconds("setPollInterval", self.address, seconds, POLL_INTERVAL_RANGE))

    # ---- link ---------------------------------------------------------------------------------
    @property
    def connected(self) -> bool:
        """Whether the controller answers on the target client's link (one request, ``getTcpConnectFlag``)."""
        return self.cnc_id is not None and bool(self._invoke("getTcpConnectFlag", (), _Reports()))

    def watchdog(self) -> None:
        """Ask the controller whether it is alive; raises unless it answered so."""
        self._check("CheckTcpWdt")

    # ---- variables and bits -----------------------------------------------------------------
    def read_vars(self, addresses: Iterable[int]) -> List[int]:
        """The values of the variables at ``addresses`` (ints, in the same order).

        On an asynchronous Controller nothing is sent: the values are those the background poll
        last read (see ``register_vars``); ``NoReply`` while any of them has not been read by a
        poll since it was registered or since the link was opened.
        """
        request = self._addresses("readVars", addresses)
        values = array.array("i", bytes(4 * len(request)))
        self._check("readVars", _native.pointer(request), len(request), _native.pointer(values))
        return values.tolist()

    def write_vars(self, values: "dict[int, int]") -> None:
        """Write ``{address: value, ...}`` (values are ints, signed 32-bit)."""
        addresses = _checks.int32s("writeVars", values.keys(), self.address, "address")
        data = _checks.int32s("writeVars", values.values(), self.address)
        self._check("writeVars", _native.pointer(addresses), len(addresses), _native.pointer(data))

    def register_vars(self, addresses: Iterable[int]) -> None:
        """Add variables to the background poll (asynchronous Controllers)."""
        request = _checks.int32s("registerVars", addresses, self.address, "address")
        self._check("registerVars", _native.pointer(request), len(request))

    def remove_vars(self, addresses: Iterable[int]) -> None:
        """Take variables out of the background poll."""
        request = _checks.int32s("removeVars", addresses, self.address, "address")
        self._check("removeVars", _native.pointer(request), len(request))

    def clear_vars(self) -> None:
        """Take every variable and bit out of the background poll."""
        self._check("clearVars")

    def read_bits(self, channel: int, bit_type: int, bits: Iterable[int]) -> List[int]:
        """The bits ``bits`` (numbers from 0) of bit table ``bit_type`` (0..6) of ``channel``: 0 or 1 each."""
        request = _checks.bit_numbers("readBits", bits, self.address)
        values = array.array("i", bytes(4 * len(request)))
        self._check("readBits", channel, bit_type, _native.pointer(request), len(request), _native.pointer(values))
        return values.tolist()

    def register_bits(self, channel: int, bit_type: int, bits: Iterable[int]) -> None:
        """Add bits to the background poll (asynchronous Controllers only)."""
        request = _checks.bit_numbers("registerBits", bits, self.address)
        self._check("registerBits", channel, bit_type, _native.pointer(request), len(request))

    def remove_bits(self, channel: int, bit_type: int, bits: Iterable[int]) -> None:
        """Take bits (their whole words) out of the background poll."""
        request = _checks.bit_numbers("removeBits", bits, self.address)
        self._check("removeBits", channel, bit_type, _native.pointer(request), len(request))

    def get_bit(self, table: str, index: int, channel: int = 1) -> int:
        """One bit (0 or 1) of I/O table ``table`` ("I", "O", "C", "S" or "A")."""
        name = _BIT_READERS[table]
        return self._outputs(name, 1, channel, _checks.bit_number(name, index, self.address))[0]

    def set_bit(self, table: str, index: int, value: int, channel: int = 1) -> None:
        """Set one bit of table ``table`` ("O" the PLC's outputs, "C", "S" or "A") to ``value``, 0 or 1."""
        name = _BIT_WRITERS[table]
        self._check(name, channel, _checks.bit_number(name, index, self.address),
                    _checks.bit_value(name, value, self.address))

    # ---- motion -------------------------------------------------------------------------------
    def jog(self, axis: int, feed: int, negative: bool = False, fast: bool = False, channel: int = 1) -> None:
        """Start a continuous jog of ``axis`` at ``feed``; it runs until ``jog_stop``."""
        self._check("jogMotionV_Run", channel, axis, feed, int(negative), int(fast))

    def jog_stop(self, axis: int, channel: int = 1) -> None:
        """Stop the continuous jog of ``axis``."""
        self._check("jogMotionV_Stop", channel, axis)

    def move(self, axis: int, length: int, feed: int, absolute: bool = False, machine: bool = False,
             channel: int = 1) -> None:
        """Move ``axis`` by ``length`` (or to it with ``absolute``) at ``feed``."""
        self._check("jogMotionP_Run", channel, axis, feed, length, int(absolute), int(machine))

    def home(self, axis: int, channel: int = 1) -> None:
        """Start homing ``axis``."""
        self._check("homeRunAxis", channel, axis)

    def is_homed(self, axis: int, channel: int = 1) -> bool:
        """Whether ``axis`` has finished homing."""
        return bool(self._outputs("homeAxisIsEnd", 1, channel, axis)[0])

    def is_moving(self, axis: int, channel: int = 1) -> bool:
        """Whether ``axis`` moves."""
        return bool(self._outputs("getAxisMotionStatus", 1, channel, axis)[0])

    def coordinate(self, axis: int, channel: int = 1, kind: int = 0) -> int:
        """The coordinate of ``axis`` in the controller's unit of length."""
        return self._outputs("getAxisCoord", 1, channel, axis, kind)[0]

    def coordinates(self, count: int = 4, channel: int = 1) -> List[int]:
        """The coordinates of the channel's first ``count`` axes."""
        coords = (_native.CncLong * max(count, 1))()
        self._check("getAxesCoord", channel, 0, 0, 0, count, coords)
        return list(coords[:count])

    def servo(self, axis: int, on: bool = True) -> None:
        """Switch the servo of ``axis`` on or off."""
        self._check("servoOnAxisSet", axis, int(on))

    def is_servo_on(self, axis: int) -> bool:
        """Whether the servo of ``axis`` is on."""
        return bool(self._outputs("servoOnAxisGet", 1, axis)[0])

    # ---- program control ----------------------------------------------------------------------
    def cycle_start(self, channel: int = 1) -> None:
        """Start the channel's current program."""
        self._check("prgCycleStart", channel)

    def stop(self, channel: int = 1) -> None:
        """Stop the channel's program."""
        self._check("prgStop", channel)

    def program_reset(self, channel: int = 1) -> None:
        """Reset the channel's program (``prgReset``)."""
        self._check("prgReset", channel)

    def reset(self, channel: int = 1) -> None:
        """Reset a channel of the controller (``reset``)."""
        self._check("reset", channel)

    def emergency_stop(self, on: bool = True, channel: int = 1) -> None:
        """Set (or with ``on=False`` release) the emergency stop."""
        self._check("emStopSet", channel, int(on))

    def start_program(self, name: str, channel: int = 1) -> None:
        """Start program ``name`` on ``channel`` (``cycStart``)."""
        self._check("cycStart", channel, _checks.seven_bit("cycStart", name, self.address, "name"))

    def running_program(self, channel: int = 1) -> str:
        """The name of the program running on ``channel``."""
        text = self.call("getRuningPrg", channel)
        if text is None or text == b"":
            raise error_for(1, "getRuningPrg", address=self.address)
        if text == b"o":
            raise error_for(111, "getRuningPrg", address=self.address)
        return str(text.decode("ascii", "replace"))

    def alarm(self) -> Tuple[int, int, int]:
        """The controller's alarm as (raised, channel, number)."""
        raised, channel, number = self._outputs("alarmRead", 3, 1)
        return raised, channel, number

    # ---- program text transfer and files ----------------------------------------------------
    def send_program(self, name: str, text: str, channel: int = 1, file_type: int = 1,
                     timeout: Optional[float] = DEFAULT_TIMEOUT) -> None:
        """Store program ``name`` with ``text`` (7-bit text, no NUL) on ``channel``, closed when done.

        A controller whose memory is full is waited for (it frees memory as the machine runs);
        ``timeout`` bounds each wait for the controller to take the next block (None: wait for
        ever). When it passes, ``TransferStopped`` is raised; on Ctrl-C, ``TransferInterrupted``
        (a ``KeyboardInterrupt``); both carry ``acknowledged``, the bytes the controller took,
        and leave the Controller connected again, the transfer ended.
        """
        data = _checks.seven_bit("uploadFile", text, self.address)
        program = _checks.seven_bit("uploadFile", name, self.address, "name")
        if "/" in name:
            raise _checks.refused(ArgumentError, "uploadFile", self.address, "the name %r holds '/'" % name)
        _Transfer(self, program, data, channel, file_type).run(timeout)

    def send_program_file(self, path: Path, channel: int = 1, name: Optional[str] = None, file_type: int = 1,
                          timeout: Optional[float] = DEFAULT_TIMEOUT) -> None:
        """Store the file at ``path`` as a program (named after the file unless ``name``); see ``send_program``."""
        with open(path, encoding="ascii") as source:
            text = source.read()
        self.send_program(name or os.path.basename(path), text, channel, file_type, timeout)

    def file_info(self, name: str, channel: int = 1, file_type: int = 1) -> str:
        """The controller's information text on a program (``file_type`` 1) or PLC file (0)."""
        info = ctypes.create_string_buffer(_TEXT_SIZE)
        self._check("getCncFileInf", file_type, channel, name.encode("utf-8"), info)
        return info.value.decode("utf-8", "replace")

    def write_file(self, name: str, content: str, file_type: int = 0) -> None:
        """Write a controller file (``writeCncFile``) with the text ``content``."""
        if "\0" in content:
            raise _checks.refused(ArgumentError, "writeCncFile", self.address,
                                  "the content's NUL at offset %d would end it" % content.index("\0"))
        self._check("writeCncFile", file_type, name.encode("utf-8"), content.encode("utf-8"))

    def error_file(self, channel: int = 1, history: bool = False) -> bytes:
        """The bytes of the channel's current (or historical) error file."""
        reports = _Reports()
        with self._error_file_lock:
            text = self._invoke("getCncCurrentError", (channel * 10 + int(history),), reports)
        if text is None:
            raise self._error(111, "getCncCurrentError", reports)
        if text[:1] != b"0":
            codes = {b"7": 7, b"9": 9, b"8": 8, b"3": 3, b"4": 4}
            raise self._error(codes.get(text[:1], 3), "getCncCurrentError", reports)
        self._log("getCncCurrentError", reports)
        return bytes(text[1:])

    def error_text(self, value: int = 0, channel: int = 1) -> str:
        """The channel's current error text (``getCurErrString``)."""
        text = ctypes.create_string_buffer(_TEXT_SIZE)
        self._check("getCurErrString", channel, value, text)
        return text.value.decode("utf-8", "replace")

    # ---- remote buffer and FTP ----------------------------------------------------------------
    def open_buffer(self, channel: int = 1, mode: str = "DNC") -> RemoteBuffer:
        """A ``RemoteBuffer`` streaming to ``channel`` of this controller; use it with ``with``."""
        return RemoteBuffer(self.address, channel, mode, library=self._lib)

    def ftp_upload(self, paths: Union[Path, Iterable[Path]], channel: int = 1, file_type: int = 1,
                   host: Optional[str] = None, progress: Optional[Callable[[float, str], None]] = None,
                   timeout: Optional[float] = DEFAULT_TIMEOUT) -> None:
        """Upload local files into the channel's program (``file_type`` 1) or PLC (0) folder.

        Blocks until every file is done; ``progress(percent, path)`` is called as it advances.
        Raises ``asynccomm.FtpFailed`` when the transfer stops, ``asynccomm.NoReply`` when it
        stalls for ``timeout`` seconds (None: wait for ever).
        """
        if isinstance(paths, (str, os.PathLike)):
            paths = [paths]
        for path in paths:
            path = os.fspath(path)
            self._ftp_failure = None
            self._check("ftpUploadFile", file_type, channel, path.encode(), _host(host))
            wait_for_upload(self._lib, self._id("ftpUploadFile"), "ftpUploadFile", path, progress, timeout,
                            lambda: self._ftp_failure, self.address)

    def ftp_mkdir(self, folder: str, host: Optional[str] = None, timeout: Optional[float] = DEFAULT_TIMEOUT) -> None:
        """Make one remote folder over FTP; blocks until it is made (see ``ftp_upload``)."""
        self._ftp_failure = None
        self._check("ftpMkdir", folder.encode(), _host(host))
        wait_for_upload(self._lib, self._id("ftpMkdir"), "ftpMkdir", folder, None, timeout,
                        lambda: self._ftp_failure, self.address)

    # ---- coroutine twins ----------------------------------------------------------------------
    reconnect_async = _twin(reconnect)
    set_reply_timeout_async = _twin(set_reply_timeout)
    set_poll_interval_async = _twin(set_poll_interval)
    close_async = _twin(close)
    watchdog_async = _twin(watchdog)
    read_vars_async = _twin(read_vars)
    write_vars_async = _twin(write_vars)
    register_vars_async = _twin(register_vars)
    remove_vars_async = _twin(remove_vars)
    clear_vars_async = _twin(clear_vars)
    read_bits_async = _twin(read_bits)
    register_bits_async = _twin(register_bits)
    remove_bits_async = _twin(remove_bits)
    get_bit_async = _twin(get_bit)
    set_bit_async = _twin(set_bit)
    jog_async = _twin(jog)
    jog_stop_async = _twin(jog_stop)
    move_async = _twin(move)
    home_async = _twin(home)
    is_homed_async = _twin(is_homed)
    is_moving_async = _twin(is_moving)
    coordinate_async = _twin(coordinate)
    coordinates_async = _twin(coordinates)
    servo_async = _twin(servo)
    is_servo_on_async = _twin(is_servo_on)
    cycle_start_async = _twin(cycle_start)
    stop_async = _twin(stop)
    program_reset_async = _twin(program_reset)
    reset_async = _twin(reset)
    emergency_stop_async = _twin(emergency_stop)
    start_program_async = _twin(start_program)
    running_program_async = _twin(running_program)
    alarm_async = _twin(alarm)
    send_program_async = _twin(send_program)
    send_program_file_async = _twin(send_program_file)
    file_info_async = _twin(file_info)
    write_file_async = _twin(write_file)
    error_file_async = _twin(error_file)
    error_text_async = _twin(error_text)
    ftp_upload_async = _twin(ftp_upload)
    ftp_mkdir_async = _twin(ftp_mkdir)


class _Transfer:
    """One program text transfer: declaration, the text a block per call, file end, on a thread of
    its own while the caller waits (so that a timeout, Ctrl-C or a cancellation can end it: the
    library waits for controller memory until the link is closed)."""

    def __init__(self, controller: Controller, name: bytes, text: bytes, channel: int, file_type: int):
        self.controller, self.name, self.text = controller, name, text
        self.channel, self.file_type = channel, file_type
        self.acknowledged = 0
        self.reports = _Reports()
        self.moved = time.monotonic()  # when the controller last took something
        self.stop = threading.Event()
        self.failure: Optional[BaseException] = None

    def _send(self) -> None:
        c, channel, reports = self.controller, self.channel, self.reports
        c._check("setTransFileType", self.file_type, channel, self.name, reports=reports)
        for offset in range(0, max(len(self.text), 1), _PIECE):
            if self.stop.is_set():
                return
            piece = self.text[offset:offset + _PIECE]
            c._check("overwrite" if offset == 0 else "append", piece, channel, reports=reports)
            self.acknowledged, self.moved = offset + len(piece), time.monotonic()
        c._check("fileEnd", channel, reports=reports)

    def _body(self) -> None:
        try:
            self._send()
        except BaseException as failure:
            self.failure = failure

    def run(self, timeout: Optional[float]) -> None:
        worker = threading.Thread(target=self._body, name="asynccomm transfer", daemon=True)
        self.controller._transfers.add(self)
        try:
            worker.start()
            why = self._watch(worker, timeout)
        except KeyboardInterrupt:
            self._end(worker)
            text = message("uploadFile", None, self.controller.address, self._stopped("interrupted").detail)
            raise TransferInterrupted(text, self.acknowledged, len(self.text)) from None
        finally:
            self.controller._transfers.discard(self)
        if why is not None:
            self._end(worker)
            raise self._stopped(why)
        if self.failure is not None:
            if isinstance(self.failure, Error):
                self.failure.acknowledged = self.acknowledged
            raise self.failure
        self.controller._log("uploadFile", self.reports)

    def _watch(self, worker: threading.Thread, timeout: Optional[float]) -> Optional[str]:
        """Wait for the transfer; why it must be ended, or None once it ended by itself."""
        while True:
            worker.join(_WAIT_SLICE)
            if not worker.is_alive():
                return None
            if self.stop.is_set():
                return "the Controller was closed"
            if cancelled():
                return "cancelled"
            if timeout is not None and time.monotonic() - self.moved > timeout:
                return "the controller took nothing for %s s" % timeout

    def _end(self, worker: threading.Thread) -> None:
        """End the transfer: closing the link ends a wait for memory; then open the link again."""
        self.stop.set()
        try:
            self.controller._disconnect()
        finally:
            worker.join()
        self.controller._connect()

    def _stopped(self, why: str) -> TransferStopped:
        error = TransferStopped(5, "uploadFile", self.reports.reports, address=self.controller.address,
                                report_count=self.reports.count, returned=False,
                                note="%s; %d of %d bytes acknowledged" % (why, self.acknowledged, len(self.text)))
        error.acknowledged = self.acknowledged
        return error


def _host(host: Optional[str]) -> Optional[bytes]:
    return host.encode() if host else None


__all__ = ["Controller", "Error", "DEFAULT_TIMEOUT"]
