#!/usr/bin/env python3
"""Stream a long program through the remote buffer, showing how much the controller took.

    stream_with_progress.py [ADDRESS] [--file PATH] [--channel N]

Without ADDRESS a simulator is started on a free loopback address; without --file 3,000
generated lines are streamed.
"""
import argparse
import contextlib
import sys

import asynccomm


def show(sent: int, total: int) -> None:
    print("\r%7d / %d bytes (%3d %%)" % (sent, total, 100 * sent // max(total, 1)), end="", flush=True)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("address", nargs="?", help="the controller's address (default: a simulator of its own)")
    parser.add_argument("--file", help="the program to stream (default: 3,000 generated lines)")
    parser.add_argument("--channel", type=int, default=1)
    arguments = parser.parse_args()
    if arguments.file:
        with open(arguments.file, encoding="ascii") as source:
            text = source.read()
    else:
        text = "".join("N%d G01 X%d Y%d F500\n" % (i, i % 100, i % 37) for i in range(3000))
    with contextlib.ExitStack() as stack:
        address = arguments.address or stack.enter_context(asynccomm.Simulator()).address
        buffer = stack.enter_context(asynccomm.RemoteBuffer(address, arguments.channel, "DNC"))
        try:
            buffer.stream(text, progress=show, chunk=4800)
        except asynccomm.BufferStopped as error:
            print("\nstream stopped: %s" % error.detail, file=sys.stderr)
            return 1
        print("\ndone: %s" % buffer.state_text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
