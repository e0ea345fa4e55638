#!/usr/bin/env python3
"""Pins what wixl stamps in a package's summary: its two times (made and
last saved) become the commit's time, and its package code is made from
the package's bytes, so two builds of one commit give the same package.

    msistamp.py PACKAGE SECONDS NAMESPACE-GUID

Neither wixl 0.101 nor msibuild can set the times, so the summary's
values are written in place with olefile (Debian's python3-olefile): the
stream keeps its size and the package every other byte.
"""
import hashlib
import struct
import sys
import uuid

import olefile

SUMMARY = "\x05SummaryInformation"
PACKAGE_CODE, MADE, SAVED = 9, 12, 13
VT_LPSTR, VT_FILETIME = 0x1E, 0x40


def rewrite_summary(path, change):
    with olefile.OleFileIO(path, write_mode=True) as package:
        stream = bytearray(package.openstream(SUMMARY).read())
        # The property set: one section, whose offset follows its format id.
        section = struct.unpack_from("<I", stream, 44)[0]
        count = struct.unpack_from("<I", stream, section + 4)[0]
        places = dict(struct.unpack_from("<II", stream, section + 8 + 8 * n) for n in range(count))
        change(stream, {pid: section + offset for pid, offset in places.items()})
        package.write_stream(SUMMARY, bytes(stream))


def main():
    path, seconds, namespace = sys.argv[1], int(sys.argv[2]), uuid.UUID(sys.argv[3])
    # A FILETIME counts 100 ns from 1601.
    when = (seconds + 11644473600) * 10000000

    def put(code):
        def change(stream, at):
            for pid in (MADE, SAVED):
                if struct.unpack_from("<I", stream, at[pid])[0] != VT_FILETIME:
                    sys.exit("msistamp: property %d is no time" % pid)
                struct.pack_into("<Q", stream, at[pid] + 4, when)
            kind, length = struct.unpack_from("<II", stream, at[PACKAGE_CODE])
            if kind != VT_LPSTR or length != 39:
                sys.exit("msistamp: the package code is not a GUID")
            start = at[PACKAGE_CODE] + 8
            stream[start:start + 38] = ("{%s}" % str(code).upper()).encode("ascii")
        rewrite_summary(path, change)

    # The code wixl left is replaced by a blank one of the same length
    # before the bytes are read, so the code depends on nothing else.
    put(uuid.UUID(int=0))
    with open(path, "rb") as package:
        digest = hashlib.sha256(package.read()).hexdigest()
    put(uuid.uuid5(namespace, digest))


if __name__ == "__main__":
    main()
