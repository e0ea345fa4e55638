#!/usr/bin/env python3
"""A company's logs for the report benchmark, with its departments.

    makeoffice.py FOLDER MAPPING.csv [LINES]

Writes the logs of 2,000 PCs used by 500 users over seven years up to
2026-11-30 (makelogs.py's layout, LINES lines in all, 10,000,000 when not
given) into FOLDER, and the /users: mapping of those users in CP932 with
CRLF: a header row (社員番号, ユーザー名, 所属), then each user's code, PC
user name and department, one of ten of unequal sizes, one of which has a
name that cannot be a file name as it stands. The same arguments always
give the same files.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import makelogs  # noqa: E402

PCS, USERS, YEARS = 2000, 500, 7
DEPARTMENTS = ["営業部", "営業部", "営業部", "製造部", "製造部", "開発部", "開発部", "総務部",
               "経理部", "人事部", "情報システム部", "品質保証部", "購買部", "物流/倉庫課"]


def write_mapping(path):
    rows = ["社員番号,ユーザー名,所属"]
    for index, name in enumerate(makelogs.users(USERS)):
        # Names with a comma or a quote would need quoting; makelogs has
        # none. 5 and the list's 14 have no common factor: every entry
        # is used.
        rows.append("E%04d,%s,%s" % (index + 1, name, DEPARTMENTS[index * 5 % len(DEPARTMENTS)]))
    with open(path, "wb") as out:
        out.write(("\r\n".join(rows) + "\r\n").encode("cp932"))


def main():
    folder, mapping = sys.argv[1], sys.argv[2]
    lines = int(sys.argv[3]) if len(sys.argv) > 3 else 10_000_000
    sys.argv = [sys.argv[0], folder, str(lines), str(PCS), str(USERS), str(YEARS)]
    makelogs.main()
    write_mapping(mapping)


if __name__ == "__main__":
    main()
