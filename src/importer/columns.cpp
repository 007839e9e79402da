#include "importer/columns.h"

#include <array>

namespace quorrix::importer {
namespace {

struct ColumnFacts {
    Column column;
    const char* key;
    const char* header;
};

// In the order of the Column enumeration.
constexpr std::array<ColumnFacts, kColumnCount> kFacts{{
    {Column::Name, "name", "Task Name"},
    {Column::Duration, "duration", "Duration"},
    {Column::Start, "start", "Start Date"},
    {Column::Finish, "finish", "Finish Date"},
    {Column::Plan, "plan", "Plan"},
    {Column::Project, "project", "Project"},
    {Column::Id, "id", "ID"},
    {Column::ActivityId, "activity-id", "Activity ID"},
    {Column::UniqueId, "unique-id", "Unique ID"},
    {Column::OutlineLevel, "outline-level", "Outline Level"},
    {Column::OutlineNumber, "outline-number", "Outline Number"},
    {Column::Wbs, "wbs", "WBS"},
    {Column::PercentComplete, "percent-complete", "% Complete"},
    {Column::Milestone, "milestone", "Milestone"},
    {Column::Summary, "summary", "Summary"},
    {Column::BaselineStart, "baseline-start", "Baseline Start"},
    {Column::BaselineFinish, "baseline-finish", "Baseline Finish"},
    {Column::BaselineDuration, "baseline-duration", "Baseline Duration"},
    {Column::ActualStart, "actual-start", "Actual Start"},
    {Column::ActualFinish, "actual-finish", "Actual Finish"},
    {Column::Cost, "cost", "Cost"},
    {Column::Work, "work", "Work"},
    {Column::Notes, "notes", "Notes"},
    {Column::ResourceNames, "resources", "Resource Names"},
}};

constexpr bool factsInOrder() {
    for (int i = 0; i < kColumnCount; ++i)
        if (static_cast<int>(kFacts[static_cast<std::size_t>(i)].column) != i) return false;
    return true;
}
static_assert(factsInOrder(), "kFacts must list the columns in enumeration order");

// The task fields follow the same order as the columns from Project on.
constexpr int kFirstFieldColumn = static_cast<int>(Column::Project);
static_assert(kColumnCount - kFirstFieldColumn == kTaskFieldCount);
static_assert(static_cast<int>(Column::ResourceNames) - kFirstFieldColumn ==
              static_cast<int>(TaskField::ResourceNames));
static_assert(static_cast<int>(Column::Notes) - kFirstFieldColumn == static_cast<int>(TaskField::Notes));
static_assert(static_cast<int>(Column::BaselineStart) - kFirstFieldColumn ==
              static_cast<int>(TaskField::BaselineStart));
static_assert(static_cast<int>(Column::ActivityId) - kFirstFieldColumn == static_cast<int>(TaskField::ActivityId));

const ColumnFacts& facts(Column column) { return kFacts[static_cast<std::size_t>(column)]; }

std::vector<Column> columnsFrom(int first) {
    std::vector<Column> out;
    for (int i = first; i < kColumnCount; ++i) out.push_back(static_cast<Column>(i));
    return out;
}

}  // namespace

const std::vector<Column>& allColumns() {
    static const std::vector<Column> all = columnsFrom(0);
    return all;
}

const std::vector<Column>& defaultColumns() {
    static const std::vector<Column> four{Column::Name, Column::Duration, Column::Start, Column::Finish};
    return four;
}

const std::vector<Column>& extraColumns() {
    static const std::vector<Column> extras = columnsFrom(static_cast<int>(Column::Plan));
    return extras;
}

QString columnKey(Column column) { return QString::fromLatin1(facts(column).key); }

QString columnHeader(Column column) { return QString::fromLatin1(facts(column).header); }

bool isDefaultColumn(Column column) { return static_cast<int>(column) < static_cast<int>(Column::Plan); }

std::optional<TaskField> columnField(Column column) {
    const int i = static_cast<int>(column);
    if (i < kFirstFieldColumn) return std::nullopt;
    return static_cast<TaskField>(i - kFirstFieldColumn);
}

bool needsTaskFields(const std::vector<Column>& columns) {
    for (Column c : columns)
        if (columnField(c)) return true;
    return false;
}

QString columnKeyList() { return columnListText(allColumns()); }

QString columnListText(const std::vector<Column>& columns) {
    QStringList keys;
    for (Column c : columns) keys << columnKey(c);
    return keys.join(QLatin1Char(','));
}

ColumnChoice parseColumnList(const QString& text) {
    ColumnChoice choice;
    const auto fail = [&](const QString& why) {
        choice.error = why;
        return choice;
    };
    if (text.trimmed().isEmpty()) return fail(QStringLiteral("No column given. Valid columns: ") + columnKeyList());
    std::vector<Column> columns;
    std::array<bool, kColumnCount> seen{};
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString key = item.trimmed().toLower();
        if (key.isEmpty()) return fail(QStringLiteral("An empty item in the column list: ") + text);
        std::optional<Column> found;
        for (const ColumnFacts& f : kFacts)
            if (key == QLatin1String(f.key)) found = f.column;
        if (!found)
            return fail(QStringLiteral("Unknown column: ") + item.trimmed() + QStringLiteral(". Valid columns: ") +
                        columnKeyList());
        bool& listed = seen[static_cast<std::size_t>(*found)];
        if (listed) return fail(QStringLiteral("A column listed twice: ") + columnKey(*found));
        listed = true;
        columns.push_back(*found);
    }
    choice.columns = std::move(columns);
    return choice;
}

}  // namespace quorrix::importer
