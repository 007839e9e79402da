#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

#include "importer/columns.h"
#include "importer/plans/common/plan.h"

namespace quorrix::importer {

// How the sheets that receive tasks are set up beyond their cells. Every option is off unless
// chosen, and a workbook with none is the plain one.
struct SheetOptions {
    bool freezeHeader = false;   // the header row stays in view while the rows scroll
    bool filterButtons = false;  // an autofilter over the header and every written row and column
    bool groupOutline = false;   // each task row carries its outline level, summary rows above details
    bool indentNames = false;    // the name cell indented one step per outline level below the first
    friend bool operator==(const SheetOptions&, const SheetOptions&) = default;
};

// Which tasks become rows; a task must pass every test chosen. A task that does not pass uses no
// row number, like a blank task position. Nothing chosen passes every task.
struct RowSelection {
    bool milestonesOnly = false;
    bool unfinishedOnly = false;  // % complete below 100
    int maxOutlineLevel = 0;      // 1 to kMaxOutlineLevelChoice; 0 for every level
    // Both valid: only tasks whose span from start to finish touches one of the days from
    // activeFrom to activeTo.
    QDate activeFrom;
    QDate activeTo;
    friend bool operator==(const RowSelection&, const RowSelection&) = default;

    bool hasWindow() const { return activeFrom.isValid() && activeTo.isValid(); }
};

inline constexpr int kMaxOutlineLevelChoice = 9;

// The further task fields the plan readers read for a run: every one, or some of the few that
// sheet options and row selections look at; the schedule fields and custom fields only for a
// column that shows one (every custom field for a column chosen by a field's name).
struct TaskFieldNeed {
    bool every = false;
    bool outlineLevel = false;
    bool milestone = false;
    bool percentComplete = false;
    bool schedule = false;
    plans::CustomSlots custom{};
    friend bool operator==(const TaskFieldNeed&, const TaskFieldNeed&) = default;

    bool any() const { return every || outlineLevel || milestone || percentComplete || schedule || custom.any(); }
    TaskFieldNeed operator|(const TaskFieldNeed& other) const;
};
TaskFieldNeed taskFieldNeed(const std::vector<Column>& columns);
TaskFieldNeed taskFieldNeed(const SheetOptions& options);
TaskFieldNeed taskFieldNeed(const RowSelection& selection);
// The options a plan reader is given for that need.
plans::ReadOptions readOptionsFor(const TaskFieldNeed& need);

// The options as comma-separated keys ("freeze-header,filter-buttons,group-outline,indent-names"),
// in that order; empty for none.
QString sheetOptionsText(const SheetOptions& options);
// Keys in any order and letter case, blanks around them ignored; nothing for an unknown key, an
// empty item or a key given twice. An empty text is no option.
std::optional<SheetOptions> parseSheetOptions(const QString& text);

}  // namespace quorrix::importer
