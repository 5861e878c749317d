"""``Controller``: one controller as a context manager, with Pythonic methods that raise on failure."""

import asyncio
import ctypes
import functools
import logging
import os
import threading

from . import _native
from .errors import Error, error_for
from .ftp import wait_for_upload
from .buffer import RemoteBuffer

logger = logging.getLogger("asynccomm")

_BIT_READERS = {"I": "getIBit", "O": "getOBit", "C": "getCBit", "S": "getSBit", "A": "getABit"}
_BIT_WRITERS = {"O": "setPlcOBit", "C": "setCBit", "S": "setSBit", "A": "setABit"}
FTP_STOPPED = 20  # errorCmd of a report that an FTP list stopped
_TEXT_SIZE = 1024  # the library's output texts are cut to 1023 bytes plus the NUL
_FIRST_ID = 1
_ids_lock = threading.Lock()  # guards _ids_in_use
_ids_in_use = set()


def _claim_id(wanted):
    """A cncID no Controller of this process holds (``wanted`` when given)."""
    with _ids_lock:
        if wanted is not None:
            _ids_in_use.add(wanted)
            return wanted
        cnc_id = _FIRST_ID
        while cnc_id in _ids_in_use:
            cnc_id += 1
        _ids_in_use.add(cnc_id)
        return cnc_id


def _release_id(cnc_id):
    with _ids_lock:
        _ids_in_use.discard(cnc_id)


class Controller:
    """One controller (a target of the library) from ``with`` to its end.

    ``address`` is the controller's address; ``channels`` its channel count; ``asynchronous``
    makes the target-level client asynchronous (background polling of registered variables:
    reads then answer from the poll and commands return once queued). ``cnc_id`` is chosen
    automatically unless given. ``on_error`` receives the controller's reports as
    ``on_error(error_cmd, cmd_state, detail)``; without it they go to the logger "asynccomm"
    as warnings. Every method raises an ``asynccomm.Error`` subclass when the call fails.

    Any method ``name`` also exists as ``name_async``, a coroutine that runs it on the event
    loop's default thread pool, so that an ``asyncio`` program is never blocked by a reply wait.

    Controllers may be made, used and closed from any threads at once. The error callback runs on
    the library's threads, so ``on_error`` must return quickly and must not call this Controller.
    """

    def __init__(self, address, channels=1, asynchronous=False, cnc_id=None, on_error=None, library=None):
        self.address = address
        self.channels = channels
        self.asynchronous = asynchronous
        self.on_error = on_error
        self._lib = _native.library(library)
        self._reports = threading.local()
        self._callback = _native.ErrCallbackFunc(self._on_report)
        self._ftp_failure = None  # the last FTP report; written on the library's FTP thread
        self.cnc_id = None
        self._open(cnc_id)

    # ---- life cycle -----------------------------------------------------------------------
    def _open(self, wanted):
        """Add the target (trying the next free cncID while one is taken) and connect it."""
        while True:
            cnc_id = _claim_id(wanted)
            mask = 1 if self.asynchronous else 0
            if self._lib.addTargetCnc(cnc_id, self.channels, self.address.encode(), mask):
                break
            if wanted is not None:
                _release_id(cnc_id)
                raise error_for(1, "addTargetCnc")
            # taken by code outside this package: keep it claimed so the search goes on
        self.cnc_id = cnc_id
        self._lib.setErrCallbackFunc(self._callback, cnc_id)
        if not self._lib.connect(cnc_id):
            self.close()
            raise error_for(7, "connect")

    def close(self):
        """Disconnect and remove the target; safe to call twice."""
        if self.cnc_id is None:
            return
        cnc_id, self.cnc_id = self.cnc_id, None
        self._lib.disconnect(cnc_id)
        self._lib.setErrCallbackFunc(ctypes.cast(None, _native.ErrCallbackFunc), cnc_id)
        self._lib.removeTargetCnc(cnc_id)
        _release_id(cnc_id)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:  # an interpreter shutting down may have unloaded what close needs
            pass

    def __getattr__(self, name):
        """``name_async``: the coroutine face of method ``name`` (runs it on a thread pool)."""
        if name.endswith("_async") and hasattr(type(self), name[:-6]):
            method = getattr(self, name[:-6])

            async def run(*args, **kwargs):
                loop = asyncio.get_running_loop()
                return await loop.run_in_executor(None, functools.partial(method, *args, **kwargs))

            run.__doc__ = "Coroutine of %s: %s" % (name[:-6], method.__doc__)
            return run
        raise AttributeError(name)

    # ---- calling the library ----------------------------------------------------------------
    def _on_report(self, error_cmd, cmd_state, detail):
        """The error callback: remember the report for the running call, then pass it on."""
        text = (detail or b"").decode("utf-8", "replace")
        if error_cmd == FTP_STOPPED:
            self._ftp_failure = (error_cmd, cmd_state, text)
        pending = getattr(self._reports, "pending", None)
        if pending is not None:
            pending.append((error_cmd, cmd_state, text))
        try:
            if self.on_error is not None:
                self.on_error(error_cmd, cmd_state, text)
            else:
                logger.warning("controller %s reports %d, %d: %s", self.address, error_cmd, cmd_state, text)
        except Exception:  # nothing may cross back into the library's thread
            logger.exception("the on_error callable failed")

    def call(self, name, *args):
        """Call export ``name`` with ``args`` and this target's cncID last; return its raw result."""
        if self.cnc_id is None:
            raise error_for(7, name)
        self._reports.pending = []
        try:
            return getattr(self._lib, name)(*args, self.cnc_id)
        finally:
            self._reports.last = self._reports.pending
            self._reports.pending = None

    @property
    def last_reports(self):
        """The controller's reports made during this thread's last ``call``, as (errorCmd, cmdState, detail)."""
        return getattr(self._reports, "last", [])

    def _check(self, name, *args):
        """Call ``name`` and raise the fitting Error unless it returned 0."""
        self._reports.pending = []
        if self.cnc_id is None:
            raise error_for(7, name)
        try:
            code = getattr(self._lib, name)(*args, self.cnc_id)
            if code != 0:
                raise error_for(code, name, self._reports.pending)
        finally:
            self._reports.pending = None

    def _outputs(self, name, count, *args):
        """Call ``name`` with ``args`` followed by ``count`` CncLong outputs; return their values."""
        outputs = [_native.CncLong() for _ in range(count)]
        self._check(name, *args, *[ctypes.byref(o) for o in outputs])
        return [o.value for o in outputs]

    # ---- link ---------------------------------------------------------------------------------
    @property
    def connected(self):
        """Whether the target client's link answers (``getTcpConnectFlag``)."""
        return self.cnc_id is not None and bool(self._lib.getTcpConnectFlag(self.cnc_id))

    def watchdog(self):
        """Ask the controller whether it is alive; raises unless it answered so."""
        self._check("CheckTcpWdt")

    # ---- variables and bits -----------------------------------------------------------------
    def read_vars(self, addresses):
        """The values of the variables at ``addresses`` (a list of ints, in the same order).

        On an asynchronous Controller nothing is sent: the values are those the background poll
        last read (see ``register_vars``); ``NoReply`` while any of them has not been read by a
        poll since it was registered or since the link was opened.
        """
        addresses = list(addresses)
        values = (_native.CncLong * max(len(addresses), 1))()
        self._check("readVars", _native.cnc_array(addresses), len(addresses), values)
        return list(values[:len(addresses)])

    def write_vars(self, values):
        """Write ``{address: value, ...}`` (values are signed 32-bit)."""
        addresses, data = list(values.keys()), list(values.values())
        self._check("writeVars", _native.cnc_array(addresses), len(addresses), _native.cnc_array(data))

    def register_vars(self, addresses):
        """Add variables to the background poll (asynchronous Controllers)."""
        addresses = list(addresses)
        self._check("registerVars", _native.cnc_array(addresses), len(addresses))

    def remove_vars(self, addresses):
        """Take variables out of the background poll."""
        addresses = list(addresses)
        self._check("removeVars", _native.cnc_array(addresses), len(addresses))

    def clear_vars(self):
        """Take every variable and bit out of the background poll."""
        self._check("clearVars")

    def read_bits(self, channel, bit_type, bits):
        """The bits ``bits`` (0 or 1 each) of bit table ``bit_type`` (0..6) of ``channel``."""
        bits = list(bits)
        values = (_native.CncLong * max(len(bits), 1))()
        self._check("readBits", channel, bit_type, _native.cnc_array(bits), len(bits), values)
        return list(values[:len(bits)])

    def register_bits(self, channel, bit_type, bits):
        """Add bits to the background poll (asynchronous Controllers only)."""
        bits = list(bits)
        self._check("registerBits", channel, bit_type, _native.cnc_array(bits), len(bits))

    def remove_bits(self, channel, bit_type, bits):
        """Take bits (their whole words) out of the background poll."""
        bits = list(bits)
        self._check("removeBits", channel, bit_type, _native.cnc_array(bits), len(bits))

    def get_bit(self, table, index, channel=1):
        """One bit of I/O table ``table`` ("I", "O", "C", "S" or "A")."""
        return self._outputs(_BIT_READERS[table], 1, channel, index)[0]

    def set_bit(self, table, index, value, channel=1):
        """Set one bit of table ``table`` ("O" the PLC's outputs, "C", "S" or "A")."""
        self._check(_BIT_WRITERS[table], channel, index, value)

    # ---- motion -------------------------------------------------------------------------------
    def jog(self, axis, feed, negative=False, fast=False, channel=1):
        """Start a continuous jog of ``axis`` at ``feed``; it runs until ``jog_stop``."""
        self._check("jogMotionV_Run", channel, axis, feed, int(negative), int(fast))

    def jog_stop(self, axis, channel=1):
        """Stop the continuous jog of ``axis``."""
        self._check("jogMotionV_Stop", channel, axis)

    def move(self, axis, length, feed, absolute=False, machine=False, channel=1):
        """Move ``axis`` by ``length`` (or to it with ``absolute``) at ``feed``."""
        self._check("jogMotionP_Run", channel, axis, feed, length, int(absolute), int(machine))

    def home(self, axis, channel=1):
        """Start homing ``axis``."""
        self._check("homeRunAxis", channel, axis)

    def is_homed(self, axis, channel=1):
        """Whether ``axis`` has finished homing."""
        return bool(self._outputs("homeAxisIsEnd", 1, channel, axis)[0])

    def is_moving(self, axis, channel=1):
        """Whether ``axis`` moves."""
        return bool(self._outputs("getAxisMotionStatus", 1, channel, axis)[0])

    def coordinate(self, axis, channel=1, kind=0):
        """The coordinate of ``axis`` in the controller's unit of length."""
        return self._outputs("getAxisCoord", 1, channel, axis, kind)[0]

    def coordinates(self, count=4, channel=1):
        """The coordinates of the channel's first ``count`` axes."""
        coords = (_native.CncLong * max(count, 1))()
        self._check("getAxesCoord", channel, 0, 0, 0, count, coords)
        return list(coords[:count])

    def servo(self, axis, on=True):
        """Switch the servo of ``axis`` on or off."""
        self._check("servoOnAxisSet", axis, int(on))

    def is_servo_on(self, axis):
        """Whether the servo of ``axis`` is on."""
        return bool(self._outputs("servoOnAxisGet", 1, axis)[0])

    # ---- program control ----------------------------------------------------------------------
    def cycle_start(self, channel=1):
        """Start the channel's current program."""
        self._check("prgCycleStart", channel)

    def stop(self, channel=1):
        """Stop the channel's program."""
        self._check("prgStop", channel)

    def program_reset(self, channel=1):
        """Reset the channel's program (``prgReset``)."""
        self._check("prgReset", channel)

    def reset(self, channel=1):
        """Reset a channel of the controller (``reset``)."""
        self._check("reset", channel)

    def emergency_stop(self, on=True, channel=1):
        """Set (or with ``on=False`` release) the emergency stop."""
        self._check("emStopSet", channel, int(on))

    def start_program(self, name, channel=1):
        """Start program ``name`` on ``channel`` (``cycStart``)."""
        self._check("cycStart", channel, name.encode("ascii"))

    def running_program(self, channel=1):
        """The name of the program running on ``channel``."""
        text = self.call("getRuningPrg", channel)
        if text is None:
            raise error_for(1, "getRuningPrg")
        if text == b"o":
            raise error_for(111, "getRuningPrg")
        if text == b"":
            raise error_for(1, "getRuningPrg")
        return text.decode("ascii", "replace")

    def alarm(self):
        """The controller's alarm as (raised, channel, number)."""
        return tuple(self._outputs("alarmRead", 3, 1))

    # ---- program text transfer and files ----------------------------------------------------
    def send_program(self, name, text, channel=1, file_type=1):
        """Store program ``name`` with ``text`` (7-bit text) on ``channel``, closed when done."""
        self._check("uploadFile", file_type, channel, name.encode("ascii"), text.encode("ascii"))

    def send_program_file(self, path, channel=1, name=None, file_type=1):
        """Store the file at ``path`` as a program (named after the file unless ``name``)."""
        with open(path, encoding="ascii") as source:
            text = source.read()
        self.send_program(name or os.path.basename(path), text, channel, file_type)

    def file_info(self, name, channel=1, file_type=1):
        """The controller's information text on a program (``file_type`` 1) or PLC file (0)."""
        info = ctypes.create_string_buffer(_TEXT_SIZE)
        self._check("getCncFileInf", file_type, channel, name.encode("utf-8"), info)
        return info.value.decode("utf-8", "replace")

    def write_file(self, name, content, file_type=0):
        """Write a controller file (``writeCncFile``) with the text ``content``."""
        self._check("writeCncFile", file_type, name.encode("utf-8"), content.encode("utf-8"))

    def error_file(self, channel=1, history=False):
        """The bytes of the channel's current (or historical) error file."""
        text = self.call("getCncCurrentError", channel * 10 + int(history))
        if text is None:
            raise error_for(111, "getCncCurrentError", self.last_reports)
        if text[:1] != b"0":
            codes = {b"7": 7, b"9": 9, b"8": 8, b"3": 3, b"4": 4}
            raise error_for(codes.get(text[:1], 3), "getCncCurrentError", self.last_reports)
        return text[1:]

    def error_text(self, value=0, channel=1):
        """The channel's current error text (``getCurErrString``)."""
        text = ctypes.create_string_buffer(_TEXT_SIZE)
        self._check("getCurErrString", channel, value, text)
        return text.value.decode("utf-8", "replace")

    # ---- remote buffer and FTP ----------------------------------------------------------------
    def open_buffer(self, channel=1, mode="DNC"):
        """A ``RemoteBuffer`` streaming to ``channel`` of this controller; use it with ``with``."""
        return RemoteBuffer(self.address, channel, mode, library=self._lib)

    def ftp_upload(self, paths, channel=1, file_type=1, host=None, progress=None, timeout=60.0):
        """Upload local files into the channel's program (``file_type`` 1) or PLC (0) folder.

        Blocks until every file is done; ``progress(percent, path)`` is called as it advances.
        Raises ``asynccomm.FtpFailed`` when the transfer stops, ``asynccomm.NoReply`` when it
        stalls for ``timeout`` seconds.
        """
        if isinstance(paths, (str, os.PathLike)):
            paths = [paths]
        for path in paths:
            path = os.fspath(path)
            self._ftp_failure = None
            self._check("ftpUploadFile", file_type, channel, path.encode(), _host(host))
            wait_for_upload(self._lib, self.cnc_id, "ftpUploadFile", path, progress, timeout,
                            lambda: self._ftp_failure)

    def ftp_mkdir(self, folder, host=None, timeout=60.0):
        """Make one remote folder over FTP; blocks until it is made."""
        self._ftp_failure = None
        self._check("ftpMkdir", folder.encode(), _host(host))
        wait_for_upload(self._lib, self.cnc_id, "ftpMkdir", folder, None, timeout, lambda: self._ftp_failure)


def _host(host):
    return host.encode() if host else None


__all__ = ["Controller", "Error"]
