#pragma once

// The FTP server the simulator starts for a controller, run as `python3 -c` with the arguments
// address, port, home folder and verbose (0 or 1). Its first line on standard output says how
// it went: "READY", "NO-PYFTPDLIB", or "CANNOT-BIND <errno> <reason>".
inline const char* ftpServerScript()
{
    return R"PY(
import logging, os, signal, sys, threading
signal.signal(signal.SIGINT, signal.SIG_IGN)  # the simulator decides when its FTP server ends
try:
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
except ImportError:
    print("NO-PYFTPDLIB", flush=True)
    sys.exit(3)
address, port, home, verbose = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4] == "1"
logging.basicConfig(level=logging.INFO if verbose else logging.WARNING,
                    format="ftp " + address + " %(message)s")
authorizer = DummyAuthorizer()
for user in ("root", "ftp"):
    authorizer.add_user(user, "470913", home, perm="elradfmwMT")


class Handler(FTPHandler):
    banner = "cnc-simulator FTP service ready."


Handler.authorizer = authorizer
try:
    server = FTPServer((address, port), Handler)
except OSError as error:
    # pyftpdlib wraps the socket's error in one of its own, without the errno.
    cause = error.args[0] if error.errno is None and error.args and isinstance(error.args[0], OSError) else error
    print("CANNOT-BIND %d %s" % (cause.errno or 0, cause.strerror or cause), flush=True)
    sys.exit(4)


def end_with_parent():
    sys.stdin.buffer.read()
    os._exit(0)


threading.Thread(target=end_with_parent, daemon=True).start()
print("READY", flush=True)
server.serve_forever(handle_exit=False)
)PY";
}
