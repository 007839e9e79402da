#!/usr/bin/python3
"""Checks that the Python peer writes the workbook quorrix-batch writes, cell for cell: every
sheet name in order, and in every sheet each cell's value, type and number format.

    peer_check.py QUORRIX_BATCH PLAN...

The plans given are joined by a few of its own covering what generated plans lack (tasks without
a name or dates, dates at midnight, blank rows, IDs out of order, tasks holding only their IDs,
durations in days, a file that is not a plan). Both layouts are checked. Exit status 0 when the
workbooks are equal, 1 otherwise.
"""

import os
import subprocess
import sys
import tempfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))

EDGE_PLAN = """<?xml version="1.0" encoding="UTF-8"?>
<Project xmlns="http://schemas.microsoft.com/project"><Name>edge</Name><Tasks>
<Task><UID>0</UID><ID>0</ID><Name>edge</Name></Task>
<Task><UID>3</UID><ID>3</ID><Name>Third, written first</Name><Duration>PT2H30M0S</Duration>
  <Start>2024-02-29T00:00:00</Start><Finish>2024-03-01T13:45:30</Finish></Task>
<Task><UID>1</UID><ID>1</ID><Name></Name><Duration>P1DT4H0M0S</Duration></Task>
<Task><UID>2</UID><ID>2</ID><IsNull>1</IsNull></Task>
<Task><UID>4</UID><ID>4</ID><IsNull>0</IsNull></Task>
<Task><UID>5</UID><ID>5</ID><Name>Caf\u00e9 &amp; \u65e5\u672c &lt;five&gt;</Name><Duration>PT0H0M0S</Duration>
  <Start>2023-12-31T23:59:00</Start><Finish>2024-01-01T00:00:00</Finish></Task>
<Task><UID>7</UID><ID>7</ID><Name>Seven</Name><Duration>PT0.5H0M0S</Duration><Start>2024-05-06T08:00:00</Start></Task>
</Tasks></Project>
"""


def cells(path):
    book = openpyxl.load_workbook(path)
    sheets = []
    for sheet in book.worksheets:
        rows = []
        for row in sheet.iter_rows():
            rows.append([(c.value, c.data_type, c.number_format if c.value is not None else None) for c in row])
        while rows and all(v is None for v, _, _ in rows[-1]):
            rows.pop()
        sheets.append((sheet.title, rows))
    return sheets


def main(argv):
    if len(argv) < 1:
        sys.stderr.write(__doc__)
        return 2
    batch, plans = argv[0], argv[1:]
    with tempfile.TemporaryDirectory() as folder:
        edge = os.path.join(folder, "edge.xml")
        with open(edge, "w", encoding="utf-8") as f:
            f.write(EDGE_PLAN)
        junk = os.path.join(folder, "not-a-plan.xml")
        with open(junk, "w") as f:
            f.write("this is not a plan\n")
        entries = [edge] + plans + [junk]
        equal = True
        for layout in ("one-sheet", "sheet-per-file"):
            ours = os.path.join(folder, "ours-%s.xlsx" % layout)
            peer = os.path.join(folder, "peer-%s.xlsx" % layout)
            env = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
            subprocess.run([batch, "--layout", layout, "--output", ours] + entries, env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run([sys.executable, os.path.join(HERE, "peer_merge.py"), "--layout", layout, "--output", peer]
                           + entries, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            a, b = cells(ours), cells(peer)
            count = sum(len(r) for _, rows in a for r in rows)
            if [t for t, _ in a] != [t for t, _ in b]:
                print("%s: sheets differ: %s / %s" % (layout, [t for t, _ in a], [t for t, _ in b]))
                equal = False
                continue
            differences = 0
            for (title, ra), (_, rb) in zip(a, b):
                for r in range(max(len(ra), len(rb))):
                    rowa = ra[r] if r < len(ra) else []
                    rowb = rb[r] if r < len(rb) else []
                    for c in range(max(len(rowa), len(rowb))):
                        ca = rowa[c] if c < len(rowa) else (None, "n", None)
                        cb = rowb[c] if c < len(rowb) else (None, "n", None)
                        if ca != cb:
                            differences += 1
                            if differences <= 10:
                                print("%s %s!%s%d: quorrix-batch %r, peer %r" % (layout, title, chr(65 + c), r + 1, ca, cb))
            if differences:
                equal = False
                print("%s: %d cells differ" % (layout, differences))
            else:
                print("%s: the peer's workbook equals quorrix-batch's (%d sheets, %d cells)" % (layout, len(a), count))
        return 0 if equal else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
