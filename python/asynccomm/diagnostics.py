"""The library's diagnostic lines (Qt messages) go to the ``logging`` module, so that a program is
quiet unless it asks for them.

From the moment the package loads the library, a message handler installed through Qt's own C++
entry point hands each line to the logger "asynccomm.diagnostics" (category "acm" at DEBUG, other
categories by their Qt level); a handler the program had installed before keeps the lines of the
other categories. ``route_to_logging(False)`` gives the lines back to that handler (Qt's own
output, standard error, unless the program had its own); ``QT_LOGGING_RULES="acm.debug=false"``
keeps the library from making them at all.

The library's log file (``getErrorDeb``) puts its handler over ours and hands ours what it does
not write. So ours stays callable for the life of the process, and when it cannot come out from
under such a handler it passes every message on to the handler it replaced, which is the same.
"""

from __future__ import annotations

import atexit
import ctypes
import logging
import threading
from typing import Any, Optional

logger = logging.getLogger("asynccomm.diagnostics")

_INSTALL = "_Z22qInstallMessageHandlerPFv9QtMsgTypeRK18QMessageLogContextRK7QStringE"
_HANDLER = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_LEVELS = {0: logging.DEBUG, 1: logging.WARNING, 2: logging.ERROR, 3: logging.CRITICAL, 4: logging.INFO}
_LIBRARY_CATEGORY = b"acm"
_lock = threading.Lock()  # guards the state below and the changes of the installed handler
_previous: Optional[int] = None  # the handler ours replaced (Qt's own output has an address too)
_in_chain = False  # ours is installed: on top, or under a handler that calls it
_routing = False  # ours hands the library's lines to the logger; else every line to _previous
_chosen = False  # whether the program chose the routing itself
_qt6 = False


class _Context(ctypes.Structure):
    """QMessageLogContext (the same in Qt 5 and 6)."""
    _fields_ = [("version", ctypes.c_int), ("line", ctypes.c_int), ("file", ctypes.c_char_p),
                ("function", ctypes.c_char_p), ("category", ctypes.c_char_p)]


class _ArrayData(ctypes.Structure):
    """The head of a Qt 5 QString's data: the UTF-16 text lies ``offset`` bytes after it."""
    _fields_ = [("ref", ctypes.c_int), ("size", ctypes.c_int), ("alloc", ctypes.c_uint),
                ("offset", ctypes.c_ssize_t)]


class _Qt6String(ctypes.Structure):
    """A Qt 6 QString: its data's head, the UTF-16 text and its length."""
    _fields_ = [("d", ctypes.c_void_p), ("ptr", ctypes.c_void_p), ("size", ctypes.c_ssize_t)]


def _text(qstring: int) -> str:
    if _qt6:
        string = _Qt6String.from_address(qstring)
        start, size = string.ptr or 0, string.size
    else:
        data_address = ctypes.c_void_p.from_address(qstring).value or 0
        head = _ArrayData.from_address(data_address)
        start, size = data_address + head.offset, head.size
    return ctypes.string_at(start, size * 2).decode("utf-16-le", "replace") if size else ""


def _on_message(kind: int, context: int, qstring: int) -> None:
    try:
        category = _Context.from_address(context).category or b"default"
        if _routing and (category == _LIBRARY_CATEGORY or not _previous):
            level = _LEVELS.get(kind, logging.WARNING)
            if logger.isEnabledFor(level):
                logger.log(level, "%s: %s", category.decode(), _text(qstring))
        elif _previous:
            _HANDLER(_previous)(kind, context, qstring)
    except Exception:  # nothing may cross back into the library's thread
        pass


#: Made once and never freed: a handler installed over it may call it at any time.
_handler = _HANDLER(_on_message)
_OURS = ctypes.cast(_handler, ctypes.c_void_p).value


def _qt_install() -> Any:
    """Qt's qInstallMessageHandler, from the Qt core library the process has loaded."""
    global _qt6
    name = "libQt5Core.so.5"
    try:
        with open("/proc/self/maps") as maps:
            loaded = [line.split()[-1] for line in maps if "libQt6Core.so" in line or "libQt5Core.so" in line]
        name = loaded[0] if loaded else name
    except OSError:
        pass
    _qt6 = "libQt6Core" in name
    install = getattr(ctypes.CDLL(name), _INSTALL)
    install.restype = ctypes.c_void_p
    install.argtypes = [_HANDLER]
    return install


def _route(enable: bool, leaving: bool = False) -> None:
    """Ours in (routing), or out; what it replaced is put back, but over a handler installed over
    ours since, which then stays on top and ours passes everything on beneath it. ``leaving``:
    the interpreter ends and ours can no longer run, so what it replaced goes on top regardless."""
    global _previous, _in_chain, _routing
    with _lock:
        install = _qt_install()
        _routing = enable
        if enable and not _in_chain:
            _previous, _in_chain = install(_handler), True
        elif not enable and _in_chain:
            top = install(_HANDLER(_previous or 0))
            _in_chain = top != _OURS and not leaving
            if _in_chain:
                install(_HANDLER(top))


def route_to_logging(enable: bool = True) -> None:
    """Send the library's diagnostic lines to the logger "asynccomm.diagnostics" (the default), or
    with False back to the handler installed before (Qt's own output, standard error, unless the
    program installed its own).

    The library's ``getErrorDeb`` log file, switched on after this, takes the library's own lines
    and passes only the other messages on to this handler; ``route_to_logging(False)`` leaves that
    file's handler where it is.
    """
    global _chosen
    _chosen = True
    _route(bool(enable))


def route_by_default() -> None:
    """Called when the library is loaded: to the logger, unless the program chose already."""
    if not _chosen:
        _route(True)


atexit.register(_route, False, True)  # no Python handler once the interpreter goes away
