// Writes a large P6 schedule three ways: FOLDER/big.xer as P6 22.12 exports it (full column sets,
// tables the reader skips such as TASKPRED, CR LF, a pretty-printed calendar, Windows-1252 text),
// FOLDER/big-p6.xml,
// its P6 XML export (the elements P6 writes for each activity and assignment), and
// FOLDER/big-project.xml, Project XML of the rows the XER gives (read back with the reader).
//
//   p6_generate FOLDER [--activities N] [--projects N]
//
// Defaults: 200,000 activities in 4 projects, each with a three-level WBS; the calendars of the
// format note (five days with holidays, two shifts inheriting them, seven days, 22 hours a day);
// about a third of the activities started or finished by the data date, milestones, resource
// assignments, notes. Same arguments, same bytes.
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "importer/plans/common/calendar.h"
#include "importer/plans/p6/p6_calendar.h"
#include "importer/plans/p6/p6_reader.h"
#include "platform/failure.h"

using namespace quorrix::importer::plans;
using p6::Minutes;

namespace {

// ---- columns as P6 22.12 writes them ----

const char* const kTaskColumns =
    "task_id proj_id wbs_id clndr_id phys_complete_pct rev_fdbk_flag est_wt lock_plan_flag auto_compute_act_flag "
    "complete_pct_type task_type duration_type status_code task_code task_name rsrc_id total_float_hr_cnt "
    "free_float_hr_cnt remain_drtn_hr_cnt act_work_qty remain_work_qty target_work_qty target_drtn_hr_cnt "
    "target_equip_qty act_equip_qty remain_equip_qty cstr_date act_start_date act_end_date late_start_date "
    "late_end_date expect_end_date early_start_date early_end_date restart_date reend_date target_start_date "
    "target_end_date rem_late_start_date rem_late_end_date cstr_type priority_type suspend_date resume_date "
    "float_path float_path_order guid tmpl_guid cstr_date2 cstr_type2 driving_path_flag act_this_per_work_qty "
    "act_this_per_equip_qty external_early_start_date external_late_end_date create_date update_date create_user "
    "update_user location_id crt_path_num";
const char* const kAssignmentColumns =
    "taskrsrc_id task_id proj_id cost_qty_link_flag role_id acct_id rsrc_id pobs_id skill_level remain_qty "
    "target_qty remain_qty_per_hr target_lag_drtn_hr_cnt target_qty_per_hr act_ot_qty act_reg_qty "
    "relag_drtn_hr_cnt ot_factor cost_per_qty target_cost act_reg_cost act_ot_cost remain_cost act_start_date "
    "act_end_date restart_date reend_date target_start_date target_end_date rem_late_start_date rem_late_end_date "
    "rollup_dates_flag target_crv remain_crv actual_crv ts_pend_act_end_flag guid rate_type act_this_per_cost "
    "act_this_per_qty curv_id rsrc_type cost_per_qty_source_type create_user create_date has_rsrchours "
    "taskrsrc_sum_id";
const char* const kActivityElements =
    "ActualDuration ActualFinishDate ActualLaborCost ActualLaborUnits ActualNonLaborCost ActualNonLaborUnits "
    "ActualStartDate ActualThisPeriodLaborCost ActualThisPeriodLaborUnits ActualThisPeriodNonLaborCost "
    "ActualThisPeriodNonLaborUnits AtCompletionDuration AtCompletionExpenseCost AtCompletionLaborCost "
    "AtCompletionLaborUnits AtCompletionNonLaborCost AtCompletionNonLaborUnits AutoComputeActuals CalendarObjectId "
    "DurationPercentComplete DurationType EstimatedWeight ExpectedFinishDate ExternalEarlyStartDate "
    "ExternalLateFinishDate Feedback FinishDate GUID Id IsNewFeedback LevelingPriority Name "
    "NonLaborUnitsPercentComplete NotesToResources ObjectId PercentComplete PercentCompleteType "
    "PhysicalPercentComplete PlannedDuration PlannedFinishDate PlannedLaborCost PlannedLaborUnits PlannedNonLaborCost "
    "PlannedNonLaborUnits PlannedStartDate PrimaryConstraintDate PrimaryConstraintType PrimaryResourceObjectId "
    "ProjectObjectId RemainingDuration RemainingEarlyFinishDate RemainingEarlyStartDate RemainingLaborCost "
    "RemainingLaborUnits RemainingLateFinishDate RemainingLateStartDate RemainingNonLaborCost RemainingNonLaborUnits "
    "ResumeDate ReviewRequired ScopePercentComplete SecondaryConstraintDate SecondaryConstraintType StartDate Status "
    "SuspendDate Type UnitsPercentComplete WBSObjectId";
const char* const kAssignmentElements =
    "ActivityObjectId ActualCost ActualCurve ActualFinishDate ActualOvertimeCost ActualOvertimeUnits "
    "ActualRegularCost ActualRegularUnits ActualStartDate ActualThisPeriodCost ActualThisPeriodUnits ActualUnits "
    "AtCompletionCost AtCompletionUnits CostAccountObjectId DrivingActivityDatesFlag FinishDate GUID "
    "IsCostUnitsLinked IsPrimaryResource ObjectId OvertimeFactor PlannedCost PlannedCurve PlannedFinishDate "
    "PlannedLag PlannedStartDate PlannedUnits PlannedUnitsPerTime Proficiency ProjectObjectId RateSource RateType "
    "RemainingCost RemainingCurve RemainingDuration RemainingFinishDate RemainingLag RemainingStartDate "
    "RemainingUnits RemainingUnitsPerTime ResourceCurveObjectId ResourceObjectId ResourceType RoleObjectId "
    "StartDate UnitsPercentComplete WBSObjectId";

std::vector<std::string> words(const char* list) {
    std::vector<std::string> out;
    std::string w;
    for (const char* p = list;; ++p) {
        if (*p == ' ' || *p == '\0') {
            if (!w.empty()) out.push_back(w);
            w.clear();
            if (!*p) return out;
        } else {
            w += *p;
        }
    }
}

// A row of named values: unnamed columns get `filler`.
class Row {
public:
    Row(const std::vector<std::string>& columns, const char* filler) : columns_(columns), values_(columns.size(), filler) {}
    Row& set(const char* column, const std::string& value) {
        for (std::size_t i = 0; i < columns_.size(); ++i)
            if (columns_[i] == column) values_[i] = value;
        return *this;
    }
    void writeXer(std::string& out) const {
        out += "%R";
        for (const std::string& v : values_) (out += '\t') += v;
        out += "\r\n";
    }
    void writeXml(std::string& out, const char* element) const {
        ((out += "\t\t<") += element) += ">\n";
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const std::string& v = values_[i];
            if (v.empty()) ((out += "\t\t\t<") += columns_[i]) += " xsi:nil=\"true\" />\n";
            else ((((((out += "\t\t\t<") += columns_[i]) += '>') += v) += "</") += columns_[i]) += ">\n";
        }
        ((out += "\t\t</") += element) += ">\n";
    }

private:
    const std::vector<std::string>& columns_;
    std::vector<std::string> values_;
};

// ---- dates ----

Minutes at(int y, int m, int d, int h = 0, int min = 0) { return daysFromCivil(y, m, d) * 1440 + h * 60 + min; }
std::string stamp(Minutes t, bool xml) {
    if (t == p6::kNoDate) return {};
    const CivilDate date = civilFromDays(p6::dayOf(t));
    const int minute = static_cast<int>(t - p6::dayOf(t) * 1440);
    char b[32];
    std::snprintf(b, sizeof b, xml ? "%04d-%02d-%02dT%02d:%02d:00" : "%04d-%02d-%02d %02d:%02d", int(date.year), date.month, date.day,
                  minute / 60, minute % 60);
    return b;
}
std::string number(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.6g", v);
    return b;
}

// The working minute `minutes` of work after `from` in `c`.
Minutes addWork(const p6::WorkCalendar& c, Minutes from, std::int64_t minutes) {
    Minutes day = p6::dayOf(from) * 1440;
    for (std::int64_t left = minutes;; day += 1440) {
        const Minutes start = std::max(day, from);
        const std::int64_t room = c.work(start, day + 1440);
        if (room < left || room == 0) {
            left -= room;
            continue;
        }
        Minutes lo = start, hi = day + 1440;  // the first minute by which `left` is worked
        while (lo < hi) {
            const Minutes mid = lo + (hi - lo) / 2;
            if (c.work(start, mid) >= left) hi = mid;
            else lo = mid + 1;
        }
        return lo;
    }
}

// ---- calendars: clndr_data and P6 XML of the same working times ----

struct CalendarSpec {
    int id;
    const char* name;
    const char* type;
    int base;
    std::vector<std::pair<int, int>> periods;  // minutes, every working weekday
    bool sevenDays;
    bool withHolidays;
};

const std::vector<CalendarSpec>& calendarSpecs() {
    static const std::vector<CalendarSpec> specs{
        {1, "Standard 5 Day Workweek", "Global", 0, {{480, 960}}, false, true},
        {2, "Two Shifts", "Global", 1, {{480, 720}, {780, 1020}}, false, false},
        {3, "7 day workweek", "Project", 0, {{480, 960}}, true, false},
        {4, "7x24", "Global", 0, {{60, 720}, {780, 1440}}, true, false},
    };
    return specs;
}

std::vector<std::int64_t> holidays() {
    std::vector<std::int64_t> days;
    for (int y = 2023; y <= 2028; ++y)
        for (const auto& [m, d] : std::vector<std::pair<int, int>>{{1, 1}, {5, 29}, {7, 4}, {9, 4}, {11, 23}, {12, 25}, {12, 26}})
            days.push_back(daysFromCivil(y, m, d));
    return days;
}

std::string hhmm(int minutes) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d:%02d", minutes / 60 % 24, minutes % 60);
    return b;
}

std::string clndrData(const CalendarSpec& c) {
    const bool pretty = c.sevenDays;  // as P6 22.12 writes it: 0x7F pairs, an unnamed root
    const std::string nl = pretty ? "\x7F\x7F  " : "";
    std::string s = pretty ? "(0||()(" : "(0||CalendarData()(";
    s += nl + "(0||DaysOfWeek()(";
    for (int d = 1; d <= 7; ++d) {
        s += nl + "(0||" + std::to_string(d) + "()(";
        if (c.sevenDays || (d >= 2 && d <= 6))
            for (std::size_t k = 0; k < c.periods.size(); ++k)
                s += "(0||" + std::to_string(k) + "(s|" + hhmm(c.periods[k].first) + "|f|" + hhmm(c.periods[k].second) + ")())";
        s += "))";
    }
    s += "))";
    if (c.withHolidays) {
        s += nl + "(0||Exceptions()(";
        int k = 0;
        for (const std::int64_t day : holidays()) s += "(0||" + std::to_string(k++) + "(d|" + std::to_string(day + 25569) + ")())";
        s += "))";
    }
    return s + "))";
}

std::string calendarXml(const CalendarSpec& c) {
    static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    std::string s = "\t<Calendar>\n\t\t<BaseCalendarObjectId" +
                    (c.base ? ">" + std::to_string(c.base) + "</BaseCalendarObjectId>\n" : std::string(" xsi:nil=\"true\" />\n")) +
                    "\t\t<IsDefault>" + (c.id == 1 ? "1" : "0") + "</IsDefault>\n\t\t<Name>" + c.name +
                    "</Name>\n\t\t<ObjectId>" + std::to_string(c.id) + "</ObjectId>\n\t\t<Type>" + c.type +
                    "</Type>\n\t\t<StandardWorkWeek>\n";
    for (int d = 0; d < 7; ++d) {
        s += std::string("\t\t\t<StandardWorkHours>\n\t\t\t\t<DayOfWeek>") + kDays[d] + "</DayOfWeek>\n";
        if (!c.sevenDays && (d == 0 || d == 6)) s += "\t\t\t\t<WorkTime xsi:nil=\"true\" />\n";
        else
            for (const auto& [from, to] : c.periods)
                s += "\t\t\t\t<WorkTime>\n\t\t\t\t\t<Start>" + hhmm(from) + ":00</Start>\n\t\t\t\t\t<Finish>" + hhmm(to - 1) +
                     ":00</Finish>\n\t\t\t\t</WorkTime>\n";
        s += "\t\t\t</StandardWorkHours>\n";
    }
    s += "\t\t</StandardWorkWeek>\n";
    if (c.withHolidays) {
        s += "\t\t<HolidayOrExceptions>\n";
        for (const std::int64_t day : holidays())
            s += "\t\t\t<HolidayOrException>\n\t\t\t\t<Date>" + stamp(day * 1440, true) +
                 "</Date>\n\t\t\t\t<WorkTime xsi:nil=\"true\" />\n\t\t\t</HolidayOrException>\n";
        s += "\t\t</HolidayOrExceptions>\n";
    }
    return s + "\t</Calendar>\n";
}

// ---- the schedule ----

const char* const kVerbs[] = {"Excavate", "Pour", "Form", "Install", "Inspect", "Commission", "Erect", "Survey",
                              "Weld", "Insulate", "Backfill", "Test", "Paint", "Cable", "Deliver", "Approve"};
const char* const kObjects[] = {"footings", "slab level 2", "steel frame", "HVAC ducts", "switchgear", "pipe rack",
                                "facade panels", "fire mains", "roof membrane", "lift shaft", "substation",
                                "control room", "cooling tower", "access road", "Bewehrung", "b\xC3\xA9ton arm\xC3\xA9"};

struct Activity {
    long id, wbs;
    int project, calendar;  // 0: the project's default
    std::string code, name;
    int milestone = 0;  // 1 start, 2 finish
    int status = 0;     // 0 not started, 1 in progress, 2 completed
    int percentType = 0;
    double physical = 0, planned = 0, remaining = 0, actual = 0, laborActual = 0, laborRemaining = 0;
    Minutes start, finish, actualStart = p6::kNoDate, actualFinish = p6::kNoDate, remainingStart, remainingFinish;
    int resource = 0;  // 0: none
    bool note = false;
};

struct Node {
    long id, parent;
    int project, sequence;
    std::string code, name;
};

bool writeFile(const std::filesystem::path& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string escaped(const QString& text) {
    return text.toHtmlEscaped().toStdString();
}

std::string duration(double minutes) {
    const long whole = std::lround(minutes);
    char b[40];
    std::snprintf(b, sizeof b, "PT%ldH%ldM0S", whole / 60, whole % 60);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: p6_generate FOLDER [--activities N] [--projects N]\n");
        return 2;
    }
    long activityCount = 200000;
    int projectCount = 4;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--activities") == 0) activityCount = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--projects") == 0) projectCount = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::filesystem::path root = argv[1];
    std::filesystem::create_directories(root);
    std::mt19937 random(20240610u);

    // The generator's own arithmetic is the reader's, on the calendars as the XER states them.
    std::vector<p6::WorkTimes> times;
    for (const CalendarSpec& c : calendarSpecs()) times.push_back(p6::parseCalendarData(clndrData(c)));
    std::vector<p6::WorkCalendar> calendars;
    for (std::size_t i = 0; i < times.size(); ++i)
        calendars.emplace_back(times[i], calendarSpecs()[i].base ? std::vector<const p6::WorkTimes*>{&times[0]}
                                                                 : std::vector<const p6::WorkTimes*>{});
    const Minutes dataDate = at(2025, 6, 2);
    const auto projectCalendar = [](int project) { return project % 2 ? 1 : 3; };

    // A three-level WBS of 8 x 8 x 8 nodes per project; activities in chains on the leaves.
    std::vector<Node> nodes;
    std::vector<Activity> activities;
    long nextNode = 50000, nextActivity = 1000000;
    const long perProject = activityCount / projectCount;
    for (int p = 1; p <= projectCount; ++p) {
        const long projectNode = nextNode++;
        nodes.push_back({projectNode, 0, p, 0, "PRJ" + std::to_string(p), "Plant extension phase " + std::to_string(p)});
        std::vector<long> leaves;
        for (int a = 1; a <= 8; ++a) {
            const long l1 = nextNode++;
            nodes.push_back({l1, projectNode, p, 9 - a, "A" + std::to_string(a), "Area " + std::to_string(a)});
            for (int b = 1; b <= 8; ++b) {
                const long l2 = nextNode++;
                nodes.push_back({l2, l1, p, b * 10, "S" + std::to_string(b), "System " + std::to_string(a * 10 + b)});
                for (int c = 1; c <= 8; ++c) {
                    leaves.push_back(nextNode);
                    nodes.push_back({nextNode++, l2, p, c, "W" + std::to_string(c), "Work package " + std::to_string(c)});
                }
            }
        }
        for (long k = 0; k < perProject; ++k) {
            const long leaf = leaves[static_cast<std::size_t>(k) % leaves.size()];
            const long position = k / static_cast<long>(leaves.size());
            Activity a;
            a.id = nextActivity++;
            a.wbs = leaf;
            a.project = p;
            const int roll = static_cast<int>(random() % 100);
            a.calendar = roll < 10 ? 0 : roll < 50 ? 1 : roll < 75 ? 2 : roll < 92 ? 3 : 4;
            const p6::WorkCalendar& cal = calendars[static_cast<std::size_t>((a.calendar ? a.calendar : projectCalendar(p)) - 1)];
            a.code = "A" + std::to_string(10000 + k % 90000) + "-" + std::to_string(p);
            a.name = std::string(kVerbs[random() % 16]) + " " + kObjects[random() % 16] + " " + std::to_string(k);
            a.milestone = random() % 33 == 0 ? 1 + static_cast<int>(random() % 2) : 0;
            a.percentType = static_cast<int>(random() % 3);
            const Minutes chainStart = at(2024, 9, 2, 8) + static_cast<Minutes>(static_cast<std::size_t>(k) % leaves.size()) * 1440 * 3;
            a.start = addWork(cal, chainStart + position * 1440 * 6, 1);
            a.start -= 1;
            a.planned = a.milestone ? 0 : (1 + static_cast<int>(random() % 15)) * 8.0;
            a.finish = a.milestone ? a.start : addWork(cal, a.start, static_cast<std::int64_t>(a.planned * 60));
            if (a.milestone == 2) a.start = a.finish;
            a.remaining = a.planned;
            a.remainingStart = a.start;
            a.remainingFinish = a.finish;
            if (a.finish <= dataDate) {
                a.status = 2;
                a.actualStart = a.start;
                a.actualFinish = a.finish;
                a.actual = static_cast<double>(cal.work(a.start, a.finish)) / 60;
                a.remaining = 0;
                a.remainingStart = a.remainingFinish = p6::kNoDate;
            } else if (a.start < dataDate && !a.milestone) {
                a.status = 1;
                a.actualStart = a.start;
                a.actual = static_cast<double>(cal.work(a.start, dataDate)) / 60;
                a.remaining = std::max(1.0, a.planned - a.actual);
                a.remainingStart = dataDate;
                a.remainingFinish = addWork(cal, dataDate, static_cast<std::int64_t>(a.remaining * 60));
                a.finish = a.remainingFinish;
            }
            a.physical = a.status == 2 ? 100 : a.status == 1 ? 10.0 * (1 + random() % 9) : 0;
            a.laborActual = a.actual;
            a.laborRemaining = a.remaining;
            a.resource = random() % 4 == 0 ? 1 + static_cast<int>(random() % 60) : 0;
            a.note = random() % 100 == 0;
            activities.push_back(std::move(a));
        }
    }

    // ---- XER ----
    std::string xer;
    xer.reserve(static_cast<std::size_t>(activityCount) * 560 + (1 << 20));
    xer += "ERMHDR\t22.12\t2025-06-02\tProject\tadmin\tadmin\tdbxDatabaseNoName\tProject Management\tUSD\r\n";
    xer += "%T\tCURRTYPE\r\n%F\tcurr_id\tdecimal_digit_cnt\tcurr_symbol\tdecimal_symbol\tdigit_group_symbol\tpos_curr_fmt_type\t"
           "neg_curr_fmt_type\tcurr_type\tcurr_short_name\tgroup_digit_cnt\tbase_exch_rate\r\n"
           "%R\t1\t2\t$\t.\t,\t#1.1\t(#1.1)\tUS Dollar\tUSD\t3\t1\r\n%R\t15\t2\t\x80\t.\t,\t#1.1\t(#1.1)\tEuro\tEUR\t3\t0.9\r\n";
    xer += "%T\tPROJECT\r\n%F\tproj_id\tproj_short_name\tclndr_id\tlast_recalc_date\tname_sep_char\tsum_base_proj_id\texport_flag\t"
           "def_complete_pct_type\tguid\r\n";
    for (int p = 1; p <= projectCount; ++p)
        xer += "%R\t" + std::to_string(p) + "\tPRJ" + std::to_string(p) + "\t" + std::to_string(projectCalendar(p)) + "\t" +
               stamp(dataDate, false) + "\t.\t\tY\tCP_Drtn\tq0Zx" + std::to_string(p) + "Rk1mPQeE8ZvC4Bg\r\n";
    xer += "%T\tCALENDAR\r\n%F\tclndr_id\tdefault_flag\tclndr_name\tproj_id\tbase_clndr_id\tlast_chng_date\tclndr_type\tday_hr_cnt\t"
           "week_hr_cnt\tmonth_hr_cnt\tyear_hr_cnt\trsrc_private\tclndr_data\r\n";
    for (const CalendarSpec& c : calendarSpecs())
        xer += "%R\t" + std::to_string(c.id) + "\t" + (c.id == 1 ? "Y" : "N") + "\t" + c.name + "\t\t" +
               (c.base ? std::to_string(c.base) : std::string()) + "\t2023-07-20 00:00\tCA_" + (c.id == 3 ? "Project" : "Base") +
               "\t8\t40\t172\t2000\tN\t" + clndrData(c) + "\r\n";
    xer += "%T\tPROJWBS\r\n%F\twbs_id\tproj_id\tobs_id\tseq_num\test_wt\tproj_node_flag\tsum_data_flag\tstatus_code\twbs_short_name\t"
           "wbs_name\tphase_id\tparent_wbs_id\tev_user_pct\tev_etc_user_value\torig_cost\tindep_remain_total_cost\tguid\r\n";
    for (const Node& n : nodes)
        xer += "%R\t" + std::to_string(n.id) + "\t" + std::to_string(n.project) + "\t540\t" + std::to_string(n.sequence) + "\t1\t" +
               (n.parent ? "N" : "Y") + "\tN\tWS_Open\t" + n.code + "\t" + n.name + "\t\t" +
               (n.parent ? std::to_string(n.parent) : std::string("22417")) + "\t6\t0.88\t0.0000\t0.0000\tzOYN22kXpEK" +
               std::to_string(n.id) + "\r\n";
    const std::vector<std::string> taskColumns = words(kTaskColumns);
    xer += "%T\tTASK\r\n%F";
    for (const std::string& c : taskColumns) (xer += '\t') += c;
    xer += "\r\n";
    for (const Activity& a : activities) {
        Row r(taskColumns, "");
        r.set("task_id", std::to_string(a.id)).set("proj_id", std::to_string(a.project)).set("wbs_id", std::to_string(a.wbs));
        r.set("clndr_id", a.calendar ? std::to_string(a.calendar) : "").set("phys_complete_pct", number(a.physical));
        r.set("rev_fdbk_flag", "N").set("est_wt", "1").set("lock_plan_flag", "N").set("auto_compute_act_flag", "N");
        r.set("complete_pct_type", a.percentType == 0 ? "CP_Drtn" : a.percentType == 1 ? "CP_Phys" : "CP_Units");
        r.set("task_type", a.milestone == 1 ? "TT_Mile" : a.milestone == 2 ? "TT_FinMile" : "TT_Task");
        r.set("duration_type", "DT_FixedDUR2").set("status_code", a.status == 2 ? "TK_Complete" : a.status ? "TK_Active" : "TK_NotStart");
        r.set("task_code", a.code).set("task_name", QString::fromStdString(a.name).toLatin1().toStdString()).set("total_float_hr_cnt", "120").set("free_float_hr_cnt", "0");
        r.set("remain_drtn_hr_cnt", number(a.remaining)).set("act_work_qty", number(a.laborActual));
        r.set("remain_work_qty", number(a.laborRemaining)).set("target_work_qty", number(a.planned));
        r.set("target_drtn_hr_cnt", number(a.planned)).set("target_equip_qty", "0").set("act_equip_qty", "0");
        r.set("remain_equip_qty", "0").set("act_start_date", stamp(a.actualStart, false));
        r.set("act_end_date", stamp(a.actualFinish, false)).set("late_start_date", stamp(a.remainingStart, false));
        r.set("late_end_date", stamp(a.remainingFinish, false)).set("early_start_date", stamp(a.remainingStart, false));
        r.set("early_end_date", stamp(a.remainingFinish, false)).set("restart_date", stamp(a.remainingStart, false));
        r.set("reend_date", stamp(a.remainingFinish, false)).set("target_start_date", stamp(a.start, false));
        r.set("target_end_date", stamp(a.finish, false)).set("priority_type", "PT_Normal");
        r.set("guid", "wk0bSQ2lEUqHg4" + std::to_string(a.id)).set("driving_path_flag", "N");
        r.set("act_this_per_work_qty", "0").set("act_this_per_equip_qty", "0").set("create_date", "2024-08-22 16:54");
        r.set("update_date", "2025-05-30 09:12").set("create_user", "admin").set("update_user", "admin");
        r.writeXer(xer);
    }
    xer += "%T\tTASKPRED\r\n%F\ttask_pred_id\ttask_id\tpred_task_id\tproj_id\tpred_proj_id\tpred_type\tlag_hr_cnt\tcomments\t"
           "float_path\taref\tarls\r\n";
    for (std::size_t k = 1; k < activities.size(); ++k)
        xer += "%R\t" + std::to_string(k) + "\t" + std::to_string(activities[k].id) + "\t" + std::to_string(activities[k - 1].id) +
                   "\t" + std::to_string(activities[k].project) + "\t" + std::to_string(activities[k - 1].project) +
                   "\tPR_FS\t0\t\t\t\t\r\n";
    xer += "%T\tRSRC\r\n%F\trsrc_id\tparent_rsrc_id\tclndr_id\trsrc_name\trsrc_short_name\trsrc_type\r\n";
    for (int r = 1; r <= 60; ++r)
        xer += "%R\t" + std::to_string(r) + "\t\t1\tCrew " + std::to_string(r) + "\tC" + std::to_string(r) + "\tRT_Labor\r\n";
    const std::vector<std::string> assignmentColumns = words(kAssignmentColumns);
    xer += "%T\tTASKRSRC\r\n%F";
    for (const std::string& c : assignmentColumns) (xer += '\t') += c;
    xer += "\r\n";
    long assignmentId = 1;
    for (const Activity& a : activities) {
        if (!a.resource) continue;
        Row r(assignmentColumns, "");
        r.set("taskrsrc_id", std::to_string(assignmentId++)).set("task_id", std::to_string(a.id));
        r.set("proj_id", std::to_string(a.project)).set("cost_qty_link_flag", "Y").set("rsrc_id", std::to_string(a.resource));
        r.set("remain_qty", number(a.laborRemaining)).set("target_qty", number(a.planned)).set("remain_qty_per_hr", "1");
        r.set("act_reg_qty", number(a.laborActual)).set("cost_per_qty", "85.0000");
        r.set("act_reg_cost", number(a.laborActual * 85)).set("act_ot_cost", "0").set("remain_cost", number(a.laborRemaining * 85));
        r.set("act_start_date", stamp(a.actualStart, false)).set("act_end_date", stamp(a.actualFinish, false));
        r.set("target_start_date", stamp(a.start, false)).set("target_end_date", stamp(a.finish, false));
        r.set("rollup_dates_flag", "Y").set("guid", "m7nOSp+VBkadLI" + std::to_string(a.id)).set("rate_type", "COST_PER_QTY");
        r.set("rsrc_type", "RT_Labor").set("cost_per_qty_source_type", "ST_Rsrc");
        r.writeXer(xer);
    }
    xer += "%T\tTASKMEMO\r\n%F\tmemo_id\ttask_id\tmemo_type_id\tproj_id\ttask_memo\r\n";
    for (const Activity& a : activities)
        if (a.note)
            xer += "%R\t" + std::to_string(a.id) + "\t" + std::to_string(a.id) + "\t1\t" + std::to_string(a.project) +
                   "\t<html>\x7F\x7F  <body>\x7F\x7F    Hold point: inspection of <b>" + a.code + "</b>\x7F\x7F  </body>\x7F\x7F</html>\r\n";
    xer += "%E\r\n";
    if (!writeFile(root / "big.xer", xer)) return 1;

    // ---- P6 XML ----
    std::string xml;
    xml.reserve(static_cast<std::size_t>(activityCount) * 3600);
    xml += "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<APIBusinessObjects "
           "xmlns=\"http://xmlns.oracle.com/Primavera/P6Professional/V22.12/API/BusinessObjects\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
    for (const CalendarSpec& c : calendarSpecs())
        if (c.id != 3) xml += calendarXml(c);
    const std::vector<std::string> activityElements = words(kActivityElements), assignmentElements = words(kAssignmentElements);
    std::size_t next = 0;
    for (int p = 1; p <= projectCount; ++p) {
        const Node& projectNode = *std::find_if(nodes.begin(), nodes.end(), [p](const Node& n) { return n.project == p && !n.parent; });
        xml += "\t<Project>\n\t\t<ActivityDefaultCalendarObjectId>" + std::to_string(projectCalendar(p)) +
               "</ActivityDefaultCalendarObjectId>\n\t\t<CurrentBaselineProjectObjectId xsi:nil=\"true\" />\n\t\t<DataDate>" +
               stamp(dataDate, true) + "</DataDate>\n\t\t<Id>PRJ" + std::to_string(p) + "</Id>\n\t\t<Name>" + projectNode.name +
               "</Name>\n\t\t<ObjectId>" + std::to_string(p) + "</ObjectId>\n\t\t<WBSCodeSeparator>.</WBSCodeSeparator>\n\t\t<WBSObjectId>" +
               std::to_string(projectNode.id) + "</WBSObjectId>\n";
        if (p == 1) {  // the project calendar, used by activities of every project
            std::string project = calendarXml(calendarSpecs()[2]);
            for (std::size_t i = 0; i < project.size(); ++i)
                if (project[i] == '\n' && i + 1 < project.size()) project.insert(++i, "\t");
            xml += "\t" + project;
        }
        for (const Node& n : nodes)
            if (n.project == p && n.parent)
                xml += "\t\t<WBS>\n\t\t\t<Code>" + n.code + "</Code>\n\t\t\t<Name>" + n.name + "</Name>\n\t\t\t<ObjectId>" +
                       std::to_string(n.id) + "</ObjectId>\n\t\t\t<ParentObjectId>" + std::to_string(n.parent) +
                       "</ParentObjectId>\n\t\t\t<SequenceNumber>" + std::to_string(n.sequence) + "</SequenceNumber>\n\t\t</WBS>\n";
        const std::size_t first = next;
        for (; next < activities.size() && activities[next].project == p; ++next) {
            const Activity& a = activities[next];
            const double total = a.actual + a.remaining;
            const double percent = a.percentType == 1 ? a.physical / 100
                                   : a.percentType == 2 ? (total > 0 ? a.laborActual / total : 0)
                                   : a.planned > 0 && a.remaining < a.planned ? (a.planned - a.remaining) / a.planned
                                   : a.status == 2 ? 1 : 0;
            Row r(activityElements, "0");
            r.set("ActualDuration", number(a.actual)).set("ActualFinishDate", stamp(a.actualFinish, true));
            r.set("ActualLaborUnits", number(a.laborActual)).set("ActualStartDate", stamp(a.actualStart, true));
            r.set("AtCompletionDuration", number(a.milestone ? 0 : total)).set("AtCompletionLaborUnits", number(total));
            r.set("CalendarObjectId", std::to_string(a.calendar ? a.calendar : projectCalendar(p)));
            r.set("DurationType", "Fixed Duration and Units").set("ExpectedFinishDate", "").set("ExternalEarlyStartDate", "");
            r.set("ExternalLateFinishDate", "").set("Feedback", "").set("GUID", "{A1F735F3-1449-2545-9FE0-" + std::to_string(a.id) + "}");
            r.set("FinishDate", stamp(a.finish, true)).set("Id", a.code).set("LevelingPriority", "Normal");
            r.set("Name", a.name).set("NotesToResources", "").set("ObjectId", std::to_string(a.id));
            r.set("PercentComplete", number(percent)).set("PercentCompleteType", a.percentType == 0 ? "Duration" : a.percentType == 1 ? "Physical" : "Units");
            r.set("PhysicalPercentComplete", number(a.physical / 100)).set("PlannedDuration", number(a.planned));
            r.set("PlannedFinishDate", stamp(a.finish, true)).set("PlannedLaborUnits", number(a.planned));
            r.set("PlannedStartDate", stamp(a.start, true)).set("PrimaryConstraintDate", "").set("PrimaryConstraintType", "");
            r.set("PrimaryResourceObjectId", "").set("ProjectObjectId", std::to_string(p));
            r.set("RemainingDuration", number(a.remaining)).set("RemainingEarlyFinishDate", stamp(a.remainingFinish, true));
            r.set("RemainingEarlyStartDate", stamp(a.remainingStart, true)).set("RemainingLaborUnits", number(a.laborRemaining));
            r.set("RemainingLateFinishDate", stamp(a.remainingFinish, true)).set("RemainingLateStartDate", stamp(a.remainingStart, true));
            r.set("ResumeDate", "").set("SecondaryConstraintDate", "").set("SecondaryConstraintType", "");
            r.set("StartDate", stamp(a.actualStart != p6::kNoDate ? a.actualStart : a.start, true));
            r.set("Status", a.status == 2 ? "Completed" : a.status ? "In Progress" : "Not Started").set("SuspendDate", "");
            r.set("Type", a.milestone == 1 ? "Start Milestone" : a.milestone == 2 ? "Finish Milestone" : "Task Dependent");
            r.set("WBSObjectId", std::to_string(a.wbs));
            r.writeXml(xml, "Activity");
        }
        for (std::size_t k = first; k < next; ++k) {
            const Activity& a = activities[k];
            if (!a.resource) continue;
            Row r(assignmentElements, "0");
            r.set("ActivityObjectId", std::to_string(a.id)).set("ActualCost", number(a.laborActual * 85));
            r.set("ActualCurve", "").set("ActualFinishDate", stamp(a.actualFinish, true)).set("ActualStartDate", stamp(a.actualStart, true));
            r.set("CostAccountObjectId", "").set("FinishDate", stamp(a.finish, true)).set("GUID", "{" + std::to_string(a.id) + "}");
            r.set("ObjectId", std::to_string(a.id)).set("PlannedCurve", "").set("PlannedFinishDate", stamp(a.finish, true));
            r.set("PlannedStartDate", stamp(a.start, true)).set("ProjectObjectId", std::to_string(p)).set("RateSource", "Resource");
            r.set("RateType", "Price / Unit").set("RemainingCost", number(a.laborRemaining * 85)).set("RemainingCurve", "");
            r.set("RemainingFinishDate", stamp(a.remainingFinish, true)).set("RemainingStartDate", stamp(a.remainingStart, true));
            r.set("ResourceCurveObjectId", "").set("ResourceObjectId", std::to_string(a.resource)).set("ResourceType", "Labor");
            r.set("RoleObjectId", "").set("StartDate", stamp(a.start, true)).set("WBSObjectId", std::to_string(a.wbs));
            r.writeXml(xml, "ResourceAssignment");
        }
        for (std::size_t k = first; k < next; ++k)
            if (activities[k].note)
                xml += "\t\t<ActivityNote>\n\t\t\t<ActivityObjectId>" + std::to_string(activities[k].id) +
                       "</ActivityObjectId>\n\t\t\t<Note>&lt;html&gt;\n  &lt;body&gt;\n    Hold point: inspection of &lt;b&gt;" +
                       activities[k].code + "&lt;/b&gt;\n  &lt;/body&gt;\n&lt;/html&gt;</Note>\n\t\t\t<ObjectId>" +
                       std::to_string(activities[k].id) + "</ObjectId>\n\t\t</ActivityNote>\n";
        xml += "\t</Project>\n";
    }
    for (int r = 1; r <= 60; ++r)
        xml += "\t<Resource>\n\t\t<Id>C" + std::to_string(r) + "</Id>\n\t\t<Name>Crew " + std::to_string(r) +
               "</Name>\n\t\t<ObjectId>" + std::to_string(r) + "</ObjectId>\n\t</Resource>\n";
    xml += "</APIBusinessObjects>\n";
    if (!writeFile(root / "big-p6.xml", xml)) return 1;
    xml = std::string();

    // ---- Project XML of the rows the XER gives ----
    ReadOptions every;
    every.details = true;
    Plan plan;
    try {
        plan = readXer(QByteArray(xer.data(), static_cast<qsizetype>(xer.size())), every);
    } catch (const quorrix::Failure& f) {
        std::fprintf(stderr, "big.xer: %s\n", f.what());
        return 1;
    }
    xer = std::string();
    std::string project;
    project.reserve(plan.positions.size() * 3200 + 4096);
    project += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Project xmlns=\"http://schemas.microsoft.com/project\">\n"
               "\t<SaveVersion>14</SaveVersion>\n\t<Name>big-project.xml</Name>\n\t<Title>Plant extension</Title>\n"
               "\t<MinutesPerDay>480</MinutesPerDay>\n\t<MinutesPerWeek>2400</MinutesPerWeek>\n\t<Tasks>\n"
               "\t\t<Task>\n\t\t\t<UID>0</UID>\n\t\t\t<ID>0</ID>\n\t\t\t<Name>Plant extension</Name>\n\t\t\t<Summary>1</Summary>\n\t\t</Task>\n";
    const auto element = [&project](const char* name, const std::string& value) {
        ((((((project += "\t\t\t<") += name) += '>') += value) += "</") += name) += ">\n";
    };
    long id = 0;
    for (const auto& t : plan.positions) {
        const TaskDetails& d = *t->details;
        ++id;
        const std::string s = t->start.toString(Qt::ISODate).toStdString(), f = t->finish.toString(Qt::ISODate).toStdString();
        project += "\t\t<Task>\n";
        // The elements Project 2010 writes for a task, in its order.
        const std::string zero = "PT0H0M0S", length = duration(t->durationMinutes);
        const std::string actualStart = d.actualStart.isValid() ? d.actualStart.toString(Qt::ISODate).toStdString() : "";
        const std::string actualFinish = d.actualFinish.isValid() ? d.actualFinish.toString(Qt::ISODate).toStdString() : "";
        element("UID", std::to_string(id));
        element("ID", std::to_string(id));
        element("Name", escaped(t->name));
        element("Active", "1");
        element("Manual", "0");
        element("Type", "1");
        element("IsNull", "0");
        element("CreateDate", "2024-08-22T16:54:00");
        element("WBS", escaped(d.wbs));
        element("OutlineNumber", d.outlineNumber.toStdString());
        element("OutlineLevel", number(d.outlineLevel.value_or(1)));
        element("Priority", "500");
        element("Start", s);
        element("Finish", f);
        element("Duration", length);
        element("ManualStart", s);
        element("ManualFinish", f);
        element("ManualDuration", length);
        element("DurationFormat", "53");
        element("Work", duration(d.workMinutes.value_or(0)));
        for (const char* flag : {"ResumeValid", "EffortDriven", "Recurring", "OverAllocated", "Estimated"}) element(flag, "0");
        element("Milestone", d.milestone.value_or(false) ? "1" : "0");
        element("Summary", d.summary.value_or(false) ? "1" : "0");
        for (const char* flag : {"DisplayAsSummary", "Critical", "IsSubproject", "IsSubprojectReadOnly", "ExternalTask"})
            element(flag, "0");
        element("EarlyStart", s);
        element("EarlyFinish", f);
        element("LateStart", s);
        element("LateFinish", f);
        for (const char* value : {"StartVariance", "FinishVariance"}) element(value, "0");
        element("WorkVariance", "0.00");
        for (const char* value : {"FreeSlack", "TotalSlack", "StartSlack", "FinishSlack", "FixedCost"}) element(value, "0");
        element("FixedCostAccrual", "3");
        element("PercentComplete", number(std::round(d.percentComplete.value_or(0))));
        element("PercentWorkComplete", "0");
        element("Cost", number(d.cost.value_or(0) * 100));
        element("OvertimeCost", "0");
        element("OvertimeWork", zero);
        if (!actualStart.empty()) element("ActualStart", actualStart);
        if (!actualFinish.empty()) element("ActualFinish", actualFinish);
        element("ActualDuration", zero);
        element("ActualCost", "0");
        element("ActualOvertimeCost", "0");
        for (const char* work : {"ActualWork", "ActualOvertimeWork", "RegularWork"}) element(work, zero);
        element("RemainingDuration", length);
        element("RemainingCost", "0");
        element("RemainingWork", zero);
        element("RemainingOvertimeCost", "0");
        element("RemainingOvertimeWork", zero);
        for (const char* value : {"ACWP", "CV"}) element(value, "0.00");
        element("ConstraintType", "0");
        element("CalendarUID", "-1");
        element("LevelAssignments", "1");
        element("LevelingCanSplit", "1");
        element("LevelingDelay", "0");
        element("LevelingDelayFormat", "8");
        for (const char* flag : {"IgnoreResourceCalendar", "HideBar", "Rollup"}) element(flag, "0");
        for (const char* value : {"BCWS", "BCWP"}) element(value, "0.00");
        for (const char* flag : {"PhysicalPercentComplete", "EarnedValueMethod"}) element(flag, "0");
        element("IsPublished", "1");
        element("CommitmentType", "0");
        if (d.baselineStart.isValid()) {
            project += "\t\t\t<Baseline>\n\t\t\t\t<Number>0</Number>\n\t\t\t\t<Start>" +
                       d.baselineStart.toString(Qt::ISODate).toStdString() + "</Start>\n\t\t\t\t<Finish>" +
                       d.baselineFinish.toString(Qt::ISODate).toStdString() + "</Finish>\n\t\t\t\t<Duration>" +
                       duration(d.baselineDurationMinutes.value_or(0)) + "</Duration>\n\t\t\t</Baseline>\n";
        }
        project += "\t\t</Task>\n";
    }
    project += "\t</Tasks>\n</Project>\n";
    if (!writeFile(root / "big-project.xml", project)) return 1;
    std::printf("%zu rows (%ld activities in %d projects)\n", plan.positions.size(), activityCount, projectCount);
    return 0;
}
