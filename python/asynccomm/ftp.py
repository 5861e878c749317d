"""Blocking FTP uploads: wait on the library's progress figure until the upload is done."""

import time

from .errors import FtpFailed, error_for

POLL_INTERVAL = 0.02  # seconds between two looks at the progress figure
DONE = 100.0


def wait_for_upload(lib, cnc_id, function, what, progress, timeout, failure=lambda: None):
    """Wait until the target's newest FTP list reports 100 %.

    ``progress(percent, what)`` is called whenever the figure changes. A figure that does not
    move for ``timeout`` seconds means the upload failed (the library reports failures only by
    a progress that stops): ``asynccomm.NoReply`` is raised then. ``failure()`` gives the
    report of a list that stopped (errorCmd 20), which raises ``asynccomm.FtpFailed`` at once.
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
        if failure() is not None:
            raise FtpFailed(function, [failure()])
        if time.monotonic() - moved > timeout:
            raise error_for(111, function, note="FTP of %s stalled at %d %%" % (what, percent))
        time.sleep(POLL_INTERVAL)
