"""What the package refuses before calling the library: everything the library would refuse, or
would quietly change, on its own terms. Each refusal raises at once and sends nothing.

The rules are the library's (its header): the address's port (a serial line's address is left to
the library, which alone judges its settings), the channel count, 32-bit signed
values, bits that are 0 or 1, bit numbers from 0, texts of 7-bit characters up to the first NUL.
"""

from __future__ import annotations

import array
from typing import Iterable, Optional, Tuple, Type

from .errors import ArgumentError, ArgumentTypeError, Error


def refused(cls: Type[Error], function: str, address: Optional[str], note: str, code: Optional[int] = 1) -> Error:
    """The exception for a call refused before it was made (``code``: what the library would return)."""
    return cls(code, function, address=address, note=note + "; nothing was sent", returned=False)

MOST_CHANNELS = 99
HIGHEST_PORT = 65535
_MOST_PORT_DIGITS = 5

Values = Iterable[int]


def _port_separator(address: str) -> int:
    """Where ":port" starts, or -1 (an IPv6 address takes a port only in brackets)."""
    if address.startswith("["):
        close = address.find("]")
        return close + 1 if close >= 0 and address[close + 1:close + 2] == ":" else -1
    colon = address.find(":")
    return colon if colon >= 0 and address.find(":", colon + 1) < 0 else -1


SERIAL_PREFIX = "serial:"


def port_problem(address: str) -> Optional[str]:
    """Why ``addTargetCnc`` would refuse ``address``'s port, or None."""
    if address.startswith(SERIAL_PREFIX):
        return None
    separator = _port_separator(address.split("\0", 1)[0])
    if separator < 0:
        return None
    host, port = address[:separator], address[separator + 1:]
    if not host.strip("[]"):
        return "the host before the port is empty"
    if not (port.isascii() and port.isdigit() and len(port) <= _MOST_PORT_DIGITS and 1 <= int(port) <= HIGHEST_PORT):
        return "the port %r is not a number in 1..%d" % (port, HIGHEST_PORT)
    return None


def target(address: object, channels: object) -> None:
    """Refuse an address or channel count that ``addTargetCnc`` would refuse."""
    if not isinstance(address, str):
        raise refused(ArgumentTypeError, "addTargetCnc", None, "the address is a %s" % type(address).__name__)
    if not isinstance(channels, int) or isinstance(channels, bool):
        raise refused(ArgumentTypeError, "addTargetCnc", address, "channels must be an int")
    problem = port_problem(address)
    if problem:
        raise refused(ArgumentError, "addTargetCnc", address, problem)
    if not 1 <= channels <= MOST_CHANNELS:
        raise refused(ArgumentError, "addTargetCnc", address, "channels=%d is not in 1..%d" % (channels, MOST_CHANNELS))


def int32s(function: str, values: Values, address: Optional[str], what: str = "value") -> "array.array[int]":
    """``values`` as one array of signed 32-bit ints, converted in bulk; a float, a str or a value
    out of range is refused (naming it) instead of being cut to fit."""
    if isinstance(values, array.array) and values.typecode == "i":
        return values
    if not isinstance(values, (list, tuple)):
        values = list(values)
    try:
        return array.array("i", values)
    except (TypeError, OverflowError):
        pass
    for index, value in enumerate(values):
        if not isinstance(value, int):
            raise refused(ArgumentTypeError, function, address, "%s %d is %r, not an int" % (what, index, value))
        if not -2**31 <= value < 2**31:
            raise refused(ArgumentError, function, address,
                          "%s %d (%d) does not fit 32 bits signed" % (what, index, value))
    raise refused(ArgumentTypeError, function, address, "the %ss are not ints" % what)


def bit_numbers(function: str, bits: Values, address: Optional[str]) -> "array.array[int]":
    """Bit numbers: ints from 0 (a negative one would reach another table's bits)."""
    numbers = int32s(function, bits, address, "bit number")
    if numbers and min(numbers) < 0:
        raise refused(ArgumentError, function, address, "bit number %d is negative" % min(numbers))
    return numbers


def bit_value(function: str, value: object, address: Optional[str]) -> int:
    """A bit's value: 0 or 1 (also False or True)."""
    if value not in (0, 1) or not isinstance(value, int):
        raise refused(ArgumentError, function, address, "a bit is 0 or 1, not %r" % (value,))
    return int(value)


def bit_number(function: str, index: int, address: Optional[str]) -> int:
    """One bit number, from 0."""
    return bit_numbers(function, [index], address)[0]


def seven_bit(function: str, text: str, address: Optional[str], what: str = "text") -> bytes:
    """``text`` as bytes for the library, which ends a text at its first NUL and refuses a byte
    in 0x80..0xFF: both are refused here, naming the offset, instead of being cut short."""
    if not isinstance(text, str):
        raise refused(ArgumentTypeError, function, address, "the %s must be a str" % what)
    if text.isascii():
        at = text.find("\0")
        if at < 0:
            return text.encode("ascii")
        why = "would end it"
    else:
        at = next(i for i, c in enumerate(text) if ord(c) > 0x7F)
        why = "is not 7-bit"
    raise refused(ArgumentError, function, address,
                  "the %s's character %r at offset %d %s" % (what, text[at], at, why))


def milliseconds(function: str, address: Optional[str], seconds: object, limits: Tuple[int, int]) -> int:
    """``seconds`` (None or 0: the library's default) as the whole milliseconds ``function`` takes."""
    if seconds is None:
        return 0
    if not isinstance(seconds, (int, float)) or isinstance(seconds, bool):
        raise refused(ArgumentTypeError, function, address, "seconds must be a number, not %s" % type(seconds).__name__)
    ms = int(round(seconds * 1000))
    if ms != 0 and not limits[0] <= ms <= limits[1]:
        raise refused(ArgumentError, function, address,
                      "%s s is not 0 or in %g..%g s" % (seconds, limits[0] / 1000, limits[1] / 1000))
    return ms
