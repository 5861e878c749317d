"""The low layer: every export of libAsyncCommModule.so.1 declared with its exact C types.

Nothing here is Pythonic on purpose: the names, argument orders and result codes are the
library's own, so that the C header's documentation applies unchanged. Use ``library()`` to
get the loaded ``ctypes.CDLL`` with all 101 prototypes set (99 with a library of the first
release, which lacks the two of ``SINCE_1_1``).
"""

from __future__ import annotations

import array
import ctypes
import threading
from typing import Any, Dict, Iterable, List, Optional, Tuple

from . import _locate, diagnostics

#: Every 32-bit value of the controller protocol, also in arrays (never ``c_long``: 64 bits on Linux).
CncLong = ctypes.c_int32
CncLongPtr = ctypes.POINTER(CncLong)
CncLongPtr.__doc__ = "A pointer to one or more CncLong (arrays and outputs)."
#: The remote buffer's opaque handle.
BufferHandle = ctypes.c_void_p
#: ``void (*)(CncLong errorCmd, CncLong cmdState, const char* detail)``.
ErrCallbackFunc = ctypes.CFUNCTYPE(None, CncLong, CncLong, ctypes.c_char_p)

_L, _I, _P, _S, _B, _H = CncLong, ctypes.c_int, CncLongPtr, ctypes.c_char_p, ctypes.c_bool, BufferHandle

# name: (return type, argument types), in the header's order.
PROTOTYPES: Dict[str, Tuple[Any, List[Any]]] = {
    "addTargetCnc": (_B, [_I, _I, _S, _I]),
    "removeTargetCnc": (_B, [_I]),
    "connect": (_B, [_I]),
    "disconnect": (_B, [_I]),
    "getTcpConnectFlag": (_B, [_I]),
    "CheckTcpWdt": (_L, [_I]),
    "setErrCallbackFunc": (_B, [ErrCallbackFunc, _I]),
    "getErrorDeb": (_L, [_L, _I]),
    "registerVars": (_L, [_P, _I, _I]),
    "removeVars": (_L, [_P, _I, _I]),
    "clearVars": (_L, [_I]),
    "readVars": (_L, [_P, _I, _P, _I]),
    "writeVars": (_L, [_P, _I, _P, _I]),
    "registerBits": (_L, [_L, _L, _P, _I, _I]),
    "removeBits": (_L, [_L, _L, _P, _I, _I]),
    "readBits": (_L, [_L, _L, _P, _I, _P, _I]),
    "jogMotionV_Run": (_L, [_L, _L, _L, _L, _L, _I]),
    "jogMotionV_Stop": (_L, [_L, _L, _I]),
    "jogMotionV_MfoSet": (_L, [_L, _L, _I]),
    "jogMotionV_FastOnSet": (_L, [_L, _L, _I]),
    "jogMotionV_Para": (_L, [_L, _L, _L, _L, _L, _I]),
    "jogMotionV_AxesRun": (_L, [_L, _L, _L, _I]),
    "jogMotionV_AxesStop": (_L, [_L, _L, _L, _I]),
    "jogMotionP_Run": (_L, [_L, _L, _L, _L, _L, _L, _I]),
    "jogMotionP_MfoSet": (_L, [_L, _L, _I]),
    "jogMotionP_Stop": (_L, [_L, _L, _I]),
    "jogMotionP_IsStop": (_L, [_L, _L, _L, _P, _I]),
    "jogMotionP_Para": (_L, [_L, _L, _L, _L, _L, _L, _I]),
    "jogMotionP_AxesRun": (_L, [_L, _L, _L, _I]),
    "jogMotionP_AxesStop": (_L, [_L, _L, _L, _I]),
    "jogMotionP_AxesIsStop": (_L, [_L, _L, _L, _L, _P, _P, _I]),
    "mpgSelection": (_L, [_L, _L, _I]),
    "mpgAxesSet": (_L, [_L, _L, _L, _I]),
    "mpgMfoSet": (_L, [_L, _L, _I]),
    "homeRunAxis": (_L, [_L, _L, _I]),
    "homeRunAxes": (_L, [_L, _L, _L, _P, _P, _I]),
    "homeAxisIsEnd": (_L, [_L, _L, _P, _I]),
    "homeAxesIsEnd": (_L, [_L, _L, _L, _P, _P, _I]),
    "homeAxisIsInProcess": (_L, [_L, _L, _P, _I]),
    "homeAxesIsInProcess": (_L, [_L, _L, _L, _P, _P, _I]),
    "prgCycleStart": (_L, [_L, _I]),
    "prgStop": (_L, [_L, _I]),
    "prgPause": (_L, [_L, _L, _L, _I]),
    "prgSingleBlockSet": (_L, [_L, _L, _I]),
    "prgOptionSkipSet": (_L, [_L, _L, _I]),
    "prgMpgTestSet": (_L, [_L, _L, _I]),
    "prgMpgTestSimuSet": (_L, [_L, _L, _I]),
    "emStopSet": (_L, [_L, _L, _I]),
    "prgReset": (_L, [_L, _I]),
    "reset": (_L, [_L, _I]),
    "getRuningPrg": (_S, [_L, _I]),
    "getIBit": (_L, [_L, _L, _P, _I]),
    "getOBit": (_L, [_L, _L, _P, _I]),
    "getCBit": (_L, [_L, _L, _P, _I]),
    "getSBit": (_L, [_L, _L, _P, _I]),
    "getABit": (_L, [_L, _L, _P, _I]),
    "setPlcOBit": (_L, [_L, _L, _L, _I]),
    "setCncOBit": (_L, [_L, _L, _L, _L, _I]),
    "setCBit": (_L, [_L, _L, _L, _I]),
    "setSBit": (_L, [_L, _L, _L, _I]),
    "setABit": (_L, [_L, _L, _L, _I]),
    "getIbits": (_L, [_L, _P, _L, _P, _P, _I]),
    "setPlcObits": (_L, [_L, _P, _P, _L, _I]),
    "setCncObits": (_L, [_L, _P, _P, _L, _L, _I]),
    "getAxisMotionStatus": (_L, [_L, _L, _P, _I]),
    "getAxesMotionStatus": (_L, [_L, _L, _L, _P, _P, _I]),
    "servoOnAxisSet": (_L, [_L, _L, _I]),
    "servoOnAxesSet": (_L, [_L, _L, _L, _L, _I]),
    "servoOnAxisGet": (_L, [_L, _P, _I]),
    "servoOnAxesGet": (_L, [_L, _L, _P, _P, _I]),
    "getAxisCoord": (_L, [_L, _L, _L, _P, _I]),
    "getAxesCoord": (_L, [_L, _L, _L, _L, _L, _P, _I]),
    "alarmRead": (_L, [_L, _P, _P, _P, _I]),
    "udpSetCncIp": (_L, [_S, _I]),
    "SetCncStaticIp": (_L, [_L, _L, _L, _L, _L, _L, _I]),
    "setCncType": (_L, [_L, _L, _I]),
    "setTransFileType": (_L, [_L, _L, _S, _I]),
    "getTransFileState": (_L, [_L, _L, _S, _I]),
    "overwrite": (_L, [_S, _L, _I]),
    "append": (_L, [_S, _L, _I]),
    "fileEnd": (_L, [_L, _I]),
    "uploadFile": (_L, [_L, _L, _S, _S, _I]),
    "cycStart": (_L, [_L, _S, _I]),
    "getCncFileInf": (_L, [_L, _L, _S, _S, _I]),
    "writeCncFile": (_L, [_L, _S, _S, _I]),
    "getCncCurrentError": (_S, [_L, _I]),
    "getCurErrString": (_L, [_L, _L, _S, _I]),
    "bufOpen": (_H, [_S, _I, _I]),
    "bufWrite": (_L, [_H, _S]),
    "bufClear": (_L, [_H]),
    "bufClose": (_L, [_H]),
    "getBufValidCnt": (_L, [_H]),
    "getBufState": (_L, [_H]),
    "getBufStateInf": (_S, [_H]),
    "ftpUploadFile": (_L, [_L, _L, _S, _S, _I]),
    "ftpUploadFileDes": (_L, [_S, _S, _S, _I]),
    "ftpUpdateSystem": (_L, [_S, _S, _I]),
    "ftpMkdir": (_L, [_S, _S, _I]),
    "getFtpUploadFileProgress": (ctypes.c_double, [_I]),
    "setReplyTimeout": (_L, [_L, _I]),
    "setPollInterval": (_L, [_L, _I]),
}

#: The exports of version ACM_1.1: a library of the first release lacks them.
SINCE_1_1 = ("setReplyTimeout", "setPollInterval")

_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


def declare(lib: ctypes.CDLL) -> ctypes.CDLL:
    """Set ``restype`` and ``argtypes`` of every export on ``lib`` (a ``ctypes.CDLL``); returns ``lib``."""
    for name, (restype, argtypes) in PROTOTYPES.items():
        if name in SINCE_1_1 and not hasattr(lib, name):
            continue  # an older library: the Controller refuses what needs them
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


def library(path: Optional[str] = None) -> ctypes.CDLL:
    """The loaded library with every prototype declared; loads it on first use.

    ``path`` (or the environment variable ``ASYNCCOMM_LIBRARY``) names the file to load; without
    either the places listed by ``asynccomm.library_candidates()`` are tried in order. A later
    call with another path than the loaded one raises ``asynccomm.LibraryNotFound``.
    """
    global _library
    with _lock:
        if _library is None:
            _library = declare(_locate.load_library(path))
            diagnostics.route_by_default()
        elif path is not None and _locate.same_file(path, _library._name) is False:
            raise _locate.LibraryNotFound("the library is loaded already from %s" % _library._name)
        return _library


def pointer(values: "array.array[int]") -> "ctypes.Array[ctypes.c_int32]":
    """A ``CncLong`` array over the memory of ``values`` (an ``array('i')``), for a pointer argument."""
    return (CncLong * max(len(values), 1)).from_buffer(values if values else array.array("i", [0]))


def cnc_array(values: Iterable[int]) -> "ctypes.Array[ctypes.c_int32]":
    """A ``CncLong`` array holding ``values`` (each checked to be an int that fits 32 bits signed)."""
    from ._checks import int32s
    return pointer(int32s("cnc_array", values, None))
