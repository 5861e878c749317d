"""Blocking FTP uploads: wait on the library's progress figure until the upload is done."""

from __future__ import annotations

import ctypes
import time
from typing import Callable, Optional

from ._guard import cancelled
from .errors import FtpFailed, Report, error_for

POLL_INTERVAL = 0.02  # seconds between two looks at the progress figure
DONE = 100.0


def wait_for_upload(lib: ctypes.CDLL, cnc_id: int, function: str, what: str,
                    progress: Optional[Callable[[float, str], None]], timeout: Optional[float],
                    failure: Callable[[], Optional[Report]] = lambda: None, address: Optional[str] = None) -> None:
    """Wait until the target's newest FTP list reports 100 %.

    ``progress(percent, what)`` is called whenever the figure changes. A figure that does not
    move for ``timeout`` seconds (None: never given up) means the upload failed (the library
    reports failures only by a progress that stops): ``asynccomm.NoReply`` is raised then.
    ``failure()`` gives the report of a list that stopped (errorCmd 20), which raises
    ``asynccomm.FtpFailed`` at once.
    """
    last, moved = None, time.monotonic()
    while True:
        percent = lib.getFtpUploadFileProgress(cnc_id)
        if percent != last:
            last, moved = percent, time.monotonic()
            if progress is not None:
                progress(percent, what)
        if percent >= DONE:
            return
        report = failure()
        if report is not None:
            raise FtpFailed(function, [report], address)
        if (timeout is not None and time.monotonic() - moved > timeout) or cancelled():
            raise error_for(111, function, note="FTP of %s stalled at %d %%" % (what, percent), address=address)
        time.sleep(POLL_INTERVAL)
