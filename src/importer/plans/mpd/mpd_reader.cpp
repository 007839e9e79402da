#include "importer/plans/mpd/mpd_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "importer/plans/common/calendar.h"
#include "importer/plans/common/details_pool.h"
#include "importer/plans/common/finish_plan.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/common/resource_names.h"
#include "importer/plans/common/schedule.h"
#include "importer/plans/mpd/mpd_protocol.h"
#include "importer/plans/mpd/mpd_service.h"
#include "platform/failure.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {
namespace {

using mpd::Kind;

[[noreturn]] void fail(const QString& description) { throw Failure(failure_number::kBadFileFormat, description); }

[[noreturn]] void notAProjectDatabase() { fail(QStringLiteral("The file is not a project database.")); }

// More task rows than a sheet holds below its header row cannot be imported: such an ID is taken
// as damage rather than a reason to reserve millions of empty positions.
constexpr qint64 kMaxTaskId = 1048575;

// ---- the file header -------------------------------------------------------------------------

constexpr char kJetSignature[] = "\0\1\0\0Standard Jet DB";  // 19 bytes, then a NUL
constexpr qsizetype kSignatureSize = sizeof(kJetSignature) - 1;
constexpr qsizetype kVersionOffset = 0x14;
constexpr qint64 kMinimumPages = 3;  // header, free-space map, the catalogue's table definition
constexpr unsigned kJet3 = 0, kJet4 = 1;

// Checks the header (the file's first bytes) against the file's size: a Jet version this reader
// knows, and whole pages of the size that version implies.
void checkHeader(const QByteArray& head, qint64 size) {
    if (!isJetDatabase(head)) notAProjectDatabase();
    if (head.size() < kVersionOffset + 4) databaseDamaged(QStringLiteral("the file ends inside its header"));
    const auto version = static_cast<unsigned char>(head[kVersionOffset]);
    qint64 pageSize = 0;
    if (version == kJet3) pageSize = 2048;
    else if (version == kJet4) pageSize = 4096;
    else fail(QStringLiteral("The database was saved in a format that cannot be read (Jet version %1).").arg(version));
    if (size < kMinimumPages * pageSize)
        databaseDamaged(QStringLiteral("the file is too short to hold its tables"));
    if (size % pageSize != 0)
        databaseDamaged(QStringLiteral("the file does not end at a page boundary (it is truncated)"));
}

// ---- the reader's answer ----------------------------------------------------------------------

// The rows of one table of the answer; a table that is not there has none.
class Rows {
public:
    Rows(const mpd::Answer& answer, Kind kind)
        : table_(answer.tables[static_cast<std::size_t>(kind)]),
          columns_(answer.schema->columns[static_cast<std::size_t>(kind)]),
          name_(answer.schema->tables[static_cast<std::size_t>(kind)]) {}

    bool next() { return ++row_ < table_.rows(); }

    // The text of column `c` in the current row; empty for NULL (and for an empty text).
    std::string_view text(std::size_t c) const { return table_.at(row_, c); }
    bool isNull(std::size_t c) const { return text(c).empty(); }
    // The column's name in the database; nullptr when its schema has none.
    const char* column(std::size_t c) const { return columns_[c]; }
    QString name() const { return QString::fromLatin1(name_); }

private:
    const mpd::Answer::Table& table_;
    const std::array<const char*, mpd::kMaxColumns>& columns_;
    const char* name_;
    std::size_t row_ = std::size_t(-1);
};

// ---- values ------------------------------------------------------------------------------------

QString shown(std::string_view text) { return shownValue(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))); }

[[noreturn]] void badValue(const Rows& rows, std::size_t c, std::string_view text) {
    databaseDamaged(QStringLiteral("the value \"%1\" in the column %2 of the table %3 cannot be read")
                                         .arg(shown(text), QString::fromLatin1(rows.column(c)), rows.name()));
}

// The integer of a text of an optional '-' and 1 to `most` digits; nothing for any other text.
std::optional<qint64> plainInteger(std::string_view text, std::size_t most) {
    const std::size_t from = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == from || text.size() - from > most) return std::nullopt;
    qint64 value = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return from ? -value : value;
}

std::optional<qint64> integerValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    if (const auto value = plainInteger(text, 12)) return value;
    badValue(rows, c, text);
}

std::optional<double> numberValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    if (text.size() > 64) badValue(rows, c, text);
    // Whole numbers come as integers: below 10^15 exact as a double (-0 the long way).
    if (const auto whole = plainInteger(text, 15); whole && !(text[0] == '-' && *whole == 0))
        return static_cast<double>(*whole);
    // The reader writes numbers as printf does: read here without a copy on the heap; anything
    // else goes the long way below.
    char plain[64];
    std::replace_copy(text.begin(), text.end(), plain, ',', '.');
    double quick = 0;
    const auto [end, error] = std::from_chars(plain, plain + text.size(), quick);
    if (error == std::errc() && end == plain + text.size() && std::isfinite(quick)) return quick;
    QByteArray copy(text.data(), static_cast<qsizetype>(text.size()));
    copy.replace(',', '.');  // whatever the C library's decimal separator
    bool ok = false;
    const double value = copy.toDouble(&ok);
    if (!ok || !std::isfinite(value)) badValue(rows, c, text);
    return value;
}

std::optional<bool> flagValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    if (text == "1") return true;
    if (text == "0") return false;
    badValue(rows, c, text);
}

// A date-time as the reader formats it ("%Y-%m-%d %H:%M:%S"); invalid for NULL.
QDateTime dateValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return {};
    bool ok = text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' &&
              text[16] == ':';
    // Two digits from `at` as their number; ok false for anything else.
    const auto two = [&text, &ok](std::size_t at) {
        const auto high = static_cast<unsigned>(text[at] - '0'), low = static_cast<unsigned>(text[at + 1] - '0');
        ok = ok && high <= 9 && low <= 9;
        return static_cast<int>(high * 10 + low);
    };
    if (!ok) badValue(rows, c, text);
    const int year = two(0) * 100 + two(2), month = two(5), day = two(8);
    const int hour = two(11), minute = two(14), second = two(17);
    // The reader writes years 1000 to 9999 only (others in the long form, which is damage here).
    if (!ok || year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        badValue(rows, c, text);
    // Built from the milliseconds, as wallClock would build it from the day and time.
    const qint64 days = daysFromCivil(year, month, day);
    const qint64 seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000, Qt::UTC);
}

// A further date of the current task row: the text of its start or finish is that date-time,
// taken from the task rather than read again.
QDateTime taskDate(const Rows& rows, std::size_t c, const PlanTask& task) {
    const std::string_view text = rows.text(c);
    if (!text.empty()) {
        if (text == rows.text(mpd::kStart)) return task.start;
        if (text == rows.text(mpd::kFinish)) return task.finish;
    }
    return dateValue(rows, c);
}

QString textValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return {};
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// ---- the plan ----------------------------------------------------------------------------------

// The project a database shows: project 1 when it holds one, else the lowest ID.
std::optional<qint64> chooseProject(const std::vector<qint64>& ids) {
    if (ids.empty()) return std::nullopt;
    if (std::find(ids.begin(), ids.end(), 1) != ids.end()) return 1;
    return *std::min_element(ids.begin(), ids.end());
}

// What turns a project's minutes into shown durations, and its critical slack limit.
struct Settings {
    DurationUnits units;
    double slackLimitTenths = 0;
};

Settings settingsOf(const Rows& rows) {
    using namespace mpd;
    Settings s;
    if (const auto v = integerValue(rows, kMinutesPerDay); v && *v > 0) s.units.minutesPerDay = static_cast<double>(*v);
    if (const auto v = integerValue(rows, kMinutesPerWeek); v && *v > 0)
        s.units.minutesPerWeek = static_cast<double>(*v);
    if (const auto v = integerValue(rows, kDaysPerMonth); v && *v > 0) s.units.daysPerMonth = static_cast<double>(*v);
    if (const auto v = integerValue(rows, kDefaultDurationFormat); v && *v > 0 && *v < plans::kDefaultFormat)
        s.units.defaultFormat = static_cast<int>(*v);
    if (const auto v = integerValue(rows, kCriticalSlackLimit))
        s.slackLimitTenths = static_cast<double>(*v) * s.units.minutesPerDay * 10;
    return s;
}

struct TaskRow {
    qint64 owner = 0;
    qint64 id = 0;
    qint64 uniqueId = 0;
    bool blank = false;
    int durationFormat = kDefaultFormat;  // with the estimate's bit
    std::optional<int> baselineFormat;
    PlanTask task;
    std::shared_ptr<TaskDetails> details;
};

// A small code of the table (a format, a type): out of range is damage.
std::optional<int> codeValue(const Rows& rows, std::size_t c, int highest) {
    const auto v = integerValue(rows, c);
    if (v && (*v < 0 || *v > highest)) badValue(rows, c, rows.text(c));
    return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
}

// The schedule fields a task row holds; the shown durations wait for the project's settings,
// the links and Critical where not stored for the link table.
void readSchedule(const Rows& rows, bool project98, TaskRow& row) {
    using namespace mpd;
    ScheduleFields& s = row.details->schedule;
    const auto minutes = [&rows](std::size_t c) -> std::optional<double> {
        const auto tenths = integerValue(rows, c);
        return tenths ? std::optional<double>(static_cast<double>(*tenths) / 10) : std::nullopt;
    };
    const auto date = [&rows, &row](std::size_t c) -> std::optional<QDateTime> {
        if (!rows.column(c)) return std::nullopt;  // a field the schema lacks
        return taskDate(rows, c, row.task);        // NA when empty
    };
    s.totalSlackMinutes = minutes(kTotalSlack);
    s.freeSlackMinutes = minutes(kFreeSlack);
    s.critical = flagValue(rows, kCritical);
    s.constraintType = codeValue(rows, kConstraintType, 7);
    s.constraintDate = date(kConstraintDate);
    s.deadline = date(kDeadline);
    // Project 98 keeps the priority as its place in the list of ten words (Lowest ... Do Not Level).
    if (const auto priority = codeValue(rows, kPriority, project98 ? 9 : 1000))
        s.priority = project98 ? (*priority + 1) * 100.0 : *priority;
    s.earlyStart = date(kEarlyStart);
    s.earlyFinish = date(kEarlyFinish);
    s.lateStart = date(kLateStart);
    s.lateFinish = date(kLateFinish);
    s.taskType = codeValue(rows, kTaskType, 2);
    s.manual = false;  // neither schema has manually scheduled tasks
    s.active = true;
    // Project 98 has no estimates: its format is the unit alone.
    const int format = codeValue(rows, kDurationFormat, 0xFF).value_or(plans::kDefaultFormat);
    s.estimated = !project98 && (flagValue(rows, kEstimated).value_or(false) || (format & kEstimatedBit) != 0);
    row.durationFormat = project98 ? format & 0x1F : format | (*s.estimated ? kEstimatedBit : 0);
    if (const auto baseline = codeValue(rows, kBaselineDurationFormat, 0xFF))
        row.baselineFormat = project98 ? *baseline & 0x1F : *baseline;
}

// "A,B[50%]": the resources of a task's assignments in the order of the assignments' unique IDs,
// with the units beside a name when they are not 100%.
std::map<qint64, QString> resourceNames(const mpd::Answer& answer, qint64 project) {
    std::map<qint64, QString> result;
    std::map<qint64, QString> names;
    {
        Rows rows(answer, Kind::Resources);
        while (rows.next()) {
            const auto owner = integerValue(rows, 0);
            const auto uid = integerValue(rows, 1);
            if (owner != project || !uid || *uid < 0) continue;
            names.emplace(*uid, textValue(rows, 2));
        }
    }
    struct Assignment {
        qint64 uid, task, resource;
        double units;
    };
    std::vector<Assignment> assignments;
    {
        Rows rows(answer, Kind::Assignments);
        while (rows.next()) {
            const auto owner = integerValue(rows, 0);
            const auto uid = integerValue(rows, 1);
            const auto task = integerValue(rows, 2);
            const auto resource = integerValue(rows, 3);
            if (owner != project || !uid || !task || !resource || *resource < 0) continue;
            if (names.find(*resource) == names.end()) continue;
            assignments.push_back({*uid, *task, *resource, numberValue(rows, 4).value_or(1)});
        }
    }
    std::stable_sort(assignments.begin(), assignments.end(),
                     [](const Assignment& a, const Assignment& b) { return a.uid < b.uid; });
    std::map<qint64, std::vector<qint64>> seen;
    for (const Assignment& a : assignments) {
        auto& resources = seen[a.task];
        if (std::find(resources.begin(), resources.end(), a.resource) != resources.end()) continue;
        resources.push_back(a.resource);
        appendResourceName(result[a.task], names[a.resource], a.units);
    }
    return result;
}

// Project 98 keeps the flags as columns of the task table.
void readFlagColumns(const Rows& rows, const CustomSlots& asked, TaskDetails& d) {
    for (int n = 1; n <= customFieldsOf(CustomKind::Flag); ++n) {
        const int slot = customSlot(CustomKind::Flag, n);
        if (!asked.test(static_cast<std::size_t>(slot))) continue;
        if (!flagValue(rows, mpd::kFlag1 + static_cast<std::size_t>(n) - 1).value_or(false)) continue;
        CustomValue v;
        v.slot = static_cast<std::uint8_t>(slot);
        v.number = 1;
        d.custom.push_back(std::move(v));
    }
}

// The links of the project in the order of the link table: not links to other projects (whose
// tasks this plan does not hold) nor blank rows of the table.
std::vector<PlanLink> linksOf(const mpd::Answer& answer, qint64 project) {
    using namespace mpd;
    std::vector<PlanLink> links;
    Rows rows(answer, Kind::Links);
    while (rows.next()) {
        if (integerValue(rows, kLinkProject) != project) continue;
        if (flagValue(rows, kLinkIsNull).value_or(false) || flagValue(rows, kLinkCrossProject).value_or(false))
            continue;
        const auto predecessor = integerValue(rows, kLinkPredecessor);
        const auto successor = integerValue(rows, kLinkSuccessor);
        if (!predecessor || !successor || *predecessor <= 0 || *successor <= 0) continue;
        PlanLink link;
        link.predecessor = *predecessor;
        link.successor = *successor;
        const int type = codeValue(rows, kLinkType, 0xFFFF).value_or(1);
        link.type = type <= 3 ? type : 1;  // 0 FF, 1 FS, 2 SF, 3 SS; anything else counts as FS
        link.lagTenths = static_cast<double>(integerValue(rows, kLinkLag).value_or(0));
        link.lagFormat = codeValue(rows, kLinkLagFormat, 0xFF).value_or(kDefaultFormat);
        links.push_back(link);
    }
    return links;
}

// The shown durations, the links' texts and Critical where the row does not hold it.
void finishSchedule(const mpd::Answer& answer, qint64 project, const Settings& settings, std::vector<TaskRow>& found,
                    const std::vector<std::size_t>& order) {
    std::unordered_map<long long, long> idOfUnique;
    for (const std::size_t k : order) idOfUnique.emplace(found[k].uniqueId, static_cast<long>(found[k].id));
    const auto texts = linkTexts(linksOf(answer, project), idOfUnique, settings.units);
    for (const std::size_t k : order) {
        TaskRow& row = found[k];
        TaskDetails& d = *row.details;
        ScheduleFields& s = d.schedule;
        const double minutes = row.task.durationMinutes;
        s.durationShown = durationText(minutes, row.durationFormat, settings.units);
        s.durationDays = durationDays(minutes, row.durationFormat, settings.units);
        if (d.baselineDurationMinutes) {
            const int format = row.baselineFormat.value_or(row.durationFormat & ~kEstimatedBit);
            s.baselineDurationShown = durationText(*d.baselineDurationMinutes, format, settings.units);
            s.baselineDurationDays = durationDays(*d.baselineDurationMinutes, format, settings.units);
        }
        if (const auto text = texts.find(row.uniqueId); text != texts.end()) {
            s.predecessors = text->second.predecessors;
            s.successors = text->second.successors;
        }
        if (s.critical || !s.totalSlackMinutes) continue;
        CriticalFacts facts;
        facts.complete = d.percentComplete.value_or(0) >= 100 || d.actualFinish.isValid();
        facts.totalSlackTenths = *s.totalSlackMinutes * 10;
        facts.slackLimitTenths = settings.slackLimitTenths;
        facts.linked = !s.predecessors.isEmpty() || !s.successors.isEmpty();
        facts.estimated = s.estimated.value_or(false);
        s.critical = isCritical(facts);
    }
}

// The texts of the project's outline codes by unique ID: each entry with its parents from the top,
// joined by ".".
std::unordered_map<qint64, QString> outlineCodes(const mpd::Answer& answer, qint64 project) {
    using namespace mpd;
    std::unordered_map<qint64, std::pair<qint64, QString>> entries;  // parent, name
    Rows rows(answer, Kind::OutlineCodes);
    while (rows.next()) {
        const auto uid = integerValue(rows, kCodeUid);
        if (integerValue(rows, kCodeProject) != project || !uid || *uid <= 0) continue;
        entries.emplace(*uid, std::make_pair(integerValue(rows, kCodeParent).value_or(0), textValue(rows, kCodeName)));
    }
    std::unordered_map<qint64, QString> texts;
    for (const auto& [uid, entry] : entries) {
        QString path = entry.second;
        qint64 at = entry.first;
        // Up to the top; a list deeper than any plan's, or a loop, ends the path.
        for (int depth = 0; depth < 100 && at > 0 && at != uid; ++depth) {
            const auto parent = entries.find(at);
            if (parent == entries.end()) break;
            path = parent->second.second + QLatin1Char('.') + path;
            if (parent->second.first == at) break;
            at = parent->second.first;
        }
        texts.emplace(uid, path);
    }
    return texts;
}

// The tables of custom values and the kinds of field each holds.
struct ValueTable {
    mpd::Kind table;
    std::initializer_list<CustomKind> kinds;
};
const ValueTable kValueTables[] = {
    {mpd::Kind::TextFields, {CustomKind::Text}},
    {mpd::Kind::NumberFields, {CustomKind::Number, CustomKind::Cost}},
    {mpd::Kind::DateFields, {CustomKind::Date, CustomKind::Start, CustomKind::Finish}},
    {mpd::Kind::DurationFields, {CustomKind::Duration}},
    {mpd::Kind::FlagFields, {CustomKind::Flag}},
    {mpd::Kind::CodeFields, {CustomKind::OutlineCode}},
};

// The value of a custom field of `kind` in the current row of a table of values: costs kept in
// hundredths, durations in tenths of a minute, an outline code as its entry's unique ID. None for
// a flag not set and a field without a value.
std::optional<CustomValue> customValueOf(const Rows& rows, CustomKind kind,
                                         const std::unordered_map<qint64, QString>& codes) {
    using namespace mpd;
    CustomValue v;
    switch (kind) {
    case CustomKind::Text: v.text = textValue(rows, kFieldValue); break;
    case CustomKind::Number:
    case CustomKind::Cost: {
        const auto number = numberValue(rows, kFieldValue);
        if (!number) return std::nullopt;
        v.number = kind == CustomKind::Cost ? *number / 100 : *number;
        return v;
    }
    case CustomKind::Date:
    case CustomKind::Start:
    case CustomKind::Finish: v.date = dateValue(rows, kFieldValue); break;
    case CustomKind::Duration: {
        const auto tenths = numberValue(rows, kFieldValue);
        if (!tenths) return std::nullopt;
        v.number = *tenths / 10;
        return v;
    }
    case CustomKind::Flag:
        if (!flagValue(rows, kFieldValue).value_or(false)) return std::nullopt;
        v.number = 1;
        return v;
    case CustomKind::OutlineCode:
        if (const auto code = codes.find(integerValue(rows, kFieldValue).value_or(0)); code != codes.end())
            v.text = code->second;
        break;
    }
    if (v.text.isEmpty() && !v.date.isValid()) return std::nullopt;
    return v;
}

// The asked custom values of the project's tasks, from the tables of values (by field ID).
void readCustomValues(const mpd::Answer& answer, qint64 project, const CustomSlots& asked, std::vector<TaskRow>& found,
                      const std::vector<std::size_t>& order) {
    using namespace mpd;
    const auto hasRows = [&answer](const ValueTable& table) {
        return answer.tables[static_cast<std::size_t>(table.table)].rows() > 0;
    };
    if (std::none_of(std::begin(kValueTables), std::end(kValueTables), hasRows)) return;
    std::unordered_map<qint64, TaskDetails*> byUnique;
    for (const std::size_t k : order) byUnique.emplace(found[k].uniqueId, found[k].details.get());
    std::unordered_map<qint64, QString> codes;
    if (answer.tables[static_cast<std::size_t>(Kind::CodeFields)].rows() > 0) codes = outlineCodes(answer, project);
    for (const ValueTable& table : kValueTables) {
        Rows rows(answer, table.table);
        while (rows.next()) {
            if (integerValue(rows, kFieldProject) != project || integerValue(rows, kFieldCategory) != kTaskCategory)
                continue;
            const auto owner = integerValue(rows, kFieldOwner);
            const auto fieldId = integerValue(rows, kFieldId);
            if (!owner || !fieldId || *fieldId < 0 || *fieldId > 0x7FFFFFFF) continue;
            const auto task = byUnique.find(*owner);
            const auto slot = customSlotOfId(static_cast<long>(*fieldId));
            if (task == byUnique.end() || !slot || !asked.test(static_cast<std::size_t>(*slot))) continue;
            const CustomKind kind = customKindOf(*slot);
            if (std::find(table.kinds.begin(), table.kinds.end(), kind) == table.kinds.end()) continue;
            if (task->second->customValue(*slot)) continue;  // the first row of a field holds
            auto v = customValueOf(rows, kind, codes);
            if (!v) continue;
            v->slot = static_cast<std::uint8_t>(*slot);
            task->second->custom.push_back(std::move(*v));
        }
    }
    for (const std::size_t k : order) {
        auto& custom = found[k].details->custom;
        std::sort(custom.begin(), custom.end(),
                  [](const CustomValue& a, const CustomValue& b) { return a.slot < b.slot; });
    }
}

Plan readTasks(const mpd::Answer& answer, const ReadOptions& options) {
    using namespace mpd;  // the task columns
    std::vector<qint64> projectIds;
    std::map<qint64, QString> projectNames;
    std::map<qint64, Settings> projectSettings;
    const bool schedule = options.details && options.schedule;
    const bool project98 = answer.schema->number == kSchema8.number;
    {
        Rows rows(answer, Kind::Projects);
        while (rows.next()) {
            const auto id = integerValue(rows, kProjectId);
            if (!id) continue;
            projectIds.push_back(*id);
            const QString title = textValue(rows, kProjectTitle);
            projectNames.emplace(*id, title.isEmpty() ? textValue(rows, kProjectName) : title);
            if (schedule) projectSettings.emplace(*id, settingsOf(rows));
        }
    }
    const std::optional<qint64> listed = chooseProject(projectIds);

    std::vector<TaskRow> found;
    std::vector<qint64> owners;
    Rows rows(answer, Kind::Tasks);
    DetailsPool pool(static_cast<qint64>(answer.tables[static_cast<std::size_t>(Kind::Tasks)].rows()));
    while (rows.next()) {
        const auto owner = integerValue(rows, kProject);
        if (!owner || (listed && *owner != *listed)) continue;
        const auto uniqueId = integerValue(rows, kUniqueId);
        const auto id = integerValue(rows, kId);
        if (!uniqueId || *uniqueId < 0 || !id) continue;  // placeholder rows
        if (*uniqueId == 0 || *id == 0) continue;           // the project summary task
        if (*id < 0) databaseDamaged(QStringLiteral("a task has the negative ID %1").arg(*id));
        if (*id > kMaxTaskId) databaseDamaged(QStringLiteral("the task ID %1 is out of range").arg(*id));

        TaskRow row;
        row.owner = *owner;
        row.id = *id;
        row.uniqueId = *uniqueId;
        row.task.name = textValue(rows, kName);
        row.task.start = dateValue(rows, kStart);
        row.task.finish = dateValue(rows, kFinish);
        if (rows.column(kIsNull) && !rows.isNull(kIsNull)) {
            row.blank = flagValue(rows, kIsNull).value_or(false);
        } else {
            row.blank = row.task.name.isEmpty() && !row.task.start.isValid() && !row.task.finish.isValid();
        }
        owners.push_back(*owner);
        if (row.blank) {
            found.push_back(std::move(row));
            continue;
        }
        const auto tenths = integerValue(rows, kDuration);
        row.task.durationMinutes = static_cast<double>(tenths.value_or(0)) / 10;
        if (options.details) {
            auto d = pool.make();
            d->id = static_cast<double>(*id);
            d->uniqueId = static_cast<double>(*uniqueId);
            if (const auto level = integerValue(rows, kOutlineLevel)) d->outlineLevel = static_cast<double>(*level);
            d->outlineNumber = textValue(rows, kOutlineNumber);
            d->wbs = textValue(rows, kWbs);
            if (const auto percent = integerValue(rows, kPercentComplete))
                d->percentComplete = static_cast<double>(*percent);
            d->milestone = flagValue(rows, kMilestone);
            d->summary = flagValue(rows, kSummary);
            d->baselineStart = taskDate(rows, kBaselineStart, row.task);
            d->baselineFinish = taskDate(rows, kBaselineFinish, row.task);
            // A task without a baseline holds a baseline duration of 0: it has none.
            if (const auto base = integerValue(rows, kBaselineDuration);
                base && (*base != 0 || d->baselineStart.isValid() || d->baselineFinish.isValid()))
                d->baselineDurationMinutes = static_cast<double>(*base) / 10;
            d->actualStart = taskDate(rows, kActualStart, row.task);
            d->actualFinish = taskDate(rows, kActualFinish, row.task);
            if (const auto work = numberValue(rows, kWork)) d->workMinutes = *work / 1000;
            if (const auto cost = numberValue(rows, kCost)) d->cost = *cost / 100;  // hundredths
            d->notes = textValue(rows, kNotes);
            row.details = std::move(d);
            if (schedule) readSchedule(rows, project98, row);
            if (project98) readFlagColumns(rows, options.custom, *row.details);
        }
        found.push_back(std::move(row));
    }

    // Without a list of projects, the first project the task rows name.
    const std::optional<qint64> project = listed ? listed : chooseProject(owners);
    if (!project) {
        if (projectIds.empty() && found.empty()) fail(QStringLiteral("The database holds no project."));
        return {};
    }

    Plan plan;
    std::vector<bool> seen;
    std::vector<std::size_t> order;  // indices into `found` of the real tasks, by ID
    for (std::size_t k = 0; k < found.size(); ++k) {
        const TaskRow& row = found[k];
        if (row.owner != *project) continue;
        const auto index = static_cast<std::size_t>(row.id - 1);
        if (index >= plan.positions.size()) {
            plan.positions.resize(index + 1);
            seen.resize(index + 1, false);
        }
        if (seen[index]) databaseDamaged(QStringLiteral("the task ID %1 appears twice").arg(row.id));
        seen[index] = true;
        if (!row.blank) order.push_back(k);
    }
    std::sort(order.begin(), order.end(), [&found](std::size_t a, std::size_t b) { return found[a].id < found[b].id; });

    if (options.details) {
        const auto settings = projectSettings.find(*project);
        if (schedule)
            finishSchedule(answer, *project, settings != projectSettings.end() ? settings->second : Settings(), found,
                           order);
        if (options.custom.any()) readCustomValues(answer, *project, options.custom, found, order);
        plan.customHeld.set();
        if (project98)  // Project 98 has no outline codes
            for (int n = 1; n <= customFieldsOf(CustomKind::OutlineCode); ++n)
                plan.customHeld.reset(static_cast<std::size_t>(customSlot(CustomKind::OutlineCode, n)));
        const std::map<qint64, QString> resources = resourceNames(answer, *project);
        const auto named = projectNames.find(*project);
        const QString projectName = named != projectNames.end() ? named->second : QString();
        for (const std::size_t k : order) {
            found[k].details->project = projectName;
            if (const auto names = resources.find(found[k].uniqueId); names != resources.end())
                found[k].details->resourceNames = names->second;
        }
    }
    for (const std::size_t k : order) {
        TaskRow& row = found[k];
        PlanTask task = std::move(row.task);
        task.details = std::move(row.details);
        plan.positions[static_cast<std::size_t>(row.id - 1)] = std::move(task);
    }
    return plan;
}

// The reader's own failure as the one line the user is shown.
[[noreturn]] void readerFailed(const mpd::Answer& answer) {
    const mpd::Answer::Failure& f = *answer.failure;
    const auto kind = static_cast<std::size_t>(f.kind);
    const auto table = [&] { return QString::fromLatin1(answer.schema->tables[kind]); };
    switch (f.code) {
    case mpd::Code::HeaderUnreadable: databaseDamaged(QStringLiteral("its header cannot be read"));
    case mpd::Code::CatalogUnreadable: databaseDamaged(QStringLiteral("its list of tables cannot be read"));
    case mpd::Code::TableUnreadable:
        databaseDamaged(QStringLiteral("the table %1 cannot be read").arg(table()));
    case mpd::Code::ColumnsUnreadable:
        databaseDamaged(QStringLiteral("the columns of the table %1 cannot be read").arg(table()));
    case mpd::Code::ColumnUnreadable:
        databaseDamaged(QStringLiteral("the column %1 of the table %2 cannot be read")
                                      .arg(QString::fromLatin1(answer.schema->columns[kind][f.column]), table()));
    case mpd::Code::NotAPlan: fail(QStringLiteral("The file is a database but not a project plan."));
    case mpd::Code::OutOfMemory: break;
    }
    databaseDamaged(QStringLiteral("reading it needs more memory than the reader may use"));
}


[[noreturn]] void cannotOpen(const char* what, int error) {
    throw Failure(failure_number::kPermissionDenied,
                  QStringLiteral("The file cannot be %1: %2.")
                      .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error))));
}

// The plan in an answer checked and taken apart: the failure it reports thrown.
Plan planFromParsed(const mpd::Answer& parsed, const ReadOptions& options) {
    if (parsed.failure) readerFailed(parsed);
    Plan plan = readTasks(parsed, options);
    finishPlan(plan, options);
    return plan;
}

}  // namespace

Plan planFromMpdAnswer(std::string_view answer, const ReadOptions& options) {
    mpd::Answer parsed;
    try {
        parsed = mpd::parseAnswer(answer, mpdAsked(options));
    } catch (const mpd::BadAnswer& bad) {
        databaseDamaged(QStringLiteral("its reader's answer is not valid (%1)").arg(QString::fromLatin1(bad.what())));
    }
    return planFromParsed(parsed, options);
}

Plan readMpd(const PlanFile& file, const ReadOptions& options) { return readMpd(file, options, installedMpdReader()); }

Plan readMpd(const PlanFile& file, const ReadOptions& options, const MpdReaderSetup& setup) {
    checkHeader(file.bytes, file.size);
    // The reader's process reads the file through this descriptor: the one whose size was checked.
    const int fd = ::open(encodeFileName(file.path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) cannotOpen("opened", errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } const closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) cannotOpen("read", errno);
    if (!S_ISREG(st.st_mode)) notAProjectDatabase();
    if (st.st_size != file.size) databaseDamaged(QStringLiteral("it changed while it was read"));
    // A database that fails after others were read by the same process is read once more by a
    // fresh one: what an earlier database did to that process is no fault of this one.
    for (;;) {
        const MpdReading reading = askMpdReader(fd, st.st_size, mpdAsked(options), setup);
        try {
            return planFromParsed(reading.parsed, options);
        } catch (const Failure&) {
            retireMpdReader();
            if (reading.fresh) throw;
        }
    }
}

unsigned mpdAsked(const ReadOptions& options) {
    if (!options.details) return 0;
    unsigned asked = mpd::kAskDetails | (options.schedule ? mpd::kAskSchedule : 0);
    for (int slot = 0; slot < kCustomFieldCount; ++slot) {
        if (!options.custom.test(static_cast<std::size_t>(slot))) continue;
        switch (customKindOf(slot)) {
        case CustomKind::Text: asked |= mpd::kAskTexts; break;
        case CustomKind::Number:
        case CustomKind::Cost: asked |= mpd::kAskNumbers; break;
        case CustomKind::Date:
        case CustomKind::Start:
        case CustomKind::Finish: asked |= mpd::kAskDates; break;
        case CustomKind::Duration: asked |= mpd::kAskDurations; break;
        case CustomKind::Flag: asked |= mpd::kAskFlags; break;
        case CustomKind::OutlineCode: asked |= mpd::kAskCodes; break;
        }
    }
    return asked;
}

bool isJetDatabase(const QByteArray& head) {
    return head.size() >= kSignatureSize + 1 &&
           std::memcmp(head.constData(), kJetSignature, static_cast<std::size_t>(kSignatureSize)) == 0 &&
           head[kSignatureSize] == '\0';
}

}  // namespace quorrix::importer::plans
