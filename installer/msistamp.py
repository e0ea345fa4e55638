#!/usr/bin/env python3
"""Pins what wixl stamps in a package's summary: its two times (made and
last saved) become the commit's time, and its package code is made from
the package's bytes, so two builds of one commit give the same package.

    msistamp.py PACKAGE SECONDS NAMESPACE-GUID

Neither wixl 0.101 nor msibuild can set the times, so the summary stream
is found in the package's compound file and its values are written in
place: the stream keeps its size and every other byte.
"""
import hashlib
import struct
import sys
import uuid

SUMMARY = "\x05SummaryInformation"
PACKAGE_CODE, MADE, SAVED = 9, 12, 13
VT_LPSTR, VT_FILETIME = 0x1E, 0x40
END_OF_CHAIN = 0xFFFFFFFA


def stream_places(data, name):
    """The file offsets of the named stream's bytes, one per byte."""
    sector = 1 << struct.unpack_from("<H", data, 30)[0]
    mini = 1 << struct.unpack_from("<H", data, 32)[0]
    fat_sectors, directory = struct.unpack_from("<I", data, 44)[0], struct.unpack_from("<I", data, 48)[0]
    cutoff, minifat_start = struct.unpack_from("<II", data, 56)
    if fat_sectors > 109:
        sys.exit("msistamp: a package this large is not handled")
    fat = []
    for index in struct.unpack_from("<109I", data, 76)[:fat_sectors]:
        fat += struct.unpack_from("<%dI" % (sector // 4), data, 512 + index * sector)

    def chain(start, table):
        while start < END_OF_CHAIN:
            yield start
            start = table[start]

    def sectors(start):
        return [512 + index * sector for index in chain(start, fat)]

    entries = b"".join(data[at:at + sector] for at in sectors(directory))
    root_sectors = sectors(struct.unpack_from("<I", entries, 116)[0])
    for at in range(0, len(entries), 128):
        length = struct.unpack_from("<H", entries, at + 64)[0]
        if entries[at:at + max(length - 2, 0)].decode("utf-16-le") != name:
            continue
        start, size = struct.unpack_from("<II", entries, at + 116)
        if size >= cutoff:
            return [base + i for base in sectors(start) for i in range(sector)][:size]
        minifat = []
        for base in sectors(minifat_start):
            minifat += struct.unpack_from("<%dI" % (sector // 4), data, base)
        places = []
        for index in chain(start, minifat):
            offset = index * mini
            base = root_sectors[offset // sector] + offset % sector
            places += range(base, base + mini)
        return places[:size]
    sys.exit("msistamp: no %r stream" % name)


def main():
    path, seconds, namespace = sys.argv[1], int(sys.argv[2]), uuid.UUID(sys.argv[3])
    data = bytearray(open(path, "rb").read())
    places = stream_places(data, SUMMARY)
    stream = bytearray(data[i] for i in places)
    # The property set: one section, whose offset follows its format id.
    section = struct.unpack_from("<I", stream, 44)[0]
    count = struct.unpack_from("<I", stream, section + 4)[0]
    values = dict(struct.unpack_from("<II", stream, section + 8 + 8 * n) for n in range(count))

    # A FILETIME counts 100 ns from 1601.
    when = (seconds + 11644473600) * 10000000
    for pid in (MADE, SAVED):
        at = section + values[pid]
        if struct.unpack_from("<I", stream, at)[0] != VT_FILETIME:
            sys.exit("msistamp: property %d is no time" % pid)
        struct.pack_into("<Q", stream, at + 4, when)

    # The code wixl left is replaced by a blank one of the same length
    # before the bytes are read, so the code depends on nothing else.
    at = section + values[PACKAGE_CODE]
    kind, length = struct.unpack_from("<II", stream, at)
    if kind != VT_LPSTR or length != 39:
        sys.exit("msistamp: the package code is not a GUID")

    def put_code(code):
        stream[at + 8:at + 8 + 38] = ("{%s}" % str(code).upper()).encode("ascii")
        for i, place in enumerate(places):
            data[place] = stream[i]

    put_code(uuid.UUID(int=0))
    put_code(uuid.uuid5(namespace, hashlib.sha256(data).hexdigest()))
    open(path, "wb").write(data)


if __name__ == "__main__":
    main()
