#!/usr/bin/env python3
"""A file system whose server has stopped answering: its root is there and opens, but
reading it waits for ever, as a hard or FUSE mount does when its server has gone.

(The open answers because Wine's server opens a directory on its clients' behalf: a
hung open would stop every Wine process, which is Wine's design, not Windows'. Reading
the entries happens in the calling thread, on Windows and under Wine alike.)

    silent_fs.py MOUNTPOINT          (runs in the foreground until killed)
"""
import errno
import stat
import sys
import threading

from fusepy import FUSE, FuseOSError, Operations


class Silent(Operations):
    never = threading.Event()

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        self.never.wait()
        return []


if __name__ == "__main__":
    FUSE(Silent(), sys.argv[1], foreground=True, nothreads=False)
