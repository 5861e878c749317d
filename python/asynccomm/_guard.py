"""Locks that keep the library's threading rules for every thread of a Python program.

The library's target registry may be changed (``addTargetCnc``, ``removeTargetCnc``) only while
no other of its functions runs, and a target may be connected or disconnected only while no
other call on it runs. ``REGISTRY`` and each Controller's own ``SharedLock`` make that so: calls
share, registry changes and link changes are exclusive. Order: a Controller's lock first, then
``REGISTRY``; nothing that holds ``REGISTRY`` waits for a Controller's lock.
"""

from __future__ import annotations

import threading
from typing import Callable, Dict, Optional


class SharedLock:
    """Held by many threads at once (``shared``) or by one alone (``exclusive``).

    A thread waiting for the exclusive hold stops new shared holders, so that a stream of calls
    cannot starve it; a thread that already holds the lock is let in again regardless (it may be
    what the exclusive holder waits for).
    """

    def __init__(self) -> None:
        self._condition = threading.Condition(threading.Lock())
        self._shared: Dict[int, int] = {}  # thread ident -> depth of its shared holds
        self._owner: Optional[int] = None  # the exclusive holder's ident
        self._waiting = 0  # threads waiting for the exclusive hold

    def acquire_shared(self) -> None:
        me = threading.get_ident()
        with self._condition:
            if self._owner != me:
                again = me in self._shared
                while self._owner is not None or (self._waiting and not again):
                    self._condition.wait()
            self._shared[me] = self._shared.get(me, 0) + 1

    def release_shared(self) -> None:
        me = threading.get_ident()
        with self._condition:
            depth = self._shared.pop(me) - 1
            if depth:
                self._shared[me] = depth
            else:
                self._condition.notify_all()

    def acquire_exclusive(self) -> None:
        me = threading.get_ident()
        with self._condition:
            if me in self._shared or self._owner == me:
                raise RuntimeError("a Controller cannot be made, linked or closed inside one of its own calls")
            self._waiting += 1
            try:
                while self._owner is not None or self._shared:
                    self._condition.wait()
            finally:
                self._waiting -= 1
            self._owner = me

    def release_exclusive(self) -> None:
        with self._condition:
            self._owner = None
            self._condition.notify_all()

    def shared(self) -> "_Hold":
        return _Hold(self.acquire_shared, self.release_shared)

    def exclusive(self) -> "_Hold":
        return _Hold(self.acquire_exclusive, self.release_exclusive)


class _Hold:
    __slots__ = ("_acquire", "_release")

    def __init__(self, acquire: Callable[[], None], release: Callable[[], None]) -> None:
        self._acquire, self._release = acquire, release

    def __enter__(self) -> None:
        self._acquire()

    def __exit__(self, *exc: object) -> None:
        self._release()


#: Shared by every call that names a target; exclusive for adding and removing targets.
REGISTRY = SharedLock()

#: Per thread: ``call``, the library call running on it (for the error callback); ``cancel``, the
#: Event that ends a wait of an ``_async`` twin whose awaiting task was cancelled.
current = threading.local()


def cancelled() -> bool:
    """Whether the ``_async`` twin this thread runs for was cancelled."""
    event = getattr(current, "cancel", None)
    return event is not None and event.is_set()
