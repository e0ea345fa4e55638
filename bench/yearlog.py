#!/usr/bin/env python3
"""A year of one PC's log, byte for byte in the recorder's layout, for the
copy's benchmark.

    yearlog.py LOG PREVIOUS

Writes LOG: a year up to 2026-11-30, four sessions each working day (a
log-on, lunch, an afternoon lock, an evening), the last one still open;
and PREVIOUS: the same log without its last line, as the collection
folder held it before that log-on. The same files every time.
"""
import datetime
import os
import sys

from makelogs import HEADER, end_record, start_record

log, previous = sys.argv[1:3]
lines = []
day = datetime.date(2025, 12, 1)
while day <= datetime.date(2026, 11, 30):
    if day.weekday() < 5:
        for begin, end in ((8, 40), (12, 0)), ((13, 0), (15, 10)), ((15, 25), (18, 5)), ((20, 30), (21, 15)):
            start = datetime.datetime.combine(day, datetime.time(*begin))
            stop = datetime.datetime.combine(day, datetime.time(*end))
            lines.append(start_record("tanaka.a03", start) + end_record(start, stop))
    day += datetime.timedelta(days=1)
lines.append(start_record("tanaka.a03", datetime.datetime(2026, 12, 1, 8, 40)))
os.makedirs(os.path.dirname(log), exist_ok=True)
with open(log, "wb") as out:
    out.write(HEADER + b"".join(lines))
with open(previous, "wb") as out:
    out.write(HEADER + b"".join(lines[:-1]))
