#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "importer/automation/task_field.h"
#include "importer/plans/common/plan.h"

namespace quorrix::importer {

// A column a workbook can carry. Name, Duration, Start and Finish are the workbook's own four;
// the others come from the plan's file name, from further task fields, or from one of the plan's
// custom fields: by the field itself (Text1, Cost3, ...) or by the name the plan gives a field.
class Column {
public:
    enum Kind : unsigned char {
        Name,
        Duration,
        Start,
        Finish,
        Plan,
        Project,
        Id,
        ActivityId,
        UniqueId,
        OutlineLevel,
        OutlineNumber,
        Wbs,
        PercentComplete,
        Milestone,
        Summary,
        BaselineStart,
        BaselineFinish,
        BaselineDuration,
        ActualStart,
        ActualFinish,
        Cost,
        Work,
        Notes,
        ResourceNames,
        Predecessors,
        Successors,
        TotalSlack,
        FreeSlack,
        Critical,
        ConstraintType,
        ConstraintDate,
        Deadline,
        Priority,
        EarlyStart,
        EarlyFinish,
        LateStart,
        LateFinish,
        TaskType,
        TaskMode,
        Active,
        Estimated,
        DurationShown,
        DurationDays,
        BaselineDurationShown,
        BaselineDurationDays,
        Custom,  // one custom field: customSlot()
        Alias,   // the custom field the plan names aliasName()
    };

    constexpr Column(Kind kind = Name) : kind_(kind) {}  // NOLINT: the kinds stand for their columns
    static Column custom(int slot);
    static Column alias(const QString& name);

    Kind kind() const { return kind_; }
    int customSlot() const { return slot_; }
    const QString& aliasName() const { return alias_; }
    bool isCustom() const { return kind_ == Custom || kind_ == Alias; }

    // Alias names compare without regard to letter case, as the project application's field names do.
    friend bool operator==(const Column& a, const Column& b) {
        return a.kind_ == b.kind_ && a.slot_ == b.slot_ && a.alias_.compare(b.alias_, Qt::CaseInsensitive) == 0;
    }

private:
    Kind kind_;
    int slot_ = -1;
    QString alias_;
};

// Every column with a key of its own (all but the alias columns), in the order the keys are listed.
const std::vector<Column>& allColumns();
// Name, Duration, Start and Finish: the columns of a workbook when nothing else is chosen.
const std::vector<Column>& defaultColumns();
// The columns beyond the default four, in list order (custom fields last).
const std::vector<Column>& extraColumns();

QString columnKey(Column column);     // "name", "unique-id", "text1", "alias:Region", ...
// The header cell: "Task Name", "Unique ID", ...; a custom field's own name ("Text1"), an alias
// column's alias. The run puts a plan's alias for a custom field in its place (columnHeaderFor).
QString columnHeader(Column column);
bool isDefaultColumn(Column column);  // one of the default four
// The task field a column shows; nothing for the default four, Plan and the custom fields.
std::optional<TaskField> columnField(Column column);
// Whether a plan reader has to read the further task fields for these columns.
bool needsTaskFields(const std::vector<Column>& columns);
// Whether a column shows one of the schedule fields (links, slack, ..., the durations as shown).
bool isScheduleColumn(Column column);

// Every valid key, comma-separated, in list order; each kind of custom field as a range
// ("text1..text30") and the alias form as "alias:NAME".
QString columnKeyList();
// The keys of the columns, comma-separated.
QString columnListText(const std::vector<Column>& columns);

// A comma-separated list of keys read as columns, in the order given. Blanks around a key and
// its letter case do not matter ("alias:" keeps the name as given). A range of custom fields of
// one kind ("text3..text7") stands for each of them in order. An unknown key, an empty item, a key
// listed twice or an empty list gives no columns and a one-line reason.
struct ColumnChoice {
    std::optional<std::vector<Column>> columns;
    QString error;
};
ColumnChoice parseColumnList(const QString& text);

}  // namespace quorrix::importer
