#!/usr/bin/env python3
"""Writes the sample plans of data/Samples/ in Project's XML format.

Every plan is described below as an outline of phases, tasks and milestones. The script schedules
it on the standard calendar (Monday to Friday, 08:00-12:00 and 13:00-17:00, 480 minutes a day,
2400 a week), links each task to the one before it (finish to start) unless it is marked to run
alongside, rolls dates up into the summary tasks and writes one file per plan. The output depends
on nothing but this file, so running it again gives the same bytes.

    tools/make-samples.py [OUTPUT_FOLDER]     (default: data/Samples next to this script's folder)
"""

import datetime as dt
import os
import sys
from xml.sax.saxutils import escape

MINUTES_PER_DAY = 480
MINUTES_PER_WEEK = 2400
PERIODS = ((8 * 60, 12 * 60), (13 * 60, 17 * 60))  # working periods of a working day, in minutes

# Duration units: suffix -> (minutes per unit, DurationFormat, estimated)
UNITS = {
    "m": (1, 3, False),
    "h": (60, 5, False),
    "d": (MINUTES_PER_DAY, 7, False),
    "w": (MINUTES_PER_WEEK, 9, False),
    "d?": (MINUTES_PER_DAY, 39, True),
    "w?": (MINUTES_PER_WEEK, 41, True),
}


# ---- The outline ---------------------------------------------------------------------------------

class Node:
    def __init__(self, kind, name=None, duration=None, children=None, alongside=False):
        self.kind = kind  # "task", "milestone", "group", "blank"
        self.name = name
        self.duration = duration
        self.children = children or []
        self.alongside = alongside  # starts with the sibling before it instead of after it


def T(name, duration, alongside=False):
    return Node("task", name, duration, alongside=alongside)


def A(name, duration):
    """A task that runs alongside the task before it."""
    return T(name, duration, alongside=True)


def M(name):
    return Node("milestone", name)


def G(name, children, alongside=False):
    return Node("group", name, children=children, alongside=alongside)


BLANK = Node("blank")


def parse_duration(text):
    for suffix in ("d?", "w?", "m", "h", "d", "w"):
        if text.endswith(suffix):
            per, fmt, estimated = UNITS[suffix]
            minutes = round(float(text[: -len(suffix)]) * per)
            return minutes, fmt, estimated
    raise ValueError("bad duration: " + text)


# ---- The standard calendar -------------------------------------------------------------------------

def is_working_day(day):
    return day.weekday() < 5


def next_working_moment(moment):
    """The first moment at or after `moment` at which work can go on."""
    while True:
        if is_working_day(moment.date()):
            minute = moment.hour * 60 + moment.minute
            for start, end in PERIODS:
                if minute < start:
                    return dt.datetime.combine(moment.date(), dt.time(start // 60, start % 60))
                if minute < end:
                    return moment
        moment = dt.datetime.combine(moment.date() + dt.timedelta(days=1), dt.time(0, 0))


def add_work(start, minutes):
    """The finish of `minutes` of work begun at the working moment `start`; work that ends with a
    working period finishes at that period's end, as the planning application shows it."""
    moment = start
    left = minutes
    while True:
        moment = next_working_moment(moment)
        minute = moment.hour * 60 + moment.minute
        end = next(e for s, e in PERIODS if s <= minute < e)
        room = end - minute
        if left <= room:
            return moment + dt.timedelta(minutes=left)
        left -= room
        moment = dt.datetime.combine(moment.date(), dt.time(end // 60, end % 60))


def work_between(start, finish):
    """Working minutes from `start` to `finish`."""
    total = 0
    day = start.date()
    while day <= finish.date():
        if is_working_day(day):
            for s, e in PERIODS:
                a = max(dt.datetime.combine(day, dt.time(s // 60, s % 60)), start)
                b = min(dt.datetime.combine(day, dt.time(e // 60, e % 60)), finish)
                if b > a:
                    total += int((b - a).total_seconds() // 60)
        day += dt.timedelta(days=1)
    return total


# ---- Scheduling ----------------------------------------------------------------------------------------

class Row:
    def __init__(self, node, level, outline):
        self.node = node
        self.level = level
        self.outline = outline
        self.id = 0
        self.start = None
        self.finish = None
        self.minutes = 0
        self.fmt = 7
        self.estimated = False
        self.predecessors = []
        self.children = []


def flatten(nodes, level, prefix, rows):
    number = 0
    made = []
    for node in nodes:
        if node.kind == "blank":
            row = Row(node, 0, "")
            rows.append(row)
            continue
        number += 1
        outline = prefix + str(number)
        row = Row(node, level, outline)
        rows.append(row)
        made.append(row)
        if node.kind == "group":
            row.children = flatten(node.children, level + 1, outline + ".", rows)
    return made


def schedule(row, predecessors, project_start):
    """Gives the row its dates; returns the rows a following task waits for."""
    node = row.node
    if node.kind == "group":
        ends = schedule_siblings(row.children, predecessors, project_start)
        row.start = min(c.start for c in row.children)
        row.finish = max(c.finish for c in row.children)
        row.minutes = work_between(row.start, row.finish)
        row.fmt = 7
        return ends
    row.predecessors = predecessors
    ready = max((p.finish for p in predecessors), default=project_start)
    if node.kind == "milestone":
        row.start = row.finish = ready
        row.minutes = 0
        row.fmt = 7
    else:
        row.minutes, row.fmt, row.estimated = parse_duration(node.duration)
        row.start = next_working_moment(ready)
        row.finish = add_work(row.start, row.minutes)
    return [row]


def schedule_siblings(rows, predecessors, project_start):
    """Schedules rows of one level in order; returns the rows a following task waits for."""
    current = predecessors
    previous_in = predecessors
    for row in rows:
        if row.node.alongside:
            out = schedule(row, previous_in, project_start)
            current = current + [r for r in out if r not in current]
        else:
            previous_in = current
            current = schedule(row, current, project_start)
    return current


# ---- Writing -------------------------------------------------------------------------------------

def stamp(moment):
    return moment.strftime("%Y-%m-%dT%H:%M:%S")


def duration_text(minutes):
    return "PT%dH%dM0S" % (minutes // 60, minutes % 60)


CALENDAR = """\t<Calendars>
\t\t<Calendar>
\t\t\t<UID>1</UID>
\t\t\t<Name>Standard</Name>
\t\t\t<IsBaseCalendar>1</IsBaseCalendar>
\t\t\t<BaseCalendarUID>-1</BaseCalendarUID>
\t\t\t<WeekDays>
{days}\t\t\t</WeekDays>
\t\t</Calendar>
\t</Calendars>
"""


def calendar_xml():
    days = []
    for day_type in range(1, 8):
        working = 2 <= day_type <= 6
        lines = ["\t\t\t\t<WeekDay>", "\t\t\t\t\t<DayType>%d</DayType>" % day_type,
                 "\t\t\t\t\t<DayWorking>%d</DayWorking>" % int(working)]
        if working:
            lines.append("\t\t\t\t\t<WorkingTimes>")
            for s, e in PERIODS:
                lines += ["\t\t\t\t\t\t<WorkingTime>",
                          "\t\t\t\t\t\t\t<FromTime>%02d:%02d:00</FromTime>" % (s // 60, s % 60),
                          "\t\t\t\t\t\t\t<ToTime>%02d:%02d:00</ToTime>" % (e // 60, e % 60),
                          "\t\t\t\t\t\t</WorkingTime>"]
            lines.append("\t\t\t\t\t</WorkingTimes>")
        lines.append("\t\t\t\t</WeekDay>")
        days.append("\n".join(lines) + "\n")
    return CALENDAR.format(days="".join(days))


def task_xml(fields, links=()):
    out = ["\t\t<Task>"]
    for key, value in fields:
        out.append("\t\t\t<%s>%s</%s>" % (key, value, key))
    for uid in links:
        out += ["\t\t\t<PredecessorLink>",
                "\t\t\t\t<PredecessorUID>%d</PredecessorUID>" % uid,
                "\t\t\t\t<Type>1</Type>",
                "\t\t\t\t<CrossProject>0</CrossProject>",
                "\t\t\t\t<LinkLag>0</LinkLag>",
                "\t\t\t\t<LagFormat>7</LagFormat>",
                "\t\t\t</PredecessorLink>"]
    out.append("\t\t</Task>")
    return "\n".join(out) + "\n"


def common_fields(row_type, created, start, finish, minutes, fmt, estimated, milestone, summary):
    return [
        ("Type", row_type),
        ("IsNull", 0),
        ("CreateDate", stamp(created)),
    ], [
        ("Priority", 500),
        ("Start", stamp(start)),
        ("Finish", stamp(finish)),
        ("Duration", duration_text(minutes)),
        ("DurationFormat", fmt),
        ("Work", "PT0H0M0S"),
        ("ResumeValid", 0),
        ("EffortDriven", 0 if summary else 1),
        ("Recurring", 0),
        ("OverAllocated", 0),
        ("Estimated", int(estimated)),
        ("Milestone", int(milestone)),
        ("Summary", int(summary)),
        ("IsSubproject", 0),
        ("IsSubprojectReadOnly", 0),
        ("ExternalTask", 0),
        ("EarlyStart", stamp(start)),
        ("EarlyFinish", stamp(finish)),
        ("FixedCost", 0),
        ("FixedCostAccrual", 3),
        ("PercentComplete", 0),
        ("PercentWorkComplete", 0),
        ("Cost", 0),
        ("ActualDuration", "PT0H0M0S"),
        ("RemainingDuration", duration_text(minutes)),
        ("ConstraintType", 0),
        ("CalendarUID", -1),
        ("LevelAssignments", 1),
        ("LevelingCanSplit", 1),
        ("LevelingDelay", 0),
        ("LevelingDelayFormat", 8),
        ("IgnoreResourceCalendar", 0),
        ("HideBar", 0),
        ("Rollup", 0),
        ("EarnedValueMethod", 0),
        ("Active", 1),
        ("Manual", 0),
    ]


def plan_xml(plan):
    start = plan["start"]
    created = plan["created"]
    rows = []
    top = flatten(plan["outline"], 1, "", rows)
    schedule_siblings(top, [], start)
    for number, row in enumerate(rows, 1):
        row.id = number
    finish = max(r.finish for r in rows if r.finish)
    total = work_between(start, finish)

    head = [
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
        '<Project xmlns="http://schemas.microsoft.com/project">',
        "\t<SaveVersion>14</SaveVersion>",
        "\t<Name>%s</Name>" % escape(plan["file"]),
        "\t<Title>%s</Title>" % escape(plan["title"]),
        "\t<Subject>%s</Subject>" % escape(plan["subject"]),
        "\t<Company>%s</Company>" % escape(plan["company"]),
        "\t<Author>%s</Author>" % escape(plan["author"]),
        "\t<CreationDate>%s</CreationDate>" % stamp(created),
        "\t<LastSaved>%s</LastSaved>" % stamp(plan["saved"]),
        "\t<ScheduleFromStart>1</ScheduleFromStart>",
        "\t<StartDate>%s</StartDate>" % stamp(start),
        "\t<FinishDate>%s</FinishDate>" % stamp(finish),
        "\t<FYStartDate>1</FYStartDate>",
        "\t<CriticalSlackLimit>0</CriticalSlackLimit>",
        "\t<CurrencyDigits>2</CurrencyDigits>",
        "\t<CurrencySymbol>%s</CurrencySymbol>" % plan.get("currency", ("€", "EUR"))[0],
        "\t<CurrencyCode>%s</CurrencyCode>" % plan.get("currency", ("€", "EUR"))[1],
        "\t<CurrencySymbolPosition>0</CurrencySymbolPosition>",
        "\t<CalendarUID>1</CalendarUID>",
        "\t<DefaultStartTime>08:00:00</DefaultStartTime>",
        "\t<DefaultFinishTime>17:00:00</DefaultFinishTime>",
        "\t<MinutesPerDay>%d</MinutesPerDay>" % MINUTES_PER_DAY,
        "\t<MinutesPerWeek>%d</MinutesPerWeek>" % MINUTES_PER_WEEK,
        "\t<DaysPerMonth>20</DaysPerMonth>",
        "\t<DefaultTaskType>0</DefaultTaskType>",
        "\t<DefaultFixedCostAccrual>3</DefaultFixedCostAccrual>",
        "\t<DefaultStandardRate>0</DefaultStandardRate>",
        "\t<DefaultOvertimeRate>0</DefaultOvertimeRate>",
        "\t<DurationFormat>7</DurationFormat>",
        "\t<WorkFormat>2</WorkFormat>",
        "\t<EditableActualCosts>0</EditableActualCosts>",
        "\t<HonorConstraints>0</HonorConstraints>",
        "\t<InsertedProjectsLikeSummary>1</InsertedProjectsLikeSummary>",
        "\t<MultipleCriticalPaths>0</MultipleCriticalPaths>",
        "\t<NewTasksEffortDriven>1</NewTasksEffortDriven>",
        "\t<NewTasksEstimated>1</NewTasksEstimated>",
        "\t<SplitsInProgressTasks>1</SplitsInProgressTasks>",
        "\t<SpreadActualCost>0</SpreadActualCost>",
        "\t<SpreadPercentComplete>0</SpreadPercentComplete>",
        "\t<TaskUpdatesResource>1</TaskUpdatesResource>",
        "\t<FiscalYearStart>0</FiscalYearStart>",
        "\t<WeekStartDay>1</WeekStartDay>",
        "\t<MoveCompletedEndsBack>0</MoveCompletedEndsBack>",
        "\t<MoveRemainingStartsBack>0</MoveRemainingStartsBack>",
        "\t<MoveRemainingStartsForward>0</MoveRemainingStartsForward>",
        "\t<MoveCompletedEndsForward>0</MoveCompletedEndsForward>",
        "\t<BaselineForEarnedValue>0</BaselineForEarnedValue>",
        "\t<AutoAddNewResourcesAndTasks>1</AutoAddNewResourcesAndTasks>",
        "\t<CurrentDate>%s</CurrentDate>" % stamp(plan["saved"].replace(hour=8, minute=0)),
        "\t<Autolink>1</Autolink>",
        "\t<NewTaskStartDate>0</NewTaskStartDate>",
        "\t<DefaultTaskEVMethod>0</DefaultTaskEVMethod>",
        "\t<ProjectExternallyEdited>0</ProjectExternallyEdited>",
        "\t<ExtendedCreationDate>1984-01-01T00:00:00</ExtendedCreationDate>",
        "\t<ActualsInSync>1</ActualsInSync>",
        "\t<RemoveFileProperties>0</RemoveFileProperties>",
        "\t<AdminProject>0</AdminProject>",
        "\t<OutlineCodes/>",
        "\t<WBSMasks/>",
        "\t<ExtendedAttributes/>",
    ]
    out = ["\n".join(head) + "\n", calendar_xml(), "\t<Tasks>\n"]

    first, rest = common_fields(1, created, start, finish, total, 53, False, False, True)
    out.append(task_xml([("UID", 0), ("ID", 0), ("Name", escape(plan["title"]))] + first +
                        [("WBS", 0), ("OutlineNumber", 0), ("OutlineLevel", 0)] + rest))

    for row in rows:
        if row.node.kind == "blank":
            # A blank row, as the planning application keeps it: no name, no outline position.
            blank_finish = add_work(start, MINUTES_PER_DAY)
            first, rest = common_fields(0, created, start, blank_finish, MINUTES_PER_DAY, 39, True, False, False)
            first = [(k, 1 if k == "IsNull" else v) for k, v in first]
            out.append(task_xml([("UID", row.id), ("ID", row.id)] + first + [("OutlineLevel", 0)] + rest))
            continue
        summary = row.node.kind == "group"
        milestone = row.node.kind == "milestone"
        first, rest = common_fields(1 if summary else 0, created, row.start, row.finish, row.minutes, row.fmt,
                                    row.estimated, milestone, summary)
        fields = [("UID", row.id), ("ID", row.id), ("Name", escape(row.node.name))] + first + [
            ("WBS", row.outline), ("OutlineNumber", row.outline), ("OutlineLevel", row.level)] + rest
        out.append(task_xml(fields, [p.id for p in row.predecessors]))

    out.append("\t</Tasks>\n")
    out.append("\t<Resources>\n\t\t<Resource>\n\t\t\t<UID>0</UID>\n\t\t\t<ID>0</ID>\n\t\t\t<Type>1</Type>\n"
               "\t\t\t<IsNull>0</IsNull>\n\t\t</Resource>\n\t</Resources>\n")
    out.append("</Project>\n")
    return "".join(out), len(rows)


# ---- The plans -----------------------------------------------------------------------------------

def D(y, m, d, h=8, mi=0):
    return dt.datetime(y, m, d, h, mi)


def portal_release():
    return [
        G("Planning", [
            T("Kick-off meeting with product owners", "2h"),
            T("Collect feature requests from support", "3d"),
            A("Review analytics of the current release", "2d"),
            T("Prioritise the backlog", "1d"),
            T("Estimate stories with the team", "4h"),
            M("Release scope agreed"),
        ]),
        G("Design", [
            T("User journeys for self-service billing", "1w"),
            A("Database changes for invoices", "4d"),
            T("Interface mock-ups", "6d"),
            T("Design review", "90m"),
            M("Design signed off"),
        ]),
        BLANK,
        G("Development", [
            G("Sprint 1", [
                T("Invoice list and filters", "5d"),
                A("Payment provider integration", "8d"),
                T("PDF export of invoices", "3d"),
                T("Sprint 1 demo", "1h"),
            ]),
            G("Sprint 2", [
                T("Self-service address changes", "4d"),
                A("Two-factor sign-in", "1.5w"),
                T("E-mail notifications", "3d"),
                T("Accessibility fixes", "2d?"),
                T("Sprint 2 demo", "1h"),
            ]),
            G("Sprint 3", [
                T("Performance tuning of the search", "5d"),
                A("Translations: German, French, Spanish", "2w"),
                T("Bug fixing", "1w?"),
                T("Sprint 3 demo", "1h"),
            ]),
            M("Feature freeze"),
        ]),
        G("Testing", [
            T("Regression test run", "4d"),
            A("Load test with 5,000 simulated users", "2d"),
            T("Security review", "3d"),
            T("User acceptance test with pilot customers", "1w"),
            T("Fix findings from acceptance test", "4d?"),
            M("Release candidate approved"),
        ]),
        BLANK,
        G("Release", [
            T("Write release notes", "1d"),
            A("Update help pages", "2d"),
            T("Go/no-go meeting", "30m"),
            T("Deploy to production", "3h"),
            T("Smoke test in production", "45m"),
            M("Version 4.2 live"),
            T("Hypercare: watch error reports", "1w"),
            T("Retrospective", "2h"),
        ]),
    ]


def office_move():
    return [
        G("Preparation", [
            T("Confirm lease of the new floor", "2d"),
            T("Measure rooms and draw the seating plan", "3d"),
            A("Choose a removal company (three quotes)", "1w"),
            T("Announce the move to all staff", "30m"),
            T("Order new desks and chairs", "1h"),
            M("Moving date fixed"),
        ]),
        G("New premises", [
            T("Network cabling and Wi-Fi survey", "4d"),
            A("Paint meeting rooms", "3d"),
            T("Install access control at the entrance", "2d"),
            T("Deliver and assemble furniture", "3d"),
            T("Set up the print room", "4h"),
            T("Test the network in every room", "6h"),
            M("Premises ready"),
        ]),
        BLANK,
        G("Move week", [
            T("Hand out crates and labels", "45m"),
            T("Staff pack their desks", "1d"),
            T("Back up the file server", "3h"),
            T("Shut down servers", "30m"),
            T("Removal: ground floor", "1d"),
            T("Removal: first floor", "1d"),
            T("Reconnect servers and switches", "5h"),
            T("Switch telephone lines", "45m"),
            A("Move the post redirection", "15m"),
            T("Unpack and check every workstation", "1d"),
            M("Everyone working at the new address"),
        ]),
        G("Close-out", [
            T("Clean the old offices", "2d"),
            T("Inspection with the landlord", "2h"),
            T("Hand over keys", "30m"),
            T("Update address on website and letterheads", "4h"),
            A("Notify customers and suppliers", "1d"),
            T("Settle final invoices", "1d?"),
            M("Move completed"),
        ]),
    ]


def building_phase():
    floors = []
    for n in range(1, 5):
        floors.append(G("Level %d" % n, [
            T("Set out columns and walls, level %d" % n, "1d"),
            T("Formwork and reinforcement for columns, level %d" % n, "4d"),
            T("Pour columns, level %d" % n, "1d"),
            T("Slab formwork, level %d" % n, "1w"),
            T("Slab reinforcement, level %d" % n, "4d"),
            T("Inspection of reinforcement, level %d" % n, "3h"),
            T("Pour slab, level %d" % n, "1d"),
            T("Strike formwork, level %d" % n, "2d"),
            M("Structure of level %d complete" % n),
        ]))
    services = []
    for n in range(1, 5):
        services.append(G("Services, level %d" % n, [
            T("First-fix electrical, level %d" % n, "1.5w"),
            A("First-fix plumbing, level %d" % n, "1w"),
            A("Ventilation ducts, level %d" % n, "2w"),
            T("Pressure test of pipework, level %d" % n, "4h"),
            T("Inspection of services, level %d" % n, "2h"),
        ]))
    return [
        G("Site set-up", [
            T("Site hoarding and gates", "3d"),
            A("Site offices and welfare units", "2d"),
            T("Temporary power and water", "2d"),
            T("Tower crane erection", "1w"),
            T("Crane load test", "4h"),
            M("Site ready for work"),
        ]),
        G("Substructure", [
            T("Excavation to formation level", "2w"),
            T("Piling", "3w"),
            T("Pile testing", "2d"),
            T("Pile caps and ground beams", "2.5w"),
            T("Drainage below ground", "1w"),
            A("Lift pit waterproofing", "3d"),
            T("Ground floor slab", "1.5w"),
            M("Substructure complete"),
        ]),
        BLANK,
        G("Superstructure", floors + [
            T("Roof slab and upstands", "1.5w"),
            T("Roof waterproofing", "1w"),
            M("Building watertight"),
        ]),
        G("Envelope", [
            T("Curtain wall brackets", "1w"),
            T("Curtain wall panels, north and east", "3w"),
            A("Brickwork, south and west", "4w"),
            T("Windows and external doors", "2w"),
            T("Sealant and cladding inspection", "2d"),
            M("Envelope complete"),
        ], alongside=False),
        G("Services", services + [
            T("Lift installation", "4w"),
            T("Fire alarm installation", "2w"),
            T("Connect to the public network", "3d"),
            M("Services first fix complete"),
        ]),
        BLANK,
        G("Handover of phase 2", [
            T("Snagging walk-round", "2d"),
            T("Fix snagging items", "1w?"),
            T("Collect test certificates", "3d"),
            T("Handover meeting with the client", "90m"),
            M("Phase 2 handed over"),
        ]),
    ]


def partner_conference():
    return [
        G("Concept", [
            T("Define goals and audience", "2d"),
            T("Set the budget", "1d"),
            T("Choose the date", "2h"),
            M("Concept approved"),
        ]),
        G("Venue and logistics", [
            T("Shortlist venues", "1w"),
            T("Site visits", "3d"),
            T("Sign the venue contract", "1d"),
            T("Book hotel room blocks", "2d"),
            A("Order catering: coffee, lunch, dinner", "1d"),
            T("Audio-visual equipment and stage", "2d"),
            T("Shuttle buses from the airport", "4h"),
            M("Logistics booked"),
        ]),
        G("Programme", [
            T("Call for speakers", "2w"),
            T("Select talks", "3d"),
            T("Confirm keynote speaker", "1d?"),
            T("Build the agenda", "2d"),
            T("Rehearse talks with speakers", "1w"),
            M("Agenda published"),
        ]),
        BLANK,
        G("Invitations and registration", [
            T("Design the invitation", "3d"),
            T("Set up online registration", "2d"),
            T("Send invitations to partners", "2h"),
            T("Reminder mail", "30m"),
            T("Close registration", "15m"),
            T("Print name badges", "4h"),
            M("Attendee list final"),
        ]),
        G("Conference days", [
            T("Build-up at the venue", "1d"),
            T("Day 1: keynote, Q&A session and workshops", "1d"),
            T("Partner dinner", "3h"),
            T("Day 2: product tracks and R&D roadmap", "1d"),
            T("Tear-down", "4h"),
            M("Conference held"),
        ]),
        G("Follow-up", [
            T("Send thank-you mails and slides", "1d"),
            T("Survey of attendees", "1w"),
            T("Settle invoices", "2d"),
            T("Lessons learned", "2h"),
        ]),
    ]


def launch_campaign():
    return [
        G("Research", [
            T("Market sizing", "1w"),
            A("Competitor price survey", "4d"),
            T("Customer interviews (12)", "2w"),
            T("Positioning workshop", "6h"),
            M("Positioning agreed"),
        ]),
        G("Brand and messaging", [
            T("Product name shortlist", "3d"),
            T("Trademark search", "1w?"),
            T("Key messages and claims", "4d"),
            T("Visual identity for the launch", "2w"),
            T("Legal review of claims", "3d"),
            M("Messaging final"),
        ]),
        BLANK,
        G("Content", [
            T("Landing page copy", "3d"),
            T("Landing page design and build", "1.5w"),
            A("Product video: script", "3d"),
            T("Product video: shoot and edit", "2w"),
            T("Press release", "2d"),
            A("Data sheet and price list", "2d"),
            T("Sales presentation", "3d"),
            T("Translate material (5 languages)", "2w"),
            M("Launch kit ready"),
        ]),
        G("Channels", [
            T("Book online advertising", "2d"),
            T("Social media calendar", "3d"),
            T("Newsletter to existing customers", "4h"),
            T("Brief retail partners", "1d"),
            T("Train the sales team", "2d"),
            T("Train the support desk", "1d"),
            M("Channels briefed"),
        ]),
        G("Launch", [
            T("Press embargo lifts", "15m"),
            T("Publish landing page", "30m"),
            A("Start advertising", "30m"),
            T("Launch event with live stream", "4h"),
            M("Product launched"),
            T("Monitor campaign figures", "3w"),
            T("Adjust bids and budgets", "2d?"),
            T("Campaign report", "2d"),
        ]),
    ]


def global_rollout():
    # Names in several scripts, as plans of international teams hold them.
    return [
        G("Préparation du déploiement", [
            T("Réunion de lancement à Genève", "2h"),
            T("Révision du contrat-cadre", "3d"),
            A("Übersetzungen prüfen und freigeben", "4d"),
            T("Señalización y material de formación", "1w"),
            M("Plan de déploiement validé"),
        ]),
        G("Ελλάδα — Αθήνα", [
            T("Εγκατάσταση διακομιστή", "2d"),
            T("Μετάφραση του εγχειριδίου χρήσης", "1w"),
            T("Εκπαίδευση προσωπικού", "3d"),
            M("Έναρξη λειτουργίας στην Αθήνα"),
        ]),
        G("Россия и Казахстан", [
            T("Настройка учётных записей", "1d"),
            T("Перевод интерфейса на русский язык", "1.5w"),
            A("Обучение пользователей в Алматы", "3d"),
            T("Пробная эксплуатация", "1w?"),
            M("Запуск в Москве и Алматы"),
        ]),
        BLANK,
        G("日本 — 東京オフィス", [
            T("サーバーの設置", "2d"),
            T("取扱説明書の翻訳", "2w"),
            T("利用者研修", "4h"),
            T("本番稼働前の最終確認", "90m"),
            M("東京で稼働開始"),
        ]),
        G("الإمارات العربية المتحدة — دبي", [
            T("تثبيت الخادم", "2d"),
            T("ترجمة الواجهة إلى العربية", "1.5w"),
            T("تدريب الموظفين", "3d"),
            M("التشغيل في دبي"),
        ]),
        G("Clôture — Ålesund, Kraków, São Paulo", [
            T("Retour d'expérience des équipes", "1d"),
            T("Résumé für die Geschäftsleitung", "4h"),
            T("Encerramento do projeto em São Paulo", "1d"),
            T("Zamknięcie projektu w Krakowie", "30m"),
            M("Déploiement mondial terminé"),
        ]),
    ]


def maintenance_shutdown():
    units = ["Boiler 1", "Boiler 2", "Boiler 3", "Turbine A", "Turbine B", "Cooling tower", "Feed-water pumps",
             "Condenser", "Transformer T1", "Transformer T2", "Flue gas cleaning", "Coal mills"]
    work = []
    for unit in units:
        work.append(G(unit, [
            T("Isolate and lock out: %s" % unit, "2h"),
            T("Drain and vent: %s" % unit, "4h"),
            T("Open inspection covers: %s" % unit, "3h"),
            T("Internal inspection: %s" % unit, "1d"),
            T("Non-destructive testing: %s" % unit, "2d"),
            T("Repairs from inspection: %s" % unit, "3d?"),
            T("Replace seals and gaskets: %s" % unit, "6h"),
            T("Close covers: %s" % unit, "3h"),
            T("Pressure or function test: %s" % unit, "4h"),
            T("Remove locks and return to operations: %s" % unit, "45m"),
            M("%s ready" % unit),
        ], alongside=unit not in ("Boiler 1",)))
    return [
        G("Shutdown planning", [
            T("Review last shutdown report", "1d"),
            T("Scope meeting with operations", "3h"),
            T("Order spare parts", "2w"),
            A("Book contractors and scaffolding", "1w"),
            T("Permit-to-work briefing", "90m"),
            M("Shutdown plan frozen"),
        ]),
        G("Plant shutdown", [
            T("Reduce load", "4h"),
            T("Disconnect from the grid", "30m"),
            T("Cool down", "1d"),
            M("Plant offline"),
        ]),
        BLANK,
        G("Maintenance works", work),
        BLANK,
        G("Restart", [
            T("Walk-down of all units", "1d"),
            T("Start auxiliary systems", "6h"),
            T("Fire boilers", "4h"),
            T("Run up turbines", "3h"),
            T("Synchronise to the grid", "30m"),
            T("Load tests in steps", "2d"),
            M("Plant back in operation"),
            T("Shutdown report", "1w"),
        ]),
    ]


PLANS = [
    dict(file="Building Phase 2.xml", title="Riverside offices: phase 2, shell and core",
         subject="Construction schedule", company="Northgate Build", author="M. Okafor",
         start=D(2025, 3, 3), created=D(2025, 1, 20, 9, 12), saved=D(2025, 2, 26, 16, 40),
         currency=("£", "GBP"), outline=building_phase()),
    dict(file="Customer Portal Release 4.2.xml", title="Customer portal 4.2",
         subject="Software release", company="Veltrano", author="J. Lindqvist",
         start=D(2025, 1, 6), created=D(2024, 12, 9, 10, 5), saved=D(2025, 1, 3, 11, 30), outline=portal_release()),
    dict(file="Global Rollout (multilingual).xml", title="Global rollout of the ordering system",
         subject="International rollout", company="Veltrano", author="A. Moreau",
         start=D(2025, 9, 1), created=D(2025, 7, 14, 14, 0), saved=D(2025, 8, 28, 9, 45),
         outline=global_rollout()),
    dict(file="Office Move.xml", title="Move to Harbour Street 12", subject="Office relocation",
         company="Veltrano", author="S. Brandt", start=D(2025, 5, 5), created=D(2025, 3, 31, 8, 20),
         saved=D(2025, 4, 30, 17, 5), outline=office_move()),
    dict(file="Partner Conference.xml", title="Partner conference 2025", subject="Event",
         company="Veltrano", author="L. Ferreira", start=D(2025, 4, 7), created=D(2025, 2, 17, 13, 10),
         saved=D(2025, 4, 4, 15, 0), outline=partner_conference()),
    dict(file="Plant Maintenance Shutdown.xml", title="Annual maintenance shutdown, unit block B",
         subject="Maintenance", company="Eastmere Power", author="R. Haldane",
         start=D(2025, 6, 2), created=D(2025, 3, 3, 7, 55), saved=D(2025, 5, 30, 12, 15),
         outline=maintenance_shutdown()),
    dict(file="Product Launch Campaign.xml", title="Launch of the Aria headset", subject="Marketing launch",
         company="Veltrano", author="K. Adeyemi", start=D(2025, 2, 3), created=D(2025, 1, 13, 9, 0),
         saved=D(2025, 1, 31, 18, 20), outline=launch_campaign()),
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "Samples")
    os.makedirs(folder, exist_ok=True)
    for plan in PLANS:
        text, rows = plan_xml(plan)
        if not 20 <= rows <= 300:
            raise SystemExit("%s has %d task rows; a sample holds 20 to 300" % (plan["file"], rows))
        with open(os.path.join(folder, plan["file"]), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        print("%-36s %3d task rows" % (plan["file"], rows))


if __name__ == "__main__":
    main()
