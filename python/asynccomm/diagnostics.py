"""Route the library's diagnostic lines (Qt messages) to the ``logging`` module.

The library writes them through Qt's message output; a message handler installed through
Qt's own C++ entry point reads each line and hands it to the logger "asynccomm.diagnostics"
(category "acm" at DEBUG, other categories by their Qt level).
"""

import atexit
import ctypes
import logging

logger = logging.getLogger("asynccomm.diagnostics")

_INSTALL = "_Z22qInstallMessageHandlerPFv9QtMsgTypeRK18QMessageLogContextRK7QStringE"
_HANDLER = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_LEVELS = {0: logging.DEBUG, 1: logging.WARNING, 2: logging.ERROR, 3: logging.CRITICAL, 4: logging.INFO}
_installed = None


class _Context(ctypes.Structure):
    """QMessageLogContext (the same in Qt 5 and Qt 6)."""
    _fields_ = [("version", ctypes.c_int), ("line", ctypes.c_int), ("file", ctypes.c_char_p),
                ("function", ctypes.c_char_p), ("category", ctypes.c_char_p)]


class _ArrayData(ctypes.Structure):
    """The head of a Qt 5 QString's data: the UTF-16 text lies ``offset`` bytes after it."""
    _fields_ = [("ref", ctypes.c_int), ("size", ctypes.c_int), ("alloc", ctypes.c_uint),
                ("offset", ctypes.c_ssize_t)]


class _Qt6String(ctypes.Structure):
    """A Qt 6 QString: ``size`` UTF-16 code units at ``text``."""
    _fields_ = [("data", ctypes.c_void_p), ("text", ctypes.c_void_p), ("size", ctypes.c_ssize_t)]


def _qt5_text(qstring):
    data_address = ctypes.c_void_p.from_address(qstring).value
    head = _ArrayData.from_address(data_address)
    return ctypes.string_at(data_address + head.offset, head.size * 2).decode("utf-16-le", "replace")


def _qt6_text(qstring):
    string = _Qt6String.from_address(qstring)
    return ctypes.string_at(string.text, string.size * 2).decode("utf-16-le", "replace") if string.size else ""


_text = _qt5_text


def _on_message(kind, context, qstring):
    try:
        category = _Context.from_address(context).category or b"default"
        logger.log(_LEVELS.get(kind, logging.WARNING), "%s: %s", category.decode(), _text(qstring))
    except Exception:  # nothing may cross back into the library's thread
        pass


def _qt_install():
    """The handler installer of the Qt that the library links (looked up through the library)."""
    global _text
    from . import _native
    library = _native.library()
    library.qVersion.restype = ctypes.c_char_p
    _text = _qt6_text if library.qVersion().startswith(b"6.") else _qt5_text
    return getattr(library, _INSTALL)


def route_to_logging(enable=True):
    """Send the library's diagnostic lines to the logger "asynccomm.diagnostics" (or, with False, back to stderr).

    Note that the library's ``getErrorDeb`` replaces the handler again (for its log files). The
    first call loads the library, as ``asynccomm.library()`` does, to reach the Qt that it links.
    """
    global _installed
    if bool(enable) == (_installed is not None):
        return
    install = _qt_install()
    install.restype = ctypes.c_void_p
    install.argtypes = [_HANDLER]
    if enable:
        _installed = _HANDLER(_on_message)
        install(_installed)
    else:
        install(ctypes.cast(None, _HANDLER))
        _installed = None


atexit.register(route_to_logging, False)  # no Python handler once the interpreter goes away
