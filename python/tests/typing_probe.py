"""Read by mypy --strict (test_declarations), never run: what the package's types must refuse."""
from typing import List

import asynccomm


async def probe(ctl: asynccomm.Controller) -> List[int]:
    ctl.raed_vars([1000001])  # type: ignore[attr-defined]
    return await ctl.read_vars_async([1000001])
