"""FTP server for the tests: serves one folder on 127.0.0.1, on a port the
system picks, and prints "PORT <n>" once it listens.

Files whose names end in ".half" are sent only up to half their size, as if
the server ended the data early; files ending in ".drop" fail half-way, so
the data connection is dropped."""
import argparse
import logging
import os
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class CutFile:
    def __init__(self, f, limit, fail):
        self._f, self._left, self._fail = f, limit, fail
        self.name = f.name
        self.closed = False

    def read(self, n=-1):
        if self._left <= 0:
            if self._fail:
                raise OSError("dropped")
            return b""
        n = self._left if n is None or n < 0 else min(n, self._left)
        data = self._f.read(n)
        self._left -= len(data)
        return data

    def close(self):
        self.closed = True
        self._f.close()

    def fileno(self):
        raise OSError("no sendfile")


class CutFS(AbstractedFS):
    def open(self, filename, mode):
        f = super().open(filename, mode)
        if "r" in mode and (filename.endswith(".half") or filename.endswith(".drop")):
            return CutFile(f, os.path.getsize(filename) // 2, filename.endswith(".drop"))
        return f


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", default="")
    p.add_argument("--password", default="")
    p.add_argument("--no-size", action="store_true", help="refuse SIZE and MDTM")
    p.add_argument("--no-date", action="store_true", help="refuse MDTM only")
    a = p.parse_args()
    logging.basicConfig(level=logging.CRITICAL)
    warnings.filterwarnings("ignore")

    auth = DummyAuthorizer()
    perm = "elradfmwMT"
    if a.user:
        auth.add_user(a.user, a.password, a.root, perm=perm)
    else:
        auth.add_anonymous(a.root, perm=perm)

    class Handler(FTPHandler):
        pass

    Handler.authorizer = auth
    Handler.abstracted_fs = CutFS
    Handler.use_sendfile = False
    Handler.banner = "test server ready"
    Handler.auth_failed_timeout = 0.05
    if a.no_size:
        Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ("SIZE", "MDTM", "MLST")}
    elif a.no_date:
        Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ("MDTM", "MLST")}

    server = FTPServer(("127.0.0.1", 0), Handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
