#include "importer/columns.h"

#include <array>

namespace quorrix::importer {
namespace {

using plans::customFieldKey;
using plans::customFieldName;
using plans::kCustomFieldCount;

struct ColumnFacts {
    Column::Kind kind;
    const char* key;
    const char* header;
};

constexpr int kFixedCount = static_cast<int>(Column::Custom);
const QString kAliasPrefix = QStringLiteral("alias:");

// In the order of the Column kinds.
constexpr std::array<ColumnFacts, kFixedCount> kFacts{{
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
    {Column::Predecessors, "predecessors", "Predecessors"},
    {Column::Successors, "successors", "Successors"},
    {Column::TotalSlack, "total-slack", "Total Slack"},
    {Column::FreeSlack, "free-slack", "Free Slack"},
    {Column::Critical, "critical", "Critical"},
    {Column::ConstraintType, "constraint-type", "Constraint Type"},
    {Column::ConstraintDate, "constraint-date", "Constraint Date"},
    {Column::Deadline, "deadline", "Deadline"},
    {Column::Priority, "priority", "Priority"},
    {Column::EarlyStart, "early-start", "Early Start"},
    {Column::EarlyFinish, "early-finish", "Early Finish"},
    {Column::LateStart, "late-start", "Late Start"},
    {Column::LateFinish, "late-finish", "Late Finish"},
    {Column::TaskType, "task-type", "Task Type"},
    {Column::TaskMode, "task-mode", "Task Mode"},
    {Column::Active, "active", "Active"},
    {Column::Estimated, "estimated", "Estimated"},
    {Column::DurationShown, "duration-shown", "Duration (Shown)"},
    {Column::DurationDays, "duration-days", "Duration (Days)"},
    {Column::BaselineDurationShown, "baseline-duration-shown", "Baseline Duration (Shown)"},
    {Column::BaselineDurationDays, "baseline-duration-days", "Baseline Duration (Days)"},
}};

constexpr bool factsInOrder() {
    for (int i = 0; i < kFixedCount; ++i)
        if (static_cast<int>(kFacts[static_cast<std::size_t>(i)].kind) != i) return false;
    return true;
}
static_assert(factsInOrder(), "kFacts must list the columns in kind order");

// The task fields follow the same order as the columns from Project on.
constexpr int kFirstFieldColumn = static_cast<int>(Column::Project);
static_assert(kFixedCount - kFirstFieldColumn == kTaskFieldCount);
static_assert(static_cast<int>(Column::ResourceNames) - kFirstFieldColumn ==
              static_cast<int>(TaskField::ResourceNames));
static_assert(static_cast<int>(Column::ActivityId) - kFirstFieldColumn == static_cast<int>(TaskField::ActivityId));
static_assert(static_cast<int>(Column::Predecessors) - kFirstFieldColumn ==
              static_cast<int>(TaskField::Predecessors));
static_assert(static_cast<int>(Column::BaselineDurationDays) - kFirstFieldColumn ==
              static_cast<int>(TaskField::BaselineDurationDays));

const ColumnFacts& facts(Column column) { return kFacts[static_cast<std::size_t>(column.kind())]; }

std::vector<Column> columnsFrom(int first) {
    std::vector<Column> out;
    for (int i = first; i < kFixedCount; ++i) out.push_back(static_cast<Column::Kind>(i));
    for (int slot = 0; slot < kCustomFieldCount; ++slot) out.push_back(Column::custom(slot));
    return out;
}

}  // namespace

Column Column::custom(int slot) {
    Column c(Custom);
    c.slot_ = slot;
    return c;
}

Column Column::alias(const QString& name) {
    Column c(Alias);
    c.alias_ = name;
    return c;
}

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

QString columnKey(Column column) {
    if (column.kind() == Column::Custom) return customFieldKey(column.customSlot());
    if (column.kind() == Column::Alias) return kAliasPrefix + column.aliasName();
    return QString::fromLatin1(facts(column).key);
}

QString columnHeader(Column column) {
    if (column.kind() == Column::Custom) return customFieldName(column.customSlot());
    if (column.kind() == Column::Alias) return column.aliasName();
    return QString::fromLatin1(facts(column).header);
}

bool isDefaultColumn(Column column) { return column.kind() < Column::Plan; }

std::optional<TaskField> columnField(Column column) {
    const int i = static_cast<int>(column.kind());
    if (i < kFirstFieldColumn || column.isCustom()) return std::nullopt;
    return static_cast<TaskField>(i - kFirstFieldColumn);
}

bool isScheduleColumn(Column column) {
    return column.kind() >= Column::Predecessors && column.kind() <= Column::BaselineDurationDays;
}

bool needsTaskFields(const std::vector<Column>& columns) {
    for (const Column& c : columns)
        if (columnField(c) || c.isCustom()) return true;
    return false;
}

QString columnKeyList() {
    QStringList keys;
    for (int i = 0; i < kFixedCount; ++i) keys << QString::fromLatin1(kFacts[static_cast<std::size_t>(i)].key);
    for (int k = 0; k < plans::kCustomKindCount; ++k) {
        const int first = plans::customSlot(static_cast<plans::CustomKind>(k), 1);
        const int last = first + plans::customFieldsOf(static_cast<plans::CustomKind>(k)) - 1;
        keys << customFieldKey(first) + QStringLiteral("..") + customFieldKey(last);
    }
    keys << kAliasPrefix + QStringLiteral("NAME");
    return keys.join(QLatin1Char(','));
}

QString columnListText(const std::vector<Column>& columns) {
    QStringList keys;
    for (const Column& c : columns) keys << columnKey(c);
    return keys.join(QLatin1Char(','));
}

ColumnChoice parseColumnList(const QString& text) {
    ColumnChoice choice;
    const auto fail = [&](const QString& why) {
        choice.error = why;
        return choice;
    };
    if (text.trimmed().isEmpty()) return fail(QStringLiteral("No column given. Valid columns: ") + columnKeyList());
    const auto customSlotOf = [](const QString& key) -> std::optional<int> {
        for (int slot = 0; slot < kCustomFieldCount; ++slot)
            if (key == customFieldKey(slot)) return slot;
        return std::nullopt;
    };
    std::vector<Column> columns;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString trimmedItem = item.trimmed();
        const QString key = trimmedItem.toLower();
        if (key.isEmpty()) return fail(QStringLiteral("An empty item in the column list: ") + text);
        std::vector<Column> found;
        if (key.startsWith(kAliasPrefix)) {
            const QString name = trimmedItem.mid(kAliasPrefix.size()).trimmed();
            if (name.isEmpty()) return fail(QStringLiteral("A custom field's name is missing after \"alias:\"."));
            found.push_back(Column::alias(name));
        } else if (const qsizetype dots = key.indexOf(QLatin1String("..")); dots >= 0) {
            // A range of custom fields of one kind, as the list of keys shows them: "text1..text30".
            const auto first = customSlotOf(key.left(dots).trimmed());
            const auto last = customSlotOf(key.mid(dots + 2).trimmed());
            if (!first || !last || plans::customKindOf(*first) != plans::customKindOf(*last) || *first > *last)
                return fail(QStringLiteral("Not a range of custom fields of one kind, such as text1..text5: ") +
                            trimmedItem);
            for (int slot = *first; slot <= *last; ++slot) found.push_back(Column::custom(slot));
        } else {
            for (const ColumnFacts& f : kFacts)
                if (key == QLatin1String(f.key)) found.push_back(f.kind);
            if (const auto slot = found.empty() ? customSlotOf(key) : std::nullopt) found.push_back(Column::custom(*slot));
        }
        if (found.empty())
            return fail(QStringLiteral("Unknown column: ") + trimmedItem + QStringLiteral(". Valid columns: ") +
                        columnKeyList());
        for (const Column& column : found) {
            if (std::find(columns.begin(), columns.end(), column) != columns.end())
                return fail(QStringLiteral("A column listed twice: ") + columnKey(column));
            columns.push_back(column);
        }
    }
    choice.columns = std::move(columns);
    return choice;
}

}  // namespace quorrix::importer
