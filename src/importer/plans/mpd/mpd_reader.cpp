#include "importer/plans/mpd/mpd_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "importer/plans/common/finish_plan.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/common/resource_names.h"
#include "importer/plans/mpd/mpd_protocol.h"
#include "importer/plans/mpd/mpd_service.h"
#include "platform/failure.h"
#include "platform/file_names.h"
#include "platform/wall_clock.h"

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
          name_(QString::fromLatin1(answer.schema->tables[static_cast<std::size_t>(kind)])) {}

    bool next() { return ++row_ < table_.rows(); }

    // The text of column `c` in the current row; empty for NULL (and for an empty text).
    std::string_view text(std::size_t c) const { return table_.at(row_, c); }
    bool isNull(std::size_t c) const { return text(c).empty(); }
    // The column's name in the database; nullptr when its schema has none.
    const char* column(std::size_t c) const { return columns_[c]; }
    const QString& name() const { return name_; }

private:
    const mpd::Answer::Table& table_;
    const std::array<const char*, mpd::kMaxColumns>& columns_;
    QString name_;
    std::size_t row_ = std::size_t(-1);
};

// ---- values ------------------------------------------------------------------------------------

QString shown(std::string_view text) { return shownValue(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))); }

[[noreturn]] void badValue(const Rows& rows, std::size_t c, std::string_view text) {
    databaseDamaged(QStringLiteral("the value \"%1\" in the column %2 of the table %3 cannot be read")
                                         .arg(shown(text), QString::fromLatin1(rows.column(c)), rows.name()));
}

std::optional<qint64> integerValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    std::size_t i = 0;
    const bool negative = text[0] == '-';
    if (negative) ++i;
    if (i == text.size() || text.size() - i > 12) badValue(rows, c, text);
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') badValue(rows, c, text);
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::optional<double> numberValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return std::nullopt;
    if (text.size() > 64) badValue(rows, c, text);
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

// A date-time as the reader formats it ("%Y-%m-%d %H:%M:%S"); invalid for NULL.
QDateTime dateValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    if (text.empty()) return {};
    bool ok = text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' &&
              text[16] == ':';
    const int year = digits(text, 0, 4, ok), month = digits(text, 5, 2, ok), day = digits(text, 8, 2, ok);
    const int hour = digits(text, 11, 2, ok), minute = digits(text, 14, 2, ok), second = digits(text, 17, 2, ok);
    if (!ok || !QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second)) badValue(rows, c, text);
    return wallClock(QDate(year, month, day), QTime(hour, minute, second));
}

QString textValue(const Rows& rows, std::size_t c) {
    const std::string_view text = rows.text(c);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// ---- the plan ----------------------------------------------------------------------------------

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

Plan readTasks(const mpd::Answer& answer, const ReadOptions& options) {
    using namespace mpd;  // the task columns
    std::vector<qint64> projectIds;
    std::map<qint64, QString> projectNames;
    {
        Rows rows(answer, Kind::Projects);
        while (rows.next()) {
            const auto id = integerValue(rows, 0);
            if (!id) continue;
            projectIds.push_back(*id);
            const QString title = textValue(rows, 1);
            projectNames.emplace(*id, title.isEmpty() ? textValue(rows, 2) : title);
        }
    }
    const std::optional<qint64> listed = chooseProject(projectIds);

    std::vector<TaskRow> found;
    std::vector<qint64> owners;
    Rows rows(answer, Kind::Tasks);
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
            auto d = std::make_shared<TaskDetails>();
            d->id = static_cast<double>(*id);
            d->uniqueId = static_cast<double>(*uniqueId);
            if (const auto level = integerValue(rows, kOutlineLevel)) d->outlineLevel = static_cast<double>(*level);
            d->outlineNumber = textValue(rows, kOutlineNumber);
            d->wbs = textValue(rows, kWbs);
            if (const auto percent = integerValue(rows, kPercentComplete))
                d->percentComplete = static_cast<double>(*percent);
            d->milestone = flagValue(rows, kMilestone);
            d->summary = flagValue(rows, kSummary);
            d->baselineStart = dateValue(rows, kBaselineStart);
            d->baselineFinish = dateValue(rows, kBaselineFinish);
            if (const auto base = integerValue(rows, kBaselineDuration))
                d->baselineDurationMinutes = static_cast<double>(*base) / 10;
            d->actualStart = dateValue(rows, kActualStart);
            d->actualFinish = dateValue(rows, kActualFinish);
            if (const auto work = numberValue(rows, kWork)) d->workMinutes = *work / 1000;
            d->notes = textValue(rows, kNotes);
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
        if (seen[index]) databaseDamaged(QStringLiteral("the task ID %1 appears twice").arg(row.id));
        seen[index] = true;
        if (!row.blank) order.push_back(k);
    }
    std::sort(order.begin(), order.end(), [&found](std::size_t a, std::size_t b) { return found[a].id < found[b].id; });

    if (options.details) {
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

}  // namespace

Plan planFromMpdAnswer(std::string_view answer, const ReadOptions& options) {
    mpd::Answer parsed;
    try {
        parsed = mpd::parseAnswer(answer, options.details);
    } catch (const mpd::BadAnswer& bad) {
        databaseDamaged(QStringLiteral("its reader's answer is not valid (%1)").arg(QString::fromLatin1(bad.what())));
    }
    if (parsed.failure) readerFailed(parsed);
    Plan plan = readTasks(parsed, options);
    finishPlan(plan);
    return plan;
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
        const MpdReading reading = askMpdReader(fd, st.st_size, options.details, setup);
        try {
            return planFromMpdAnswer(reading.answer, options);
        } catch (const Failure&) {
            retireMpdReader();
            if (reading.fresh) throw;
        }
    }
}

bool isJetDatabase(const QByteArray& head) {
    return head.size() >= kSignatureSize + 1 &&
           std::memcmp(head.constData(), kJetSignature, static_cast<std::size_t>(kSignatureSize)) == 0 &&
           head[kSignatureSize] == '\0';
}

}  // namespace quorrix::importer::plans
