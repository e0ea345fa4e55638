#!/usr/bin/env python3
"""A timesheet for the report benchmark, beside logs from makelogs.py.

    makesheet.py LOGS-FOLDER SHEET.csv

Reads the logs' completed records and writes, in CP932 with CRLF as an
attendance system exports it (氏名, ユーザー名, 日付, 出勤, 退勤), one row for
every user of the logs and every day of the period they cover. A day the
PC was used declares its first start and last end give or take ten
minutes, a sixth of them starting later or ending earlier by twenty
minutes to two hours; a day without use is mostly a blank row, sometimes
9:00 to 18:00. The same logs always give the same file.
"""
import datetime
import glob
import os
import random
import re
import sys

RECORD = re.compile(r"^(.*?) *(\d\d/\d\d/\d\d)\([^()]*\) (\d\d:\d\d)"
                    r"(?:     (\d\d/\d\d/\d\d)\([^()]*\) (\d\d:\d\d)     \d\d:\d\d)?$")


def moment(date, time):
    return datetime.datetime.strptime(date + " " + time, "%y/%m/%d %H:%M")


def clock(minutes):
    minutes = max(0, min(minutes, 47 * 60 + 59))
    return "%d:%02d" % (minutes // 60, minutes % 60)


def main():
    folder, sheet = sys.argv[1], sys.argv[2]
    days = {}   # (user, date): [first start, last end] in minutes of that date
    first, last = None, None
    for path in sorted(glob.glob(os.path.join(folder, "*.txt"))):
        with open(path, "rb") as log:
            for line in log.read().decode("cp932").split("\r\n"):
                found = RECORD.match(line)
                if not found or not found.group(1):
                    continue
                start = moment(found.group(2), found.group(3))
                day = start.date()
                first = min(first or day, day)
                last = max(last or day, day)
                cell = days.setdefault((found.group(1), day), [24 * 60, -1])
                cell[0] = min(cell[0], start.hour * 60 + start.minute)
                if found.group(4):
                    end = moment(found.group(4), found.group(5))
                    if end >= start:
                        midnight = datetime.datetime.combine(day, datetime.time())
                        cell[1] = max(cell[1], int((end - midnight).total_seconds() // 60))
    rng = random.Random(21)
    rows = ["氏名,ユーザー名,日付,出勤,退勤"]
    for number, user in enumerate(sorted({user for user, _ in days})):
        day = first
        while day <= last:
            cell = days.get((user, day))
            start = end = ""
            if cell:
                kind = rng.random()
                start = cell[0] + rng.randint(-10, 10) + (rng.randint(20, 120) if kind < 0.08 else 0)
                end = (cell[1] if cell[1] >= 0 else cell[0] + 480) + rng.randint(-10, 10)
                end -= rng.randint(20, 120) if 0.08 <= kind < 0.16 else 0
                # A late start on a short day must not pass the end: an end
                # at or before the start is read as the next day's.
                end = max(end, start + 10)
                start, end = clock(start), clock(end)
            elif rng.random() < 0.1:
                start, end = "9:00", "18:00"
            rows.append("社員%03d,%s,%s,%s,%s" % (number, user, day.strftime("%Y/%m/%d"), start, end))
            day += datetime.timedelta(days=1)
    with open(sheet, "wb") as out:
        out.write(("\r\n".join(rows) + "\r\n").encode("cp932"))


main()
