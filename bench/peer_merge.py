#!/usr/bin/python3
"""The Python peer of the import benchmark: the same job as quorrix-batch, done the way a
script would do it with lxml and openpyxl (write-only mode).

    peer_merge.py [--layout one-sheet|sheet-per-file] --output FILE.xlsx PLAN...

Reads plans in Project's XML format and writes the workbook quorrix-batch writes: the same
sheets (Sheet1 to Sheet3 with every task on Sheet1, or Sheet4 onwards with one sheet per plan),
the header row, then one row per task in ID order (the project summary task, blank rows and
tasks holding nothing but their IDs left out): the name as text, the duration in minutes as a
number, start and finish as date cells ("m/d/yyyy h:mm", or "m/d/yyyy" at midnight) or the text
"NA" when the plan has none. Column widths are not fitted. A plan that cannot be read is
listed on standard error and left out; the exit status is then 1.

Needs Debian's python3-lxml and python3-openpyxl (run with /usr/bin/python3).
"""

import datetime
import re
import sys

from lxml import etree
from openpyxl import Workbook
from openpyxl.cell import WriteOnlyCell

HEADERS = ["Task Name", "Duration", "Start Date", "Finish Date"]
DATE_TIME = "m/d/yyyy h:mm"
DATE = "m/d/yyyy"

FIELDS = ("ID", "IsNull", "UID", "Name", "Duration", "Start", "Finish")
NAMESPACE = "{http://schemas.microsoft.com/project}"
# Element tag (with or without the namespace) to field.
TAGS = {}
for field in FIELDS:
    TAGS[field] = field
    TAGS[NAMESPACE + field] = field

DURATION = re.compile(
    r"\s*([-+]?)P(?:([\d.,]+)W)?(?:([\d.,]+)D)?(?:T(?:([\d.,]+)H)?(?:([\d.,]+)M)?(?:([\d.,]+)S)?)?\s*$")
MINUTES_PER = (7 * 24 * 60, 24 * 60, 60, 1, 1 / 60)


def minutes(text):
    if text is None or not text.strip():
        return 0.0
    m = DURATION.match(text)
    if not m:
        raise ValueError("duration %r" % text)
    total = 0.0
    for part, per in zip(m.groups()[1:], MINUTES_PER):
        if part:
            total += float(part.replace(",", ".")) * per
    total = -total if m.group(1) == "-" else total
    return total + 0.0  # no negative zero


def wall_clock(text):
    text = text.strip()
    year, month, day = int(text[0:4]), int(text[5:7]), int(text[8:10])
    hour = minute = second = micro = 0
    if len(text) > 10:
        hour, minute = int(text[11:13]), int(text[14:16])
        if len(text) > 16:
            second = int(text[17:19])
            if len(text) > 20 and text[19] == ".":
                digits = (text[20:].rstrip("Z") + "000")[:3]
                micro = int(digits) * 1000
    return datetime.datetime(year, month, day, hour, minute, second, micro)


def tasks_of(path):
    """The task rows of one plan, in ID order."""
    root = etree.parse(path, etree.XMLParser(huge_tree=True, resolve_entities=False)).getroot()
    positions = {}
    previous = -1
    for tasks in root:
        if not isinstance(tasks.tag, str) or tasks.tag.rpartition("}")[2] != "Tasks":
            continue
        for task in tasks:
            if not isinstance(task.tag, str) or task.tag.rpartition("}")[2] != "Task":
                continue
            found = {}
            other = False
            for child in task:
                field = TAGS.get(child.tag)
                if field is None:
                    if isinstance(child.tag, str):
                        other = True
                    continue
                if field not in ("ID", "UID", "IsNull"):
                    other = True
                found[field] = child.text
            ident = int(found["ID"]) if found.get("ID") is not None and found["ID"].strip() else previous + 1
            previous = ident
            if ident == 0:
                continue
            null = (found.get("IsNull") or "").strip() in ("1", "true")
            if null or not other:
                continue
            positions[ident] = (found.get("Name") or "", minutes(found.get("Duration")), found.get("Start"),
                                found.get("Finish"))
    return [positions[i] for i in sorted(positions)]


class SheetWriter:
    def __init__(self, sheet):
        self.sheet = sheet
        sheet.append(HEADERS)

    def date(self, text):
        if text is None or not text.strip():
            return "NA"
        value = wall_clock(text)
        cell = WriteOnlyCell(self.sheet, value=value)
        cell.number_format = DATE if value.time() == datetime.time() else DATE_TIME
        return cell

    def add(self, row):
        name, duration, start, finish = row
        self.sheet.append([name if name else None, duration, self.date(start), self.date(finish)])


def main(argv):
    one_sheet = True
    output = None
    plans = []
    i = 0
    while i < len(argv):
        if argv[i] == "--layout" and i + 1 < len(argv):
            one_sheet = argv[i + 1] != "sheet-per-file"
            i += 2
        elif argv[i] == "--output" and i + 1 < len(argv):
            output = argv[i + 1]
            i += 2
        else:
            plans.append(argv[i])
            i += 1
    if not output:
        sys.stderr.write(__doc__)
        return 2

    book = Workbook(write_only=True)
    writer = None
    if one_sheet:
        writer = SheetWriter(book.create_sheet("Sheet1"))
    failed = []
    for number, path in enumerate(plans):
        if not one_sheet:
            writer = SheetWriter(book.create_sheet("Sheet%d" % (4 + number)))
        try:
            rows = tasks_of(path)
        except (OSError, ValueError, KeyError, etree.XMLSyntaxError):
            failed.append(path)
            continue
        for row in rows:
            writer.add(row)
    if one_sheet:
        book.create_sheet("Sheet2")
        book.create_sheet("Sheet3")
    book.save(output)
    if failed:
        sys.stderr.write("These files could not be imported:\n" + "\n".join(failed) + "\n")
        return 1
    print("Done.")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
