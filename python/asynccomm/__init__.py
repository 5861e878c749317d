"""Command and observe CNC controllers from Python, over libAsyncCommModule.so.1.

    with asynccomm.Simulator() as sim, asynccomm.Controller(sim.address) as ctl:
        ctl.write_vars({1000001: 7})
        print(ctl.read_vars([1000001]))

``Controller`` raises an ``Error`` subclass with ``.code``, ``.function``, ``.address`` and
``.detail`` when a call fails. ``asynccomm._native.library()`` gives the raw library with all
exports declared.
"""

from ._version import __version__
from ._locate import LibraryNotFound, library_candidates, simulator_candidates, find_simulator
from ._native import library
from .buffer import RemoteBuffer, BufferStopped
from .controller import Controller, DEFAULT_TIMEOUT
from .diagnostics import route_to_logging as log_diagnostics
from .errors import (Error, ArgumentError, ArgumentTypeError, QueueFull, NotConnected, NoReply, Refused,
                     TransferStopped, TransferInterrupted, FtpFailed, result_text)
from .simulator import Simulator
from . import aio

__all__ = ["Controller", "RemoteBuffer", "Simulator", "Error", "ArgumentError", "ArgumentTypeError", "QueueFull",
           "NotConnected", "NoReply", "Refused", "TransferStopped", "TransferInterrupted", "FtpFailed",
           "BufferStopped", "LibraryNotFound", "library", "library_candidates", "simulator_candidates",
           "find_simulator", "log_diagnostics", "result_text", "DEFAULT_TIMEOUT", "__version__"]
