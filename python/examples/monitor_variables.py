#!/usr/bin/env python3
"""Monitor controller variables: print their values whenever they change.

    monitor_variables.py [ADDRESS] [--rounds N] [VARIABLE ...]

Without ADDRESS a simulator is started on a free loopback address (and some values written,
so that there is something to see). The variables are polled in the background by an
asynchronous controller connection and read through an asyncio iterator.
"""
import argparse
import asyncio
import contextlib
from typing import List, Optional

import asynccomm


async def monitor(controller: asynccomm.Controller, variables: List[int], rounds: int) -> None:
    last: Optional[List[int]] = None
    async for values in asynccomm.aio.poll(controller, variables, interval=0.05):
        if values != last:
            print(" ".join("%d=%d" % pair for pair in zip(variables, values)), flush=True)
            last = values
        rounds -= 1
        if rounds <= 0:
            return


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("address", nargs="?", help="the controller's address (default: a simulator of its own)")
    parser.add_argument("--rounds", type=int, default=40, help="how many polls to print from (default 40)")
    parser.add_argument("variables", nargs="*", type=int, default=[1000001, 1000002, 120138])
    arguments = parser.parse_args()
    with contextlib.ExitStack() as stack:
        address = arguments.address
        if address is None:
            address = stack.enter_context(asynccomm.Simulator()).address
            with asynccomm.Controller(address) as writer:
                writer.write_vars({a: i + 1 for i, a in enumerate(arguments.variables)})
        controller = stack.enter_context(asynccomm.Controller(address, asynchronous=True))
        asyncio.run(monitor(controller, arguments.variables, arguments.rounds))


if __name__ == "__main__":
    main()
