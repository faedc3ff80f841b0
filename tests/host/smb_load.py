#!/usr/bin/env python3
"""A station's load on mapped drives, for tests/host/smb_load_test.sh.

  smb_load.py stress SECONDS WINDOW_FILE DRIVE=SERVER...
      eight readers (every read checked against the file's checksum), four writers
      (every file read back), a lister and a renamer, on every drive at once; then one
      line of findings: what failed with which errno, wrong bytes, and the median read
      time of each server inside and outside the window WINDOW_FILE names ("START END",
      monotonic seconds), which the caller writes while it holds a server silent.
  smb_load.py loops COUNT DRIVE
      "write a temporary, close, rename it over the file" and "close, delete", COUNT
      times each: the failures of each.
"""
import errno
import hashlib
import os
import random
import statistics
import sys
import threading
import time

# What a server restart may give a call that was under way, or one made while the server
# was not listening yet: the call fails alone.
RESTART_ERRORS = {errno.ECONNABORTED, errno.ECONNRESET, errno.ECONNREFUSED, errno.ENETRESET,
                  errno.EIO, errno.ETIMEDOUT, errno.ENOTCONN, errno.EPIPE, errno.ESTALE,
                  errno.ENOENT, errno.EAGAIN}


class Findings:
    def __init__(self):
        self.lock = threading.Lock()
        self.errors = {}
        self.wrong = 0
        self.reads = []  # (monotonic time, server, seconds)

    def error(self, what, failure):
        with self.lock:
            key = (what, failure.errno)
            self.errors[key] = self.errors.get(key, 0) + 1

    def read(self, server, started, seconds):
        with self.lock:
            self.reads.append((started, server, seconds))


def content(seed, size):
    return random.Random(seed).randbytes(size)


def reader(number, drives, files, until, found):
    drive, server = drives[number % len(drives)]  # so that each server keeps its readers
    while time.monotonic() < until:
        name, digest = random.choice(files)
        started = time.monotonic()
        try:
            with open(os.path.join(drive, "load", name), "rb") as f:
                data = f.read()
        except OSError as failure:
            found.error("read", failure)
            continue
        found.read(server, started, time.monotonic() - started)
        if hashlib.sha256(data).hexdigest() != digest:
            with found.lock:
                found.wrong += 1


def writer(number, drives, until, found):
    n = 0
    while time.monotonic() < until:
        drive, _ = drives[number % len(drives)]
        n += 1
        data = content(number * 100000 + n, random.randint(1, 300000))
        path = os.path.join(drive, "load", "w%d-%d" % (number, n))
        try:
            with open(path + ".tmp", "wb") as f:
                f.write(data)
            with open(path + ".tmp", "rb") as f:
                if f.read() != data:
                    with found.lock:
                        found.wrong += 1
            os.rename(path + ".tmp", path + ".done")
            if n > 1:
                os.unlink(os.path.join(drive, "load", "w%d-%d.done" % (number, n - 1)))
        except OSError as failure:
            found.error("write", failure)


def lister(drives, until, found):
    while time.monotonic() < until:
        for drive, _ in drives:
            try:
                os.listdir(os.path.join(drive, "load"))
            except OSError as failure:
                found.error("list", failure)


def renamer(drives, until, found):
    while time.monotonic() < until:
        for drive, _ in drives:
            folder = os.path.join(drive, "load")
            try:
                os.rename(os.path.join(folder, "r1.txt"), os.path.join(folder, "r2.txt"))
                os.rename(os.path.join(folder, "r2.txt"), os.path.join(folder, "r1.txt"))
            except OSError as failure:
                found.error("rename", failure)
                for name in ("r2.txt", "r1.txt"):  # where it is now, back in place
                    try:
                        os.rename(os.path.join(folder, name), os.path.join(folder, "r1.txt"))
                        break
                    except OSError:
                        pass


def stress(seconds, window_file, pairs):
    drives = [tuple(pair.split("=", 1)) for pair in pairs]
    files = []
    for i in range(8):
        data = content(i, 100000 + 60000 * i)
        files.append(("f%d.bin" % i, hashlib.sha256(data).hexdigest()))
        for drive, _ in drives:
            os.makedirs(os.path.join(drive, "load"), exist_ok=True)
            with open(os.path.join(drive, "load", "f%d.bin" % i), "wb") as f:
                f.write(data)
    for drive, _ in drives:
        with open(os.path.join(drive, "load", "r1.txt"), "w") as f:
            f.write("renamed back and forth")
    print("ready", flush=True)
    found = Findings()
    until = time.monotonic() + seconds
    threads = [threading.Thread(target=reader, args=(n, drives, files, until, found)) for n in range(8)]
    threads += [threading.Thread(target=writer, args=(n, drives, until, found)) for n in range(4)]
    threads += [threading.Thread(target=lister, args=(drives, until, found)),
                threading.Thread(target=renamer, args=(drives, until, found))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    start, end = (float(x) for x in open(window_file).read().split())
    medians = []
    for server in sorted({server for _, server, _ in found.reads}):
        inside = [s for t, who, s in found.reads if who == server and start <= t < end]
        outside = [s for t, who, s in found.reads if who == server and not start <= t < end]
        medians.append("%s=%.1f/%.1f/%d" % (
            server, 1000 * statistics.median(outside) if outside else -1,
            1000 * statistics.median(inside) if inside else -1, len(inside)))
    unexpected = sorted("%s:%s:%d" % (what, errno.errorcode.get(code, code), count)
                        for (what, code), count in found.errors.items()
                        if code not in RESTART_ERRORS)
    expected = sum(count for (_, code), count in found.errors.items() if code in RESTART_ERRORS)
    print("reads=%d wrong=%d restart_errors=%d unexpected=%s medians_ms=%s" % (
        len(found.reads), found.wrong, expected, ",".join(unexpected) or "none",
        ",".join(medians)))


def loops(count, drive):
    folder = os.path.join(drive, "loops")
    os.makedirs(folder, exist_ok=True)
    failures = {"rename over": 0, "delete": 0}
    for n in range(count):
        try:
            with open(os.path.join(folder, "file.tmp"), "w") as f:
                f.write("version %d" % n)
            os.rename(os.path.join(folder, "file.tmp"), os.path.join(folder, "file"))
        except OSError:
            failures["rename over"] += 1
        try:
            with open(os.path.join(folder, "gone%d" % n), "w") as f:
                f.write("x")
            os.unlink(os.path.join(folder, "gone%d" % n))
        except OSError:
            failures["delete"] += 1
    with open(os.path.join(folder, "file")) as f:
        last = f.read()
    print("rename_over_failures=%d delete_failures=%d last=%s" % (
        failures["rename over"], failures["delete"], last.replace(" ", "_")))


if __name__ == "__main__":
    if sys.argv[1] == "stress":
        stress(float(sys.argv[2]), sys.argv[3], sys.argv[4:])
    else:
        loops(int(sys.argv[2]), sys.argv[3])
