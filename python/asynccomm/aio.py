"""``asyncio`` helpers: a polled-value async iterator (every ``Controller`` method also has a ``*_async`` twin)."""

from __future__ import annotations

import asyncio
from typing import TYPE_CHECKING, AsyncIterator, Iterable, List

from .errors import NoReply

if TYPE_CHECKING:
    from .controller import Controller


async def poll(controller: "Controller", addresses: Iterable[int], interval: float = 0.1) -> AsyncIterator[List[int]]:
    """Yield the list of values of ``addresses`` every ``interval`` seconds, without blocking the loop.

    On an asynchronous Controller the addresses are registered for the background poll first,
    and removed when the iteration ends; values come once a poll has read them all (until then
    the library answers ``NoReply``, which is waited out, not raised).
    """
    addresses = list(addresses)
    if controller.asynchronous:
        await controller.register_vars_async(addresses)
    try:
        while True:
            try:
                yield await controller.read_vars_async(addresses)
            except NoReply:
                if not controller.asynchronous:
                    raise
            await asyncio.sleep(interval)
    finally:
        if controller.asynchronous and controller.cnc_id is not None:
            controller.remove_vars(addresses)
