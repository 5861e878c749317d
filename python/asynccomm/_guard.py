"""What a thread of the package is doing: the library call running on it, for the error callback,
and whether the ``_async`` twin it runs for was cancelled.

The library takes any call from any thread (targets are added and removed beside running calls),
so the package keeps no lock of its own around the library's calls.
"""

from __future__ import annotations

import threading

#: Per thread: ``call``, the library call running on it (for the error callback); ``cancel``, the
#: Event that ends a wait of an ``_async`` twin whose awaiting task was cancelled.
current = threading.local()


def cancelled() -> bool:
    """Whether the ``_async`` twin this thread runs for was cancelled."""
    event = getattr(current, "cancel", None)
    return event is not None and event.is_set()
