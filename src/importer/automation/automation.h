#pragma once

#include <QString>
#include <memory>

#include "importer/automation/task_field.h"
#include "importer/automation/value.h"

// The two automation interfaces through which all spreadsheet and plan work passes. Every
// operation may throw quorrix::Failure (number and one-line description); nothing else escapes.
namespace quorrix::importer {

// ---- Spreadsheet ---------------------------------------------------------------------------

// The deepest outline level of a sheet's rows, counting the ungrouped level as 1, and the widest
// indent of a cell, in steps.
inline constexpr int kMaxRowOutlineLevel = 8;
inline constexpr int kMaxIndentLevel = 15;

// A workbook of the spreadsheet application. "Active sheet" operations act on the sheet that
// receives writes: the first sheet of a new workbook, or the sheet last added.
class Workbook {
public:
    virtual ~Workbook() = default;

    // ActiveSheet.Cells(row, column) = value; row and column are 1-based.
    virtual void setActiveSheetCell(long row, int column, const Value& value) = 0;
    // ActiveSheet.Columns.AutoFit
    virtual void autoFitActiveSheetColumns() = 0;
    // Sheets(k).Columns.AutoFit; "Subscript out of range" when there is no k-th sheet.
    virtual void autoFitSheetColumns(int k) = 0;
    // ActiveSheet.Range(reference).Select
    virtual void selectActiveSheetRange(const QString& reference) = 0;

    // ActiveWindow.SplitRow = rows, SplitColumn = columns, FreezePanes = True, for the active
    // sheet: its first `rows` rows and `columns` columns stay in view; 0 and 0 unfreeze.
    virtual void freezeActiveSheetPanes(long rows, int columns) = 0;
    // ActiveSheet.Range(reference).AutoFilter: filter buttons on the first row of the range, over
    // its rows and columns.
    virtual void autoFilterActiveSheetRange(const QString& reference) = 0;
    // ActiveSheet.Outline.SummaryRow: xlAbove (true) or xlBelow (false, a new sheet's setting).
    virtual void setActiveSheetSummaryRowAbove(bool above) = 0;
    // ActiveSheet.Rows(row).OutlineLevel = level, from 1 (not grouped) to kMaxRowOutlineLevel.
    virtual void setActiveSheetRowOutlineLevel(long row, int level) = 0;
    // ActiveSheet.Cells(row, column).IndentLevel = level, from 0 to kMaxIndentLevel.
    virtual void setActiveSheetCellIndent(long row, int column, int level) = 0;

    // Sheets.count
    virtual int sheetsCount() = 0;
    // Sheets(k).name = name; "Subscript out of range" when there is no k-th sheet.
    virtual void setSheetName(int k, const QString& name) = 0;
    // Sheets.Add after:=Sheets(Sheets.count); the new sheet becomes the active sheet.
    virtual void addSheetAfterLast() = 0;
    // Sheets(name).Delete
    virtual void deleteSheet(const QString& name) = 0;
    // Sheets(k).Select
    virtual void selectSheet(int k) = 0;
};

// One instance of the spreadsheet application.
class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;

    // The application's default property: "Microsoft Excel" from a real spreadsheet application.
    virtual QString defaultProperty() = 0;
    // Workbooks.Add
    virtual void workbooksAdd() = 0;
    // Workbooks.count
    virtual int workbooksCount() = 0;
    // Workbooks(n); the handle stays owned by the application.
    virtual Workbook& workbook(int n) = 0;
    // DisplayAlerts = on
    virtual void setDisplayAlerts(bool on) = 0;
    // Visible = on: the application and its workbooks are shown and stay open after release.
    virtual void setVisible(bool on) = 0;
};

class SpreadsheetAutomation {
public:
    virtual ~SpreadsheetAutomation() = default;

    // create "Excel.Application": a new, invisible instance; nullptr stands for an empty object.
    virtual std::unique_ptr<SpreadsheetApplication> create() = 0;
    // GetObject(, "Excel.Application"): throws when no instance is running.
    virtual std::unique_ptr<SpreadsheetApplication> attachRunning() = 0;
};

// ---- Project -------------------------------------------------------------------------------

// One task of the active plan.
class ProjectTask {
public:
    virtual ~ProjectTask() = default;
    virtual Value name() = 0;
    virtual Value duration() = 0;  // minutes
    virtual Value start() = 0;
    virtual Value finish() = 0;
    // Any further field (Task.GetField): IDs, levels, percentages, cost and minutes as numbers;
    // texts as text; flags as "Yes" or "No"; dates as date-times, or "NA" when the plan has none;
    // nothing when the plan does not hold the field.
    virtual Value field(TaskField which) = 0;
    // A custom field by the project application's field ID (Text1 = 188743731, ...): texts and
    // outline codes as text, numbers, costs and duration minutes as numbers, flags as "Yes" or
    // "No", dates as date-times or "NA"; nothing when the plan cannot hold the field.
    virtual Value customField(long fieldId) {
        (void)fieldId;
        return {};
    }
};

// ActiveProject.
class ActiveProject {
public:
    virtual ~ActiveProject() = default;
    // Tasks.count: the number of task positions.
    virtual long tasksCount() = 0;
    // Tasks.Item(t), 1-based; nullptr for a blank row.
    virtual std::unique_ptr<ProjectTask> taskItem(long t) = 0;
    // CustomFieldGetName: the name the plan gives a custom task field, empty when it gives none.
    virtual QString customFieldName(long fieldId) {
        (void)fieldId;
        return {};
    }
    // FieldNameToFieldConstant for a custom task field's name: its field ID, 0 when no custom
    // field of the plan has that name.
    virtual long customFieldOfName(const QString& name) {
        (void)name;
        return 0;
    }
};

// One instance of the project application.
class ProjectApplication {
public:
    virtual ~ProjectApplication() = default;
    // FileOpen path, ReadOnly:=readOnly
    virtual void fileOpen(const QString& path, bool readOnly) = 0;
    // Visible = on
    virtual void setVisible(bool on) = 0;
    // Projects.count
    virtual int projectsCount() = 0;
    // ActiveProject; nullptr stands for nothing.
    virtual std::unique_ptr<ActiveProject> activeProject() = 0;
    // FileClose save (0: no save)
    virtual void fileClose(int save) = 0;
    // quit
    virtual void quit() = 0;
};

class ProjectAutomation {
public:
    virtual ~ProjectAutomation() = default;
    // create "Msproject.Application" (the run) or "MSProject.Application" (the start-up check);
    // nullptr stands for an empty object.
    virtual std::unique_ptr<ProjectApplication> create(const QString& progId) = 0;
};

}  // namespace quorrix::importer
