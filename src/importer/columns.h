#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "importer/automation/task_field.h"

namespace quorrix::importer {

// The columns a workbook can carry. Name, Duration, Start and Finish are the workbook's own four;
// the others come from the plan's file name or from further task fields.
enum class Column {
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
};

inline constexpr int kColumnCount = static_cast<int>(Column::ResourceNames) + 1;

// Every column, in the order the keys are listed.
const std::vector<Column>& allColumns();
// Name, Duration, Start and Finish: the columns of a workbook when nothing else is chosen.
const std::vector<Column>& defaultColumns();
// The columns beyond the default four, in list order.
const std::vector<Column>& extraColumns();

QString columnKey(Column column);     // "name", "unique-id", ...
QString columnHeader(Column column);  // the header cell: "Task Name", "Unique ID", ...
bool isDefaultColumn(Column column);  // one of the default four
// The task field a column shows; nothing for the default four and for Plan.
std::optional<TaskField> columnField(Column column);
// Whether a plan reader has to read the further task fields for these columns.
bool needsTaskFields(const std::vector<Column>& columns);

// Every valid key, comma-separated, in list order.
QString columnKeyList();
// The keys of the columns, comma-separated.
QString columnListText(const std::vector<Column>& columns);

// A comma-separated list of keys read as columns, in the order given. Blanks around a key and
// its letter case do not matter. An unknown key, an empty item, a key listed twice or an empty
// list gives no columns and a one-line reason.
struct ColumnChoice {
    std::optional<std::vector<Column>> columns;
    QString error;
};
ColumnChoice parseColumnList(const QString& text);

}  // namespace quorrix::importer
