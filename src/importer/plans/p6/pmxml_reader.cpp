// P6 XML: read in one pass with XmlScanner; every element is matched by its local name, whatever
// the schema version's namespace (or none). Values are child elements; a nil or empty one is no
// value. What a record holds is gathered as views of the document's text and turned into values
// at its end.
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
#include <optional>
#include <string>

#include "importer/plans/common/code_pages.h"
#include "importer/plans/common/finish_plan.h"
#include "importer/plans/p6/p6_model.h"
#include "importer/plans/p6/p6_reader.h"
#include "importer/plans/p6/xml_scanner.h"
#include "importer/plans/common/plan_file.h"

namespace quorrix::importer::plans {

namespace p6 {
namespace {

using Token = XmlScanner::Token;
constexpr std::size_t kMaxNameLength = 40;
// Kept records beyond the rows, so that a file of tiny records cannot make far more memory than
// it has bytes.
constexpr std::size_t kMaxRecords = 8'000'000;

// The element names one kind of record is read for, found by length and then compared.
class FieldSet {
public:
    FieldSet(std::initializer_list<const char*> names) {
        int i = 0;
        for (const char* n : names) byLength_[std::strlen(n)].push_back({n, i++});
    }
    // The index of the local name in the list, or -1.
    int find(std::string_view name) const {
        if (name.size() >= byLength_.size()) return -1;
        for (const auto& [n, i] : byLength_[name.size()])
            if (std::memcmp(n, name.data(), name.size()) == 0) return i;
        return -1;
    }

private:
    std::array<std::vector<std::pair<const char*, int>>, kMaxNameLength + 1> byLength_;
};

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\n' || t.front() == '\r')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\n' || t.back() == '\r')) t.remove_suffix(1);
    return t;
}

class P6XmlReader {
public:
    P6XmlReader(XmlScanner& scanner, const Reporter& reporter, const ReadOptions& options)
        : x_(scanner), reporter_(reporter), details_(options.details), schedule_(options.details && options.schedule),
          custom_(options.details && options.custom.any()) {}

    P6File read() {
        if (x_.next() != Token::Start || (x_.name() != "APIBusinessObjects" && x_.name() != "BusinessObjects"))
            reporter_.notAPlan();
        for (Token t = x_.next(); t != Token::End; t = x_.next()) {
            if (t != Token::Start) continue;
            const std::string_view name = x_.name();
            if (name == "Calendar") calendar();
            else if (name == "Project") project();
            else if (details_ && name == "Resource") resource();
            else if (details_ && name == "BaselineProject") baselineProject();
            else if (schedule_ && name == "Relationship") relationship();
            else if (custom_ && name == "UDFType") udfType();
            else x_.skipElement();
        }
        x_.next();  // checks that nothing but comments follows the root element
        file_.holdsBaselines = true;
        assignUdfSlots(file_.udfTypes);
        return std::move(file_);
    }

private:
    // ---- the elements of a record ----

    // The text of the element whose start tag was just read, up to its end; nested elements are
    // skipped. A view of the document where it can be, else of text put together in scratch_.
    std::string_view elementText() {
        std::string_view single;
        int pieces = 0;
        std::string* joined = nullptr;
        for (Token t = x_.next(); t != Token::End; t = x_.next()) {
            if (t == Token::Start) {
                x_.skipElement();
                continue;
            }
            const std::string_view raw = x_.text();
            const bool plain = !x_.cdata() && raw.find_first_of("&\r") == std::string_view::npos;
            if (pieces++ == 0 && plain) {
                single = raw;
                continue;
            }
            if (!joined) {
                joined = &scratch_.emplace_back();
                appendXmlText(*joined, single, false);
            }
            appendXmlText(*joined, raw, x_.cdata());
        }
        return joined ? std::string_view(*joined) : single;
    }

    // The texts of the record's children named in `set` (the first of each name), up to the
    // record's end. A child `nested` takes (returning true) is left to it.
    template <std::size_t N, class Nested>
    void fields(const FieldSet& set, std::array<std::string_view, N>& out, Nested&& nested) {
        for (Token t = x_.next(); t != Token::End; t = x_.next()) {
            if (t != Token::Start) continue;
            const int i = set.find(x_.name());
            if (i >= 0 && out[static_cast<std::size_t>(i)].data() == nullptr) {
                const std::string_view text = elementText();
                out[static_cast<std::size_t>(i)] = text.data() ? text : std::string_view("", 0);
            } else if (!nested(x_.name())) {
                x_.skipElement();
            }
        }
    }
    template <std::size_t N>
    void fields(const FieldSet& set, std::array<std::string_view, N>& out) {
        fields(set, out, [](std::string_view) { return false; });
    }

    // ---- values ----

    [[noreturn]] void badValue(const char* element, std::string_view value, const char* what) const {
        QString owner;
        if (context_.what) {
            owner = QStringLiteral(" of %1").arg(QLatin1String(context_.what));
            if (context_.code && !context_.code->isEmpty()) owner += QStringLiteral(" ") + shownValue(*context_.code);
            else if (context_.id != kNoKey) owner += QStringLiteral(" %1").arg(context_.id);
        }
        reporter_.damaged(QStringLiteral("the %1 \"%2\"%3 is not %4")
                              .arg(QLatin1String(element), shownText(value), owner, QLatin1String(what)));
    }

    static QString text(std::string_view t) { return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size())); }

    Key key(std::string_view raw, const char* element) const {
        const std::string_view v = trimmed(raw);
        if (v.empty()) return kNoKey;
        Key k = 0;
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), k);
        if (error != std::errc() || end != v.data() + v.size() || k == kNoKey) badValue(element, v, "a number");
        return k;
    }

    double number(std::string_view raw, const char* element) const {
        std::string_view v = trimmed(raw);
        if (v.empty()) return kNone;
        const std::string_view all = v;
        if (v.front() == '+') v.remove_prefix(1);
        double d = 0;
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), d);
        if (error != std::errc() || end != v.data() + v.size() || !std::isfinite(d)) badValue(element, all, "a number");
        return d;
    }

    Minutes date(std::string_view raw, const char* element) const {
        const std::string_view v = trimmed(raw);
        if (v.empty()) return kNoDate;
        Minutes m = 0;
        if (!parseDateTime(v, m)) badValue(element, v, "a date");
        return m;
    }

    static bool flag(std::string_view raw) {
        const std::string_view v = trimmed(raw);
        return v == "1" || v == "true";
    }

    // "08:00:00" as minutes after midnight; -1 when it is none.
    int timeOfDay(std::string_view raw, const char* element) const {
        const std::string_view v = trimmed(raw);
        if (v.empty()) return -1;
        const int m = parseTimeOfDay(v);
        if (m < 0) badValue(element, v, "a time of day");
        return m;
    }

    static Milestone milestoneOf(std::string_view type) {
        type = trimmed(type);
        return type == "Start Milestone" ? Milestone::Start : type == "Finish Milestone" ? Milestone::Finish : Milestone::No;
    }

    // ---- calendars ----

    // A WorkTime: P6 writes the last working minute as the finish.
    void workTime(Periods& periods) {
        static const FieldSet set{"Start", "Finish"};
        std::array<std::string_view, 2> f;
        fields(set, f);
        const int start = timeOfDay(f[0], "Start"), finish = timeOfDay(f[1], "Finish");
        if (start >= 0 && finish >= 0) periods.push_back({start, std::min(finish + 1, static_cast<int>(kMinutesPerDay))});
    }

    void calendar() {
        scratch_.clear();
        Calendar c;
        context_ = {"the calendar"};
        static const FieldSet set{"ObjectId", "IsDefault", "BaseCalendarObjectId"};
        static const FieldSet hoursSet{"DayOfWeek"};
        static const FieldSet exceptionSet{"Date"};
        static const char* const kDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
        std::array<std::string_view, 3> f;
        fields(set, f, [&](std::string_view name) {
            const bool week = name == "StandardWorkWeek";
            if (!week && name != "HolidayOrExceptions") return false;
            for (Token t = x_.next(); t != Token::End; t = x_.next()) {
                if (t != Token::Start) continue;
                if (x_.name() != (week ? "StandardWorkHours" : "HolidayOrException")) {
                    x_.skipElement();
                    continue;
                }
                Periods periods;
                std::array<std::string_view, 1> day;
                const auto takeWorkTime = [&](std::string_view child) {
                    if (child != "WorkTime") return false;
                    workTime(periods);
                    return true;
                };
                fields(week ? hoursSet : exceptionSet, day, takeWorkTime);
                if (week) {
                    const std::string_view d = trimmed(day[0]);
                    for (int k = 0; k < 7; ++k) {
                        if (d != kDays[k] && !(d.size() == 1 && d[0] == '1' + k)) continue;
                        c.times.week[static_cast<std::size_t>(k)] = std::move(periods);
                        c.times.weekGiven[k] = true;
                    }
                } else if (const Minutes when = date(day[0], "Date"); when != kNoDate) {
                    if (periods.size() == 1 && periods[0].start == 0 && periods[0].end == kMinutesPerDay) periods.clear();
                    c.times.exceptions.push_back({dayOf(when), std::move(periods)});
                }
            }
            return true;
        });
        c.id = key(f[0], "ObjectId");
        c.isDefault = flag(f[1]);
        c.base = key(f[2], "BaseCalendarObjectId");
        // A weekday the file leaves out is worked 08:00-16:00 from Monday to Friday.
        for (std::size_t d = 1; d <= 5; ++d)
            if (!c.times.weekGiven[d]) c.times.week[d] = {{8 * 60, 16 * 60}};
        file_.calendars.push_back(std::move(c));
        context_ = {};
    }

    // ---- projects ----

    void project() {
        Project& p = file_.projects.emplace_back();
        // Projects are told apart by their position: their ObjectId may come after their activities.
        const Key own = -static_cast<Key>(file_.projects.size());
        p.id = own;
        const std::string_view external = trimmed(x_.attribute("external"));
        p.exported = external != "true" && external != "1";
        Key objectId = kNoKey;
        const std::size_t notesBefore = file_.wbsNotes.size();
        enum { kObjectId, kId, kName, kNode, kDataDate, kCalendar, kSeparator, kBaseline, kFloatLimit, kPathType };
        static const FieldSet set{"ObjectId", "Id", "Name", "WBSObjectId", "DataDate", "ActivityDefaultCalendarObjectId",
                                  "WBSCodeSeparator", "CurrentBaselineProjectObjectId", "CriticalActivityFloatLimit",
                                  "CriticalActivityPathType"};
        for (Token t = x_.next(); t != Token::End; t = x_.next()) {
            if (t != Token::Start) continue;
            const std::string_view name = x_.name();
            if (name == "Activity") activity(own);
            else if (name == "WBS") wbs(own);
            else if (name == "Calendar") calendar();
            else if (details_ && name == "ResourceAssignment") charge(own, true);
            else if (details_ && name == "ActivityExpense") charge(own, false);
            else if (details_ && name == "ActivityNote") note(true);
            else if (details_ && name == "ProjectNote") note(false);
            else if (schedule_ && name == "Relationship") relationship();
            else if (const int i = set.find(name); i >= 0) {
                scratch_.clear();
                context_ = {"the project"};
                Project& q = file_.projects.back();  // activities may have been added meanwhile
                const std::string_view v = elementText();
                switch (i) {
                case kObjectId: objectId = key(v, "ObjectId"); break;
                case kId: q.shortName = text(v); break;
                case kName: q.name = text(v); break;
                case kNode: q.node = key(v, "WBSObjectId"); break;
                case kDataDate: q.dataDate = date(v, "DataDate"); break;
                case kCalendar: q.calendar = key(v, "ActivityDefaultCalendarObjectId"); break;
                case kSeparator: q.separator = text(v); break;
                case kBaseline: q.baseline = key(v, "CurrentBaselineProjectObjectId"); break;
                case kFloatLimit:
                    if (const double limit = number(v, "CriticalActivityFloatLimit"); given(limit))
                        q.criticalFloat = limit;
                    break;
                case kPathType: q.longestPath = trimmed(v) == "Longest Path"; break;
                }
                context_ = {};
            } else {
                x_.skipElement();
            }
        }
        Project& q = file_.projects.back();
        if (q.baseline != kNoKey && q.baseline == objectId) q.baseline = kNoKey;
        // A note of no WBS node is the project's own.
        for (std::size_t i = notesBefore; i < file_.wbsNotes.size(); ++i)
            if (file_.wbsNotes[i].owner == kNoKey) file_.wbsNotes[i].owner = q.node;
    }

    void countRow() {
        if (file_.nodes.size() + file_.activities.size() >= kMaxRows)
            reporter_.damaged(QStringLiteral("it holds more rows than a sheet can take (%1)").arg(kMaxRows));
    }

    void wbs(Key project) {
        countRow();
        scratch_.clear();
        static const FieldSet set{"ObjectId", "ParentObjectId", "SequenceNumber", "Code", "Name"};
        std::array<std::string_view, 5> f;
        fields(set, f);
        WbsNode& n = file_.nodes.emplace_back();
        context_ = {"the WBS node"};
        n.id = key(f[0], "ObjectId");
        context_.id = n.id;
        n.project = project;
        n.parent = key(f[1], "ParentObjectId");
        const double sequence = number(f[2], "SequenceNumber");
        n.sequence = given(sequence) ? static_cast<std::int64_t>(std::clamp(sequence, -1e15, 1e15)) : 0;
        n.code = text(f[3]);
        n.name = text(f[4]);
        context_ = {};
    }

    enum ActivityField {
        kObjectId, kWbs, kCalendar, kId, kName, kType, kStatus, kPercentType, kPercent, kStart, kFinish, kActualStart,
        kActualFinish, kRemainingStart, kRemainingFinish, kPlannedStart, kPlannedFinish, kEarlyStart, kEarlyFinish,
        kPlannedDuration, kActualDuration, kRemainingDuration, kAtCompletion, kActualLabor, kRemainingLabor,
        kActualNonLabor, kRemainingNonLabor, kSuspend, kResume, kPhysical, kTotalFloat, kFreeFloat, kLateStart,
        kLateFinish, kConstraintType, kConstraintDate, kCritical, kLongestPath, kActivityFields
    };

    void activity(Key project) {
        countRow();
        scratch_.clear();
        static const FieldSet set{
            "ObjectId", "WBSObjectId", "CalendarObjectId", "Id", "Name", "Type", "Status", "PercentCompleteType",
            "PercentComplete", "StartDate", "FinishDate", "ActualStartDate", "ActualFinishDate",
            "RemainingEarlyStartDate", "RemainingEarlyFinishDate", "PlannedStartDate", "PlannedFinishDate",
            "EarlyStartDate", "EarlyFinishDate", "PlannedDuration", "ActualDuration", "RemainingDuration",
            "AtCompletionDuration", "ActualLaborUnits", "RemainingLaborUnits", "ActualNonLaborUnits",
            "RemainingNonLaborUnits", "SuspendDate", "ResumeDate", "PhysicalPercentComplete", "TotalFloat", "FreeFloat",
            "LateStartDate", "LateFinishDate", "PrimaryConstraintType", "PrimaryConstraintDate", "IsCritical",
            "IsLongestPath"};
        std::array<std::string_view, kActivityFields> f;
        const std::size_t udfsBefore = file_.udfValues.size();
        fields(set, f, [this](std::string_view name) {
            if (!custom_ || name != "UDF") return false;
            udfValue();
            return true;
        });
        Activity& a = file_.activities.emplace_back();
        a.code = text(f[kId]);
        context_ = {"the activity", kNoKey, &a.code};
        a.id = key(f[kObjectId], "ObjectId");
        context_.id = a.id;
        a.project = project;
        a.wbs = key(f[kWbs], "WBSObjectId");
        a.calendar = key(f[kCalendar], "CalendarObjectId");
        a.name = text(f[kName]);
        a.milestone = milestoneOf(f[kType]);
        const std::string_view status = trimmed(f[kStatus]);
        a.progress = status == "Completed" ? Progress::Completed
                     : status == "In Progress" ? Progress::InProgress
                                               : Progress::NotStarted;
        const std::string_view percentType = trimmed(f[kPercentType]);
        a.percentType = percentType == "Physical" ? PercentType::Physical
                        : percentType == "Units"  ? PercentType::Units
                                                  : PercentType::Duration;
        a.percentComplete = number(f[kPercent], "PercentComplete");
        const double physical = number(f[kPhysical], "PhysicalPercentComplete");
        a.physicalPercent = given(physical) ? physical * 100 : kNone;
        a.start = date(f[kStart], "StartDate");
        a.finish = date(f[kFinish], "FinishDate");
        a.actualStart = date(f[kActualStart], "ActualStartDate");
        a.actualFinish = date(f[kActualFinish], "ActualFinishDate");
        a.remainingStart = date(f[kRemainingStart], "RemainingEarlyStartDate");
        a.remainingFinish = date(f[kRemainingFinish], "RemainingEarlyFinishDate");
        a.plannedStart = date(f[kPlannedStart], "PlannedStartDate");
        a.plannedFinish = date(f[kPlannedFinish], "PlannedFinishDate");
        a.earlyStart = date(f[kEarlyStart], "EarlyStartDate");
        a.earlyFinish = date(f[kEarlyFinish], "EarlyFinishDate");
        a.suspend = date(f[kSuspend], "SuspendDate");
        a.resume = date(f[kResume], "ResumeDate");
        a.plannedDuration = number(f[kPlannedDuration], "PlannedDuration");
        a.actualDuration = number(f[kActualDuration], "ActualDuration");
        a.remainingDuration = number(f[kRemainingDuration], "RemainingDuration");
        a.atCompletionDuration = number(f[kAtCompletion], "AtCompletionDuration");
        a.actualLabor = number(f[kActualLabor], "ActualLaborUnits");
        a.remainingLabor = number(f[kRemainingLabor], "RemainingLaborUnits");
        a.actualNonLabor = number(f[kActualNonLabor], "ActualNonLaborUnits");
        a.remainingNonLabor = number(f[kRemainingNonLabor], "RemainingNonLaborUnits");
        for (std::size_t i = udfsBefore; i < file_.udfValues.size(); ++i) file_.udfValues[i].activity = a.id;
        if (schedule_) {
            a.totalFloat = number(f[kTotalFloat], "TotalFloat");
            a.freeFloat = number(f[kFreeFloat], "FreeFloat");
            a.lateStart = date(f[kLateStart], "LateStartDate");
            a.lateFinish = date(f[kLateFinish], "LateFinishDate");
            a.constraintType = constraintTypeOf(f[kConstraintType]);
            a.constraintDate = date(f[kConstraintDate], "PrimaryConstraintDate");
            const std::string_view critical = trimmed(f[kCritical]);
            if (!critical.empty()) a.critical = critical == "true" || critical == "1" ? 1 : 0;
            a.longestPath = trimmed(f[kLongestPath]) == "true" || trimmed(f[kLongestPath]) == "1";
        }
        context_ = {};
    }

    void relationship() {
        if (file_.relationships.size() >= kMaxRecords)
            reporter_.damaged(QStringLiteral("it holds more relationships than a plan can (%1)").arg(kMaxRecords));
        scratch_.clear();
        static const FieldSet set{"PredecessorActivityObjectId", "SuccessorActivityObjectId", "Type", "Lag"};
        std::array<std::string_view, 4> f;
        fields(set, f);
        context_ = {"a relationship"};
        Relationship& r = file_.relationships.emplace_back();
        r.predecessor = key(f[0], "PredecessorActivityObjectId");
        r.successor = key(f[1], "SuccessorActivityObjectId");
        r.type = linkTypeOf(f[2]);
        if (r.type < 0) badValue("Type", f[2], "a relationship type");
        const double lag = number(f[3], "Lag");
        r.lag = given(lag) ? lag : 0;
        context_ = {};
    }

    void udfType() {
        scratch_.clear();
        static const FieldSet set{"ObjectId", "SubjectArea", "Title", "DataType"};
        std::array<std::string_view, 4> f;
        fields(set, f);
        if (trimmed(f[1]) != "Activity") return;
        if (file_.udfTypes.size() >= kMaxRecords)
            reporter_.damaged(QStringLiteral("it holds more user-defined fields than a plan can (%1)").arg(kMaxRecords));
        context_ = {"a user-defined field"};
        file_.udfTypes.push_back({key(f[0], "ObjectId"), text(f[2]), udfKindOf(f[3])});
        context_ = {};
    }

    // An activity's value of a user-defined field; the activity is known at its end.
    void udfValue() {
        if (file_.udfValues.size() >= kMaxRecords)
            reporter_.damaged(QStringLiteral("it holds more user-defined values than a plan can (%1)").arg(kMaxRecords));
        static const FieldSet set{"TypeObjectId",  "TextValue",      "DoubleValue",    "IntegerValue",
                                  "CostValue",     "StartDateValue", "FinishDateValue"};
        std::array<std::string_view, 7> f;
        fields(set, f);
        const Context outer = context_;
        context_ = {"a user-defined value"};
        UdfValue& v = file_.udfValues.emplace_back();
        v.type = key(f[0], "TypeObjectId");
        v.text = text(f[1]);
        for (const std::size_t i : {2, 3, 4})
            if (!given(v.number)) v.number = number(f[i], "a number value");
        v.date = date(f[5], "StartDateValue");
        if (v.date == kNoDate) v.date = date(f[6], "FinishDateValue");
        context_ = outer;
    }

    void charge(Key /*project*/, bool assignment) {
        scratch_.clear();
        static const FieldSet set{"ActivityObjectId", "ResourceObjectId", "ActualCost", "RemainingCost"};
        std::array<std::string_view, 4> f;
        fields(set, f);
        context_ = {assignment ? "a resource assignment" : "an expense"};
        const double actual = number(f[2], "ActualCost"), remaining = number(f[3], "RemainingCost");
        file_.charges.push_back({key(f[0], "ActivityObjectId"), assignment ? key(f[1], "ResourceObjectId") : kNoKey,
                                 (given(actual) ? actual : 0) + (given(remaining) ? remaining : 0)});
        context_ = {};
    }

    // A note of an activity, or of a WBS node or the project (ProjectNote).
    void note(bool ofActivity) {
        scratch_.clear();
        static const FieldSet activitySet{"ActivityObjectId", "ObjectId", "Note"};
        static const FieldSet wbsSet{"WBSObjectId", "ObjectId", "Note"};
        std::array<std::string_view, 3> f;
        fields(ofActivity ? activitySet : wbsSet, f);
        context_ = {"a note"};
        (ofActivity ? file_.activityNotes : file_.wbsNotes)
            .push_back({key(f[0], ofActivity ? "ActivityObjectId" : "WBSObjectId"), key(f[1], "ObjectId"), text(f[2])});
        context_ = {};
    }

    void resource() {
        scratch_.clear();
        static const FieldSet set{"ObjectId", "Name"};
        std::array<std::string_view, 2> f;
        fields(set, f);
        context_ = {"a resource"};
        const Key id = key(f[0], "ObjectId");
        if (id != kNoKey) file_.resources.emplace(id, text(f[1]));
        context_ = {};
    }

    void baselineProject() {
        static const FieldSet set{"Id", "Type", "PlannedStartDate", "PlannedFinishDate", "PlannedDuration"};
        Key id = kNoKey;
        const std::size_t first = file_.baselineActivities.size();
        for (Token t = x_.next(); t != Token::End; t = x_.next()) {
            if (t != Token::Start) continue;
            scratch_.clear();
            if (x_.name() == "ObjectId") {
                context_ = {"a baseline project"};
                id = key(elementText(), "ObjectId");
                continue;
            }
            if (x_.name() != "Activity") {
                x_.skipElement();
                continue;
            }
            std::array<std::string_view, 5> f;
            fields(set, f);
            BaselineActivity& b = file_.baselineActivities.emplace_back();
            b.code = text(f[0]);
            context_ = {"the baseline activity", kNoKey, &b.code};
            b.milestone = milestoneOf(f[1]);
            b.plannedStart = date(f[2], "PlannedStartDate");
            b.plannedFinish = date(f[3], "PlannedFinishDate");
            b.plannedDuration = number(f[4], "PlannedDuration");
            context_ = {};
        }
        for (std::size_t i = first; i < file_.baselineActivities.size(); ++i) file_.baselineActivities[i].project = id;
    }

    XmlScanner& x_;
    const Reporter& reporter_;
    bool details_;
    bool schedule_;
    bool custom_;
    // What the value being read belongs to, for messages: "the activity" and its ID or code.
    struct Context {
        const char* what = nullptr;
        Key id = kNoKey;
        const QString* code = nullptr;
    } context_;
    std::deque<std::string> scratch_;  // texts of the current record put together from pieces
    P6File file_;
};

// The document as UTF-8: UTF-16 and UTF-32 (by byte-order mark or the first '<') converted, and
// a Latin-1 or Windows-1252 declaration honoured; anything else is taken as UTF-8.
QByteArray asUtf8(QByteArray bytes) {
    const auto at = [&bytes](qsizetype i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    std::optional<QStringConverter::Encoding> wide;
    qsizetype skip = 0;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) wide = QStringConverter::Utf32BE, skip = 4;
    else if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) wide = QStringConverter::Utf32LE, skip = 4;
    else if (at(0) == 0xFE && at(1) == 0xFF) wide = QStringConverter::Utf16BE, skip = 2;
    else if (at(0) == 0xFF && at(1) == 0xFE) wide = QStringConverter::Utf16LE, skip = 2;
    else if (at(0) == 0 && at(1) == '<') wide = QStringConverter::Utf16BE;
    else if (at(0) == '<' && at(1) == 0) wide = QStringConverter::Utf16LE;
    if (wide) {
        QStringDecoder decoder(*wide, QStringConverter::Flag::Stateless);
        return QString(decoder.decode(QByteArrayView(bytes).sliced(std::min(skip, bytes.size())))).toUtf8();
    }
    if (bytes.startsWith("<?xml")) {
        const qsizetype end = bytes.indexOf("?>");
        const QByteArray declaration = bytes.left(end < 0 ? 0 : end).toLower();
        for (const char* name : {"iso-8859-1", "latin1", "windows-1252", "cp1252"})
            if (declaration.contains(QByteArray("encoding=\"") + name) || declaration.contains(QByteArray("encoding='") + name))
                return decode(CodePage::Windows1252, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))).toUtf8();
    }
    return bytes;
}

// The root element's name of XML in `head`, prefix dropped; empty when there is none in it.
QString rootElementName(const QByteArray& head) {
    const auto at = [&head](qsizetype i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0x100u; };
    std::optional<QStringConverter::Encoding> encoding = QStringConverter::Utf8;
    qsizetype skip = 0;
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) skip = 3;
    else if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) encoding = QStringConverter::Utf32BE, skip = 4;
    else if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) encoding = QStringConverter::Utf32LE, skip = 4;
    else if (at(0) == 0xFE && at(1) == 0xFF) encoding = QStringConverter::Utf16BE, skip = 2;
    else if (at(0) == 0xFF && at(1) == 0xFE) encoding = QStringConverter::Utf16LE, skip = 2;
    else if (at(0) == 0 && at(1) == '<') encoding = QStringConverter::Utf16BE;
    else if (at(0) == '<' && at(1) == 0) encoding = QStringConverter::Utf16LE;
    QStringDecoder decoder(*encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(head).sliced(std::min(skip, head.size())));
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < text.size() && text[i].isSpace()) ++i;
    };
    for (;;) {
        skipSpace();
        if (i >= text.size() || text[i] != QLatin1Char('<')) return {};
        const QStringView rest = QStringView(text).mid(i);
        qsizetype end = -1;
        if (rest.startsWith(QLatin1String("<?"))) {
            end = text.indexOf(QLatin1String("?>"), i + 2);
            if (end >= 0) end += 2;
        } else if (rest.startsWith(QLatin1String("<!--"))) {
            end = text.indexOf(QLatin1String("-->"), i + 4);
            if (end >= 0) end += 3;
        } else if (rest.startsWith(QLatin1String("<!"))) {
            // A document type declaration, perhaps with an internal subset in brackets.
            int depth = 0;
            for (qsizetype k = i + 2; k < text.size(); ++k) {
                if (text[k] == QLatin1Char('[')) ++depth;
                else if (text[k] == QLatin1Char(']')) --depth;
                else if (text[k] == QLatin1Char('>') && depth <= 0) {
                    end = k + 1;
                    break;
                }
            }
        } else {
            qsizetype k = i + 1;
            while (k < text.size() && !text[k].isSpace() && text[k] != QLatin1Char('>') && text[k] != QLatin1Char('/')) ++k;
            QString name = text.mid(i + 1, k - i - 1);
            if (k >= text.size()) return {};  // the name may go on beyond the head
            const qsizetype colon = name.indexOf(QLatin1Char(':'));
            return colon >= 0 ? name.mid(colon + 1) : name;
        }
        if (end < 0) return {};
        i = end;
    }
}

}  // namespace
}  // namespace p6

bool isP6XmlFile(const QByteArray& head) {
    const QString root = p6::rootElementName(head);
    return root == QLatin1String("APIBusinessObjects") || root == QLatin1String("BusinessObjects");
}

Plan readP6Xml(QByteArray bytes, const ReadOptions& options) {
    using namespace p6;
    const Reporter reporter;
    if (bytes.isEmpty()) reporter.notAPlan();
    const std::size_t budget = static_cast<std::size_t>(bytes.size()) * 4 + (std::size_t(1) << 24);
    bytes = asUtf8(std::move(bytes));
    P6File file;
    try {
        XmlScanner scanner(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        file = P6XmlReader(scanner, reporter, options).read();
    } catch (const XmlError& e) {
        reporter.damaged(QStringLiteral("its XML is not well-formed at byte %1: %2").arg(e.offset).arg(QLatin1String(e.what)));
    }
    bytes = QByteArray();  // every value kept is a copy
    Plan plan = buildPlan(std::move(file), reporter, options, budget);
    finishPlan(plan, options);
    return plan;
}

}  // namespace quorrix::importer::plans
