#include "importer/plans/mpd/mpd_reader.h"

#include <mdbtools.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "importer/plans/common/finish_plan.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/common/resource_names.h"
#include "platform/failure.h"
#include "platform/wall_clock.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {
namespace {

[[noreturn]] void fail(const QString& description) { throw Failure(failure_number::kBadFileFormat, description); }

[[noreturn]] void damaged(const QString& what) { fail(QStringLiteral("The database is damaged: %1.").arg(what)); }

[[noreturn]] void notAProjectDatabase() { fail(QStringLiteral("The file is not a project database.")); }

// More task rows than a sheet holds below its header row cannot be imported: such an ID is taken
// as damage rather than a reason to reserve millions of empty positions.
constexpr qint64 kMaxTaskId = 1048575;

// ---- the file header -------------------------------------------------------------------------

constexpr char kJetSignature[] = "\0\1\0\0Standard Jet DB";  // 19 bytes, then a NUL
constexpr qsizetype kSignatureSize = sizeof(kJetSignature) - 1;
constexpr qsizetype kVersionOffset = 0x14;
constexpr qint64 kMinimumPages = 3;  // header, free-space map, the catalogue's table definition

// Checks the header (the file's first bytes) against the file's size: a Jet version this reader
// knows, and whole pages of the size that version implies.
void checkHeader(const QByteArray& head, qint64 size) {
    if (!isJetDatabase(head)) notAProjectDatabase();
    if (head.size() < kVersionOffset + 4) damaged(QStringLiteral("the file ends inside its header"));
    const auto version = static_cast<unsigned char>(head[kVersionOffset]);
    qint64 pageSize = 0;
    if (version == MDB_VER_JET3) pageSize = 2048;
    else if (version == MDB_VER_JET4) pageSize = 4096;
    else fail(QStringLiteral("The database was saved in a format that cannot be read (Jet version %1).").arg(version));
    if (size < kMinimumPages * pageSize) damaged(QStringLiteral("the file is too short to hold its tables"));
    if (size % pageSize != 0) damaged(QStringLiteral("the file does not end at a page boundary (it is truncated)"));
}

// ---- libmdb ------------------------------------------------------------------------------------

// libmdb keeps a little global state (its options, read once); one database at a time keeps it
// out of any race when plans are read on more than one thread.
std::mutex& libmdbLock() {
    static std::mutex lock;
    return lock;
}

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

class Database {
public:
    // Without MDB_WRITABLE libmdb opens the file for reading only.
    explicit Database(const QByteArray& fileName) : mdb_(mdb_open(fileName.constData(), MDB_NOFLAGS)) {
        if (!mdb_) damaged(QStringLiteral("its header cannot be read"));
        mdb_set_date_fmt(mdb_.get(), "%Y-%m-%d %H:%M:%S");
        mdb_set_boolean_fmt_numbers(mdb_.get());
        // Every database lists at least its own system tables.
        const GPtrArray* catalog = mdb_read_catalog(mdb_.get(), MDB_TABLE);
        if (!catalog || catalog->len == 0) damaged(QStringLiteral("its list of tables cannot be read"));
    }

    MdbHandle* handle() const { return mdb_.get(); }

    bool hasTable(const char* name) const {
        const GPtrArray* catalog = mdb_->catalog;
        if (!catalog) return false;
        for (guint i = 0; i < catalog->len; ++i) {
            const auto* entry = static_cast<const MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (entry && entry->object_type == MDB_TABLE && g_ascii_strcasecmp(entry->object_name, name) == 0)
                return true;
        }
        return false;
    }

private:
    std::unique_ptr<MdbHandle, HandleCloser> mdb_;
};

// The rows of one table, the wanted columns bound as text. A wanted column the table lacks, and
// one wanted by the empty name, reads as NULL in every row.
class Rows {
public:
    Rows(const Database& db, const char* table, const std::vector<const char*>& columns)
        : name_(QString::fromLatin1(table)) {
        table_.reset(mdb_read_table_by_name(db.handle(), const_cast<gchar*>(table), MDB_TABLE));
        if (!table_) damaged(QStringLiteral("the table %1 cannot be read").arg(name_));
        if (!mdb_read_columns(table_.get()) || !table_->columns)
            damaged(QStringLiteral("the columns of the table %1 cannot be read").arg(name_));
        mdb_rewind_table(table_.get());
        const size_t bindSize = db.handle()->bind_size;
        values_.resize(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            Value& value = values_[c];
            if (columns[c][0] == '\0') continue;  // not wanted
            for (guint i = 0; i < table_->columns->len; ++i) {
                const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table_->columns, i));
                if (g_ascii_strcasecmp(column->name, columns[c]) != 0) continue;
                value.buffer = std::make_unique_for_overwrite<char[]>(bindSize + 1);
                value.buffer[0] = '\0';
                value.buffer[bindSize] = '\0';  // a text cut at the bind size still ends
                value.length = 0;
                if (mdb_bind_column(table_.get(), static_cast<int>(i) + 1, value.buffer.get(), &value.length) < 0)
                    damaged(QStringLiteral("the column %1 of the table %2 cannot be read")
                                .arg(QString::fromLatin1(columns[c]), name_));
                value.capacity = bindSize;
                break;
            }
        }
    }

    bool next() {
        for (Value& value : values_) value.length = 0;
        return mdb_fetch_row(table_.get()) != 0;
    }

    // The text of column `c` in the current row; empty for NULL (and for an empty text).
    std::string_view text(std::size_t c) const {
        const Value& value = values_[c];
        if (!value.buffer || value.length <= 0) return {};
        const auto length = std::min(static_cast<std::size_t>(value.length), value.capacity);
        return {value.buffer.get(), strnlen(value.buffer.get(), length)};
    }

    bool isNull(std::size_t c) const { return text(c).empty(); }

    const QString& name() const { return name_; }

private:
    struct Value {
        std::unique_ptr<char[]> buffer;
        std::size_t capacity = 0;
        int length = 0;
    };
    QString name_;
    std::unique_ptr<MdbTableDef, TableFreer> table_;
    std::vector<Value> values_;
};

// ---- values ------------------------------------------------------------------------------------

QString shown(std::string_view text) { return shownValue(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))); }

[[noreturn]] void badValue(const Rows& rows, const char* column, std::string_view text) {
    damaged(QStringLiteral("the value \"%1\" in the column %2 of the table %3 cannot be read")
                .arg(shown(text), QString::fromLatin1(column), rows.name()));
}

std::optional<qint64> integerValue(const Rows& rows, std::size_t c, const char* column) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    std::size_t i = 0;
    const bool negative = text[0] == '-';
    if (negative) ++i;
    if (i == text.size() || text.size() - i > 12) badValue(rows, column, text);
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') badValue(rows, column, text);
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::optional<double> numberValue(const Rows& rows, std::size_t c, const char* column) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    if (text.size() > 64) badValue(rows, column, text);
    QByteArray copy(text.data(), static_cast<qsizetype>(text.size()));
    copy.replace(',', '.');  // whatever the C library's decimal separator
    bool ok = false;
    const double value = copy.toDouble(&ok);
    if (!ok || !std::isfinite(value)) badValue(rows, column, text);
    return value;
}

std::optional<bool> flagValue(const Rows& rows, std::size_t c, const char* column) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    if (text == "1") return true;
    if (text == "0") return false;
    badValue(rows, column, text);
}

int digits(std::string_view text, std::size_t at, std::size_t count, bool& ok) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            ok = false;
            return 0;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// A date-time as libmdb formats it ("%Y-%m-%d %H:%M:%S"); invalid for NULL.
QDateTime dateValue(const Rows& rows, std::size_t c, const char* column) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return {};
    bool ok = text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' &&
              text[16] == ':';
    const int year = digits(text, 0, 4, ok), month = digits(text, 5, 2, ok), day = digits(text, 8, 2, ok);
    const int hour = digits(text, 11, 2, ok), minute = digits(text, 14, 2, ok), second = digits(text, 17, 2, ok);
    if (!ok || !QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        badValue(rows, column, text);
    return wallClock(QDate(year, month, day), QTime(hour, minute, second));
}

QString textValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// ---- the two schemas ---------------------------------------------------------------------------

// Column positions in the task query below.
enum TaskColumn : std::size_t {
    kProject, kUniqueId, kId, kName, kDuration, kStart, kFinish, kIsNull,
    kOutlineLevel, kOutlineNumber, kWbs, kPercentComplete, kMilestone, kSummary,
    kBaselineStart, kBaselineFinish, kBaselineDuration, kActualStart, kActualFinish, kWork, kNotes,
    kTaskColumns
};

struct Schema {
    const char* projects;
    const char* projectId;
    const char* projectTitle;
    const char* projectName;  // when no title is stored
    const char* tasks;
    const char* taskColumns[kTaskColumns];  // nullptr: the schema has no such column
    const char* assignments;
    const char* assignmentColumns[5];       // project, assignment UID, task UID, resource UID, units
    const char* resources;
    const char* resourceColumns[3];         // project, resource UID, name
};

// Project 2000-2003.
constexpr Schema kMpd9 = {
    "MSP_PROJECTS", "PROJ_ID", "PROJ_PROP_TITLE", "PROJ_NAME", "MSP_TASKS",
    {"PROJ_ID", "TASK_UID", "TASK_ID", "TASK_NAME", "TASK_DUR", "TASK_START_DATE", "TASK_FINISH_DATE", nullptr,
     "TASK_OUTLINE_LEVEL", "TASK_OUTLINE_NUM", "TASK_WBS", "TASK_PCT_COMP", "TASK_IS_MILESTONE", "TASK_IS_SUMMARY",
     "TASK_BASE_START", "TASK_BASE_FINISH", "TASK_BASE_DUR", "TASK_ACT_START", "TASK_ACT_FINISH", "TASK_WORK",
     nullptr},
    "MSP_ASSIGNMENTS", {"PROJ_ID", "ASSN_UID", "TASK_UID", "RES_UID", "ASSN_UNITS"},
    "MSP_RESOURCES", {"PROJ_ID", "RES_UID", "RES_NAME"},
};

// Project 98.
constexpr Schema kMpd8 = {
    "Project_Information", "ProjectID", "Title", "ProjectName", "Task_Information",
    {"ProjectID", "TaskUniqueID", "TaskID", "Name", "Duration", "StartDate", "FinishDate", "Reserved_IsNull",
     "OutlineLevel", "OutlineNumber", nullptr, "PercentComplete", "Milestone", "Summary",
     "BaselineStart", "BaselineFinish", "BaselineDuration", "ActualStart", "ActualFinish", "ScheduledWork",
     "Notes"},
    "Assignment_Information", {"ProjectID", "AssignmentUniqueID", "TaskUniqueID", "ResourceUniqueID", "Units"},
    "Resource_Information", {"ProjectID", "ResourceUniqueID", "Name"},
};

std::vector<const char*> wanted(const char* const* columns, std::size_t count) {
    std::vector<const char*> result;
    for (std::size_t i = 0; i < count; ++i) result.push_back(columns[i] ? columns[i] : "");
    return result;
}

// The project a database shows: project 1 when it holds one, else the lowest ID.
std::optional<qint64> chooseProject(const std::vector<qint64>& ids) {
    if (ids.empty()) return std::nullopt;
    if (std::find(ids.begin(), ids.end(), 1) != ids.end()) return 1;
    return *std::min_element(ids.begin(), ids.end());
}

struct TaskRow {
    qint64 owner = 0;
    qint64 id = 0;
    qint64 uniqueId = 0;
    bool blank = false;
    PlanTask task;
    std::shared_ptr<TaskDetails> details;
};

// "A,B[50%]": the resources of a task's assignments in the order of the assignments' unique IDs,
// with the units beside a name when they are not 100%.
std::map<qint64, QString> resourceNames(const Database& db, const Schema& schema, qint64 project) {
    std::map<qint64, QString> result;
    if (!db.hasTable(schema.assignments) || !db.hasTable(schema.resources)) return result;

    std::map<qint64, QString> names;
    {
        Rows rows(db, schema.resources, wanted(schema.resourceColumns, 3));
        while (rows.next()) {
            const auto owner = integerValue(rows, 0, schema.resourceColumns[0]);
            const auto uid = integerValue(rows, 1, schema.resourceColumns[1]);
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
        Rows rows(db, schema.assignments, wanted(schema.assignmentColumns, 5));
        while (rows.next()) {
            const auto owner = integerValue(rows, 0, schema.assignmentColumns[0]);
            const auto uid = integerValue(rows, 1, schema.assignmentColumns[1]);
            const auto task = integerValue(rows, 2, schema.assignmentColumns[2]);
            const auto resource = integerValue(rows, 3, schema.assignmentColumns[3]);
            if (owner != project || !uid || !task || !resource || *resource < 0) continue;
            if (names.find(*resource) == names.end()) continue;
            assignments.push_back({*uid, *task, *resource, numberValue(rows, 4, schema.assignmentColumns[4]).value_or(1)});
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

Plan readTasks(const Database& db, const Schema& schema, const ReadOptions& options) {
    const auto& columns = schema.taskColumns;
    std::vector<qint64> projectIds;
    std::map<qint64, QString> projectNames;
    if (db.hasTable(schema.projects)) {
        Rows rows(db, schema.projects, {schema.projectId, schema.projectTitle, schema.projectName});
        while (rows.next()) {
            const auto id = integerValue(rows, 0, schema.projectId);
            if (!id) continue;
            projectIds.push_back(*id);
            const QString title = textValue(rows, 1);
            projectNames.emplace(*id, title.isEmpty() ? textValue(rows, 2) : title);
        }
    }
    const std::optional<qint64> listed = chooseProject(projectIds);

    std::vector<TaskRow> found;
    std::vector<qint64> owners;
    // The further fields' columns are bound only when asked for: libmdb then leaves them alone.
    std::vector<const char*> bound = wanted(columns, kTaskColumns);
    if (!options.details) std::fill(bound.begin() + kOutlineLevel, bound.end(), "");
    Rows rows(db, schema.tasks, bound);
    while (rows.next()) {
        const auto owner = integerValue(rows, kProject, columns[kProject]);
        if (!owner || (listed && *owner != *listed)) continue;
        const auto uniqueId = integerValue(rows, kUniqueId, columns[kUniqueId]);
        const auto id = integerValue(rows, kId, columns[kId]);
        if (!uniqueId || *uniqueId < 0 || !id) continue;  // placeholder rows
        if (*uniqueId == 0 || *id == 0) continue;           // the project summary task
        if (*id < 0) damaged(QStringLiteral("a task has the negative ID %1").arg(*id));
        if (*id > kMaxTaskId) damaged(QStringLiteral("the task ID %1 is out of range").arg(*id));

        TaskRow row;
        row.owner = *owner;
        row.id = *id;
        row.uniqueId = *uniqueId;
        row.task.name = textValue(rows, kName);
        row.task.start = dateValue(rows, kStart, columns[kStart]);
        row.task.finish = dateValue(rows, kFinish, columns[kFinish]);
        if (columns[kIsNull] && !rows.isNull(kIsNull)) {
            row.blank = flagValue(rows, kIsNull, columns[kIsNull]).value_or(false);
        } else {
            row.blank = row.task.name.isEmpty() && !row.task.start.isValid() && !row.task.finish.isValid();
        }
        owners.push_back(*owner);
        if (row.blank) {
            found.push_back(std::move(row));
            continue;
        }
        const auto tenths = integerValue(rows, kDuration, columns[kDuration]);
        row.task.durationMinutes = static_cast<double>(tenths.value_or(0)) / 10;
        if (options.details) {
            auto d = std::make_shared<TaskDetails>();
            d->id = static_cast<double>(*id);
            d->uniqueId = static_cast<double>(*uniqueId);
            if (const auto level = integerValue(rows, kOutlineLevel, columns[kOutlineLevel]))
                d->outlineLevel = static_cast<double>(*level);
            d->outlineNumber = textValue(rows, kOutlineNumber);
            if (columns[kWbs]) d->wbs = textValue(rows, kWbs);
            if (const auto percent = integerValue(rows, kPercentComplete, columns[kPercentComplete]))
                d->percentComplete = static_cast<double>(*percent);
            d->milestone = flagValue(rows, kMilestone, columns[kMilestone]);
            d->summary = flagValue(rows, kSummary, columns[kSummary]);
            d->baselineStart = dateValue(rows, kBaselineStart, columns[kBaselineStart]);
            d->baselineFinish = dateValue(rows, kBaselineFinish, columns[kBaselineFinish]);
            if (const auto base = integerValue(rows, kBaselineDuration, columns[kBaselineDuration]))
                d->baselineDurationMinutes = static_cast<double>(*base) / 10;
            d->actualStart = dateValue(rows, kActualStart, columns[kActualStart]);
            d->actualFinish = dateValue(rows, kActualFinish, columns[kActualFinish]);
            if (const auto work = numberValue(rows, kWork, columns[kWork])) d->workMinutes = *work / 1000;
            if (columns[kNotes]) d->notes = textValue(rows, kNotes);
            row.details = std::move(d);
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
        if (seen[index]) damaged(QStringLiteral("the task ID %1 appears twice").arg(row.id));
        seen[index] = true;
        if (!row.blank) order.push_back(k);
    }
    std::sort(order.begin(), order.end(), [&found](std::size_t a, std::size_t b) { return found[a].id < found[b].id; });

    if (options.details) {
        const std::map<qint64, QString> resources = resourceNames(db, schema, *project);
        const QString projectName = projectNames.count(*project) ? projectNames[*project] : QString();
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

Plan readDatabase(const QByteArray& fileName, const ReadOptions& options) {
    const std::lock_guard<std::mutex> lock(libmdbLock());
    const Database db(fileName);
    if (db.hasTable(kMpd9.tasks)) return readTasks(db, kMpd9, options);
    if (db.hasTable(kMpd8.tasks)) return readTasks(db, kMpd8, options);
    fail(QStringLiteral("The file is a database but not a project plan."));
}

}  // namespace

Plan readMpd(const PlanFile& file, const ReadOptions& options) {
    checkHeader(file.bytes, file.size);
    // libmdb reads the pages it needs from the file itself.
    Plan plan = readDatabase(encodeFileName(file.path), options);
    finishPlan(plan);
    return plan;
}

bool isJetDatabase(const QByteArray& head) {
    return head.size() >= kSignatureSize + 1 &&
           std::memcmp(head.constData(), kJetSignature, static_cast<std::size_t>(kSignatureSize)) == 0 &&
           head[kSignatureSize] == '\0';
}

}  // namespace quorrix::importer::plans
