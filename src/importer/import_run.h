#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "importer/automation/automation.h"
#include "importer/columns.h"
#include "importer/sheet_options.h"
#include "platform/dialogs.h"

namespace quorrix::importer {

// What the import run needs of the window that starts it (or of the command line).
class ImportHost {
public:
    virtual ~ImportHost() = default;
    virtual int entryCount() = 0;                // the number of list entries now
    virtual QString entryText(int position) = 0; // 1-based
    virtual bool oneSheetLayout() = 0;           // every plan on one new sheet, else a sheet per plan
    virtual void setProgressValue(double percent) = 0;
    virtual void setProgressText(const QString& text) = 0;
    // The run is at the plan of list position `position`, of `count` entries there are now; `count`
    // is 0 when the list could not be counted. Position 0 (and an empty name): the run is past its
    // last plan.
    virtual void progress(int position, int count, const QString& fileName) = 0;
    virtual void setBusy(bool busy) = 0;         // the busy state (the hourglass) on or off
    virtual void yield() = 0;                    // lets the host process its pending events
    // The run starts (true) and ends (false): a second start must be impossible meanwhile.
    virtual void setRunning(bool running) = 0;
    // The workbook's columns in order, read once as the run starts; the default four unless a
    // host offers a choice.
    virtual std::vector<Column> columns() { return defaultColumns(); }
    // How the sheets are set up and which tasks become rows, read once as the run starts; the
    // plain sheet and every task unless a host offers a choice.
    virtual SheetOptions sheetOptions() { return {}; }
    virtual RowSelection rowSelection() { return {}; }
};

// A project backend that reads plan files itself, told by the run which fields it reads of them.
class PlanReading {
public:
    virtual ~PlanReading() = default;
    // The run starts: the plans it opens until it ends are read with these options.
    virtual void readWith(const plans::ReadOptions& options) = 0;
};

struct ImportOutcome {
    bool ran = false;         // false: declined at the question, no files, or more plans than one workbook takes
    QStringList failedFiles;  // in list order
    QString closingMessage;   // "Done." and the failure report
    int reports = 0;          // "Application Error" reports shown
};

// The import run: every listed plan into one new workbook, in the layout the host chooses; ends
// with the workbook shown and the closing message. Its failures are reported as those of the
// window's "Start Importing Project Files" (Form1.PushButton2_Click), which calls it, as does
// the command line. `reading`, when given, is told as the run starts which fields of the plans its
// columns, sheet options and row selection need.
ImportOutcome importPlans(ImportHost& host, DialogProvider& dialogs, SpreadsheetAutomation& spreadsheet,
                          ProjectAutomation& project, PlanReading* reading = nullptr);

}  // namespace quorrix::importer
