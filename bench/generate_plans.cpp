// Writes the benchmark corpus: plans in Project's XML format with the fields Project writes for
// every task (about forty elements each), realistic names, durations and working-day dates, and
// a few blank rows.
//
//   generate_plans FOLDER [--plans N] [--tasks N] [--big N]
//
// FOLDER/plans/plan-001.xml ... plan-N.xml hold --tasks tasks each (defaults 200 and 1000), and
// FOLDER/big/big.xml holds --big tasks (default 200000). With --outline DEPTH the tasks form an
// outline up to that many levels deep, summary tasks above their subtasks; without it every task
// is at the first level. Same arguments, same bytes.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kVerbs[] = {"Design", "Review", "Build", "Test", "Install", "Approve", "Prepare", "Order",
                              "Inspect", "Document", "Migrate", "Train", "Deliver", "Plan", "Audit", "Configure"};
const char* const kObjects[] = {"foundation", "user interface", "database schema", "roof trusses", "network",
                                "budget", "supplier contracts", "test plan", "electrical wiring", "release notes",
                                "site survey", "acceptance criteria", "server room", "marketing copy",
                                "Zugangskontrolle", "r\xC3\xA9seau \xC3\xA9lectrique"};

struct Clock {
    int y, m, d, h, min;
};

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int daysIn(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}
int weekday(int y, int m, int d) {  // 0 = Sunday
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}
void nextDay(Clock& c) {
    if (++c.d > daysIn(c.y, c.m)) {
        c.d = 1;
        if (++c.m > 12) {
            c.m = 1;
            ++c.y;
        }
    }
}
void nextWorkingDay(Clock& c) {
    do nextDay(c);
    while (weekday(c.y, c.m, c.d) == 0 || weekday(c.y, c.m, c.d) == 6);
}
// Adds working minutes on an 8:00-12:00, 13:00-17:00 calendar.
Clock addWork(Clock c, long minutes) {
    while (minutes > 0) {
        const int now = c.h * 60 + c.min;
        const int blockEnd = now < 12 * 60 ? 12 * 60 : 17 * 60;
        const int room = blockEnd - now;
        if (minutes <= room) {
            const int at = now + static_cast<int>(minutes);
            c.h = at / 60;
            c.min = at % 60;
            return c;
        }
        minutes -= room;
        if (blockEnd == 12 * 60) {
            c.h = 13;
            c.min = 0;
        } else {
            nextWorkingDay(c);
            c.h = 8;
            c.min = 0;
        }
    }
    return c;
}
std::string stamp(const Clock& c) {
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:00", c.y, c.m, c.d, c.h, c.min);
    return b;
}
std::string isoDuration(long minutes) {
    char b[32];
    std::snprintf(b, sizeof b, "PT%ldH%ldM0S", minutes / 60, minutes % 60);
    return b;
}

void element(std::string& out, const char* name, const std::string& value) {
    out += "\t\t\t<";
    out += name;
    out += '>';
    out += value;
    out += "</";
    out += name;
    out += ">\n";
}

void header(std::string& out, const std::string& title) {
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<Project xmlns=\"http://schemas.microsoft.com/project\">\n"
           "\t<SaveVersion>14</SaveVersion>\n\t<Name>" + title + ".xml</Name>\n\t<Title>" + title + "</Title>\n"
           "\t<ScheduleFromStart>1</ScheduleFromStart>\n\t<StartDate>2024-01-08T08:00:00</StartDate>\n"
           "\t<MinutesPerDay>480</MinutesPerDay>\n\t<MinutesPerWeek>2400</MinutesPerWeek>\n\t<DaysPerMonth>20</DaysPerMonth>\n"
           "\t<CalendarUID>1</CalendarUID>\n\t<Calendars>\n\t\t<Calendar>\n\t\t\t<UID>1</UID>\n\t\t\t<Name>Standard</Name>\n"
           "\t\t\t<IsBaseCalendar>1</IsBaseCalendar>\n\t\t</Calendar>\n\t</Calendars>\n\t<Tasks>\n";
}

void task(std::string& out, long id, std::mt19937& random, Clock& cursor, bool blank, int level, bool summary) {
    out += "\t\t<Task>\n";
    element(out, "UID", std::to_string(id));
    element(out, "ID", std::to_string(id));
    if (blank) {
        element(out, "IsNull", "1");
        out += "\t\t</Task>\n";
        return;
    }
    const long minutes = (1 + random() % 30) * 60 * ((random() % 4) == 0 ? 1 : 8) / ((random() % 5) == 0 ? 2 : 1);
    if (random() % 3 == 0) nextWorkingDay(cursor), cursor.h = 8, cursor.min = 0;
    const Clock start = cursor;
    const Clock finish = addWork(start, minutes);
    cursor = finish;
    if (cursor.h >= 17) nextWorkingDay(cursor), cursor.h = 8, cursor.min = 0;
    const std::string name = std::string(kVerbs[random() % 16]) + " " + kObjects[random() % 16] + " " +
                             std::to_string(id) + (random() % 7 == 0 ? " &amp; sign-off" : "");
    const std::string s = stamp(start), f = stamp(finish), d = isoDuration(minutes);
    element(out, "GUID", "6EE6F9DB-DAD2-E811-AC3F-" + std::to_string(100000000000 + id));
    element(out, "Name", name);
    element(out, "Active", "1");
    element(out, "Manual", "0");
    element(out, "Type", "0");
    element(out, "IsNull", "0");
    element(out, "CreateDate", "2024-01-05T09:12:00");
    element(out, "WBS", std::to_string(id));
    element(out, "OutlineNumber", std::to_string(id));
    element(out, "OutlineLevel", std::to_string(level));
    element(out, "Priority", "500");
    element(out, "Start", s);
    element(out, "Finish", f);
    element(out, "Duration", d);
    element(out, "DurationFormat", "7");
    element(out, "Work", "PT0H0M0S");
    element(out, "ResumeValid", "0");
    element(out, "EffortDriven", "0");
    element(out, "Recurring", "0");
    element(out, "OverAllocated", "0");
    element(out, "Estimated", random() % 4 == 0 ? "1" : "0");
    element(out, "Milestone", "0");
    element(out, "Summary", summary ? "1" : "0");
    element(out, "Critical", random() % 2 ? "1" : "0");
    element(out, "EarlyStart", s);
    element(out, "EarlyFinish", f);
    element(out, "LateStart", s);
    element(out, "LateFinish", f);
    element(out, "FreeSlack", "0");
    element(out, "TotalSlack", "0");
    element(out, "FixedCost", "0");
    element(out, "FixedCostAccrual", "3");
    element(out, "PercentComplete", std::to_string(random() % 5 * 25));
    element(out, "PercentWorkComplete", "0");
    element(out, "Cost", "0");
    element(out, "ActualDuration", "PT0H0M0S");
    element(out, "RemainingDuration", d);
    element(out, "ConstraintType", "0");
    element(out, "CalendarUID", "-1");
    element(out, "LevelAssignments", "1");
    element(out, "LevelingCanSplit", "1");
    element(out, "LevelingDelay", "0");
    element(out, "LevelingDelayFormat", "8");
    out += "\t\t</Task>\n";
}

// The outline level of each task from 1 on: a walk that goes one level deeper at most, stays, or
// climbs back any number of levels, never deeper than `depth`.
std::vector<int> outlineLevels(long tasks, int depth, unsigned seed) {
    std::mt19937 random(seed ^ 0x5EEDu);
    std::vector<int> levels(static_cast<std::size_t>(tasks) + 2, 1);
    for (long id = 2; id <= tasks; ++id) {
        const int before = levels[static_cast<std::size_t>(id - 1)];
        const unsigned step = random() % 3;
        levels[static_cast<std::size_t>(id)] =
            step == 0 ? std::min(before + 1, depth) : step == 1 ? before : 1 + static_cast<int>(random() % before);
    }
    return levels;
}

bool writePlan(const std::filesystem::path& path, const std::string& title, long tasks, unsigned seed, int depth) {
    std::mt19937 random(seed);
    const std::vector<int> levels = outlineLevels(tasks, std::max(depth, 1), seed);
    std::string out;
    out.reserve(static_cast<std::size_t>(tasks) * 1900 + 4096);
    header(out, title);
    Clock cursor{2024, 1, 8, 8, 0};
    out += "\t\t<Task>\n";
    element(out, "UID", "0");
    element(out, "ID", "0");
    element(out, "Name", title);
    element(out, "Summary", "1");
    out += "\t\t</Task>\n";
    for (long id = 1; id <= tasks; ++id) {
        // A long plan runs in parallel streams of work rather than one chain of centuries.
        if (id % 500 == 0) cursor = Clock{2024 + static_cast<int>(id / 500 % 5), 1, 8, 8, 0};
        const auto at = static_cast<std::size_t>(id);
        task(out, id, random, cursor, random() % 97 == 0, levels[at], id < tasks && levels[at + 1] > levels[at]);
    }
    out += "\t</Tasks>\n</Project>\n";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: generate_plans FOLDER [--plans N] [--tasks N] [--big N] [--outline DEPTH]\n");
        return 2;
    }
    long plans = 200, tasks = 1000, big = 200000;
    int depth = 1;
    for (int i = 2; i + 1 < argc; i += 2) {
        const long value = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--plans") == 0) plans = value;
        else if (std::strcmp(argv[i], "--tasks") == 0) tasks = value;
        else if (std::strcmp(argv[i], "--big") == 0) big = value;
        else if (std::strcmp(argv[i], "--outline") == 0) depth = static_cast<int>(std::clamp(value, 1L, 20L));
    }
    const std::filesystem::path root = argv[1];
    std::filesystem::create_directories(root / "plans");
    std::filesystem::create_directories(root / "big");
    for (long n = 1; n <= plans; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "plan-%03ld", n);
        if (!writePlan(root / "plans" / (std::string(name) + ".xml"), name, tasks, static_cast<unsigned>(n), depth)) {
            std::fprintf(stderr, "cannot write %s\n", name);
            return 1;
        }
    }
    if (big > 0 && !writePlan(root / "big" / "big.xml", "big", big, 4242u, depth)) {
        std::fprintf(stderr, "cannot write big.xml\n");
        return 1;
    }
    return 0;
}
