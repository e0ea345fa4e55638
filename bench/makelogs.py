#!/usr/bin/env python3
"""Logs for the report benchmark, byte for byte in the recorder's layout.

    makelogs.py FOLDER LINES [PCS [USERS [YEARS]]] [--stray]

Writes PCS logs (pcNNN.txt; a quarter of them initialised once, so with an
archive pcNNN_yy-MM-dd.txt that ends on the open line the log repeats) of
LINES lines in all, for USERS users over YEARS years up to 2026-11-30, in
CP932 with CRLF and no line break at the end. The sessions include
midnight and multi-day ones, crashes (an open line that is not the last),
the clock set back (an end before its start), logs still running, long,
blank-holding and Japanese names, and "-- none --". The same arguments
always give the same files. With --stray, the same files but for one line
in the middle of each log, whose start is the BIOS's date a PC with a
failed clock battery starts at (2000/01/01 00:05), its end as it was.
"""
import datetime
import os
import random
import sys

HEADER = ("// Morvalen for Windows ログファイル //\r\n\r\n"
          "ユーザー名　　　 起動時刻　　　　　　　 終了時刻　　　　　　　 使用時間").encode("cp932")
WEEKDAYS = "月火水木金土日"   # Python's Monday first
FAMILY = ["sato", "suzuki", "takahashi", "tanaka", "ito", "watanabe", "yamamoto", "nakamura",
          "kobayashi", "kato", "yoshida", "yamada", "sasaki", "yamaguchi", "matsumoto"]
SPECIAL = ["山田太郎", "佐藤　花子", "高橋一郎", "Taro Yamada", "-- none --",
           "administrator.operations", "経理部共用パソコン利用者"]


def users(count):
    names = list(SPECIAL)
    for i in range(count):
        names.append("%s.%s%02d" % (FAMILY[i % len(FAMILY)], "abcdefghij"[i % 10], i))
    return names[:count]


def stamp(moment):
    return "%s(%s) %s" % (moment.strftime("%y/%m/%d"), WEEKDAYS[moment.weekday()],
                          moment.strftime("%H:%M"))


def start_record(name, start):
    field = name.encode("cp932").ljust(17, b" ")
    return b"\r\n" + field + stamp(start).encode("cp932")


def end_record(start, end):
    used = int((end - start).total_seconds() // 60)
    used = 0 if used < 0 else min(used, 99 * 60 + 59)
    return ("     %s     %02d:%02d" % (stamp(end), used // 60, used % 60)).encode("cp932")


def sessions(rng, count, first, last, people):
    """count sessions of one PC from first on, one after the other, a few
    each working day, fewer at weekends, so that they end near last."""
    multi = 0.0005
    days = (last - first).days + 1 - count * multi * 23
    weekday_rate = (count / days - 2 / 7 * 0.5) * 7 / 5
    day, moment = first, datetime.datetime.combine(first, datetime.time(0, 0))
    made = 0
    while made < count:
        n = rng.randint(0, 1) if day.weekday() >= 5 else max(0, round(rng.gauss(weekday_rate, 1.0)))
        morning = datetime.datetime.combine(day, datetime.time(rng.randint(6, 9), rng.randint(0, 59)))
        moment = max(moment + datetime.timedelta(minutes=rng.randint(1, 60)), morning)
        for _ in range(min(n, count - made)):
            kind = rng.random()
            length = datetime.timedelta(minutes=rng.randint(5, 200))
            if kind < 0.01:
                length = None                                                # crashed
            elif kind < 0.013:
                length = -datetime.timedelta(minutes=rng.randint(1, 90))     # clock set back
            elif kind < 0.013 + multi:
                length = datetime.timedelta(days=rng.randint(1, 45), minutes=rng.randint(0, 600))
            elif kind < 0.05 and moment.hour < 22:
                moment = moment.replace(hour=22, minute=rng.randint(0, 59))   # over midnight
                length = datetime.timedelta(minutes=rng.randint(90, 360))
            name = people[0] if rng.random() < 0.8 else rng.choice(people)
            yield name, moment, length
            made += 1
            if length is not None and length.total_seconds() > 0:
                moment += length
            moment += datetime.timedelta(minutes=rng.randint(1, 90))
        day = max(day + datetime.timedelta(days=1), moment.date())


BIOS_DATE = datetime.datetime(2000, 1, 1, 0, 5)


def write_pc(folder, index, lines, names, rng, years, stray):
    last = datetime.date(2026, 11, 30)
    first = last - datetime.timedelta(days=int(365.25 * years))
    people = [names[index % len(names)]] + rng.sample(names, 3)
    made = list(sessions(rng, lines, first, last, people))
    # Whole weeks earlier or later, so that every PC's last session starts
    # in the week before last, whatever its pace was.
    shift = datetime.timedelta(days=(last - made[-1][1].date()).days // 7 * 7)
    starts, full = [], []
    for name, start, length in made:
        start += shift
        record = start_record(name, start)
        starts.append((record, start))
        full.append(record + end_record(start, start + length) if length is not None else record)
    if stray:
        # A session with minutes a third of the way in (not the line an
        # archive shares with its log): its start as the clock gave
        # it before Windows set the time. The generator's draws are those
        # of the set without it.
        at = len(made) // 3
        while made[at][2] is None or made[at][2].total_seconds() <= 0:
            at += 1
        name, start, length = made[at]
        end = start + shift + length
        full[at] = start_record(name, BIOS_DATE) + end_record(BIOS_DATE, end)
    # The last session is still running on half of the PCs.
    if index % 2:
        full[-1] = starts[-1][0]
    base = os.path.join(folder, "pc%03d" % index)
    if index % 4 == 0 and len(full) > 10:
        # Initialised once: the archive ends on the running session's open
        # line, which the log starts with and completes.
        cut = len(full) // 2
        opened, when = starts[cut]
        with open("%s_%s.txt" % (base, when.strftime("%y-%m-%d")), "wb") as out:
            out.write(HEADER + b"".join(full[:cut]) + opened)
        full = full[cut:]
    with open(base + ".txt", "wb") as out:
        out.write(HEADER + b"".join(full))


def main():
    stray = "--stray" in sys.argv
    args = [arg for arg in sys.argv if arg != "--stray"]
    folder, lines = args[1], int(args[2])
    pcs = int(args[3]) if len(args) > 3 else 200
    people = int(args[4]) if len(args) > 4 else 50
    years = float(args[5]) if len(args) > 5 else 4
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(13)
    names = users(people)
    for index in range(pcs):
        write_pc(folder, index, lines // pcs, names, rng, years, stray)


if __name__ == "__main__":
    main()
