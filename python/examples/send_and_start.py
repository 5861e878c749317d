#!/usr/bin/env python3
"""Send a part program to a channel and start it.

    send_and_start.py [ADDRESS] [--file PATH] [--name NAME] [--channel N]

Without ADDRESS a simulator is started on a free loopback address; without --file a small
program is sent. A refusal prints the controller's words and ends with status 1.
"""
import argparse
import contextlib
import sys

import asynccomm

PROGRAM = "G90 G54\nG00 X0 Y0\nG01 X10 Y10 F200\nG01 X0\nM30\n"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("address", nargs="?", help="the controller's address (default: a simulator of its own)")
    parser.add_argument("--file", help="the program file to send (default: a small example program)")
    parser.add_argument("--name", default="O1234", help="the program's name on the controller")
    parser.add_argument("--channel", type=int, default=1)
    arguments = parser.parse_args()
    with contextlib.ExitStack() as stack:
        address = arguments.address or stack.enter_context(asynccomm.Simulator()).address
        controller = stack.enter_context(asynccomm.Controller(address, channels=arguments.channel))
        try:
            if arguments.file:
                controller.send_program_file(arguments.file, arguments.channel, arguments.name)
            else:
                controller.send_program(arguments.name, PROGRAM, arguments.channel)
            controller.start_program(arguments.name, arguments.channel)
        except asynccomm.Error as error:
            print("refused: %s" % error, file=sys.stderr)
            return 1
        print("started %s on channel %d" % (arguments.name, arguments.channel))
    return 0


if __name__ == "__main__":
    sys.exit(main())
