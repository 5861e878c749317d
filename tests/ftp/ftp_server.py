#!/usr/bin/env python3
"""The tests' FTP server: users "root" and "ftp" (password 470913) in homes of the test's choosing, on
port 21 of the first free loopback address from 127.0.0.<first-host>. Prints "READY <address>", logs
every command line before it answers, ends when stdin closes or after --lifetime s."""
import argparse
import logging
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

PASSWORD = "470913"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--first-host", type=int, default=100)
    parser.add_argument("--root-home", required=True)
    parser.add_argument("--ftp-home", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--stall", default="", help="a command taken in without any answer")
    parser.add_argument("--drop-data-after", type=int, default=0,
                        help="end an upload's data connection after this many bytes, without a reply")
    parser.add_argument("--lifetime", type=float, default=120.0)
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user("root", PASSWORD, args.root_home, perm="elradfmwMT")
    authorizer.add_user("ftp", PASSWORD, args.ftp_home, perm="elradfmwMT")
    log = open(args.log, "a", encoding="utf-8", errors="surrogateescape")
    stall = args.stall.upper()

    class Handler(FTPHandler):
        auth_failed_timeout = 0  # a wrong password is answered at once

        def pre_process_command(self, line, cmd, arg):
            log.write(line + "\n")
            log.flush()
            if cmd == stall:
                return
            return super().pre_process_command(line, cmd, arg)

        def on_disconnect(self):
            log.write("(closed)\n")  # the client went, or was dropped
            log.flush()

    Handler.authorizer = authorizer
    if args.drop_data_after:
        class DroppingDtp(DTPHandler):
            def recv(self, buffer_size):
                chunk = super().recv(buffer_size)
                if self.get_transmitted_bytes() + len(chunk) >= args.drop_data_after and not self._closed:
                    self._resp = None  # as a server that loses its transfer would: no word on it
                    self.close()
                return chunk

        Handler.dtp_handler = DroppingDtp

    server = None
    for host in range(args.first_host, 255):
        address = "127.0.0.%d" % host
        try:
            server = FTPServer((address, 21), Handler)
            break
        except OSError:
            continue
    if server is None:
        print("NO FREE ADDRESS", flush=True)
        return 1

    def end_with_parent():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=end_with_parent, daemon=True).start()
    print("READY " + address, flush=True)
    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline:
        server.serve_forever(timeout=0.2, blocking=False, handle_exit=False)
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
