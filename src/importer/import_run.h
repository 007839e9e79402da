#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "importer/automation/automation.h"
#include "importer/columns.h"
#include "importer/sheet_options.h"
#include "platform/dialogs.h"

namespace Main {
// The part of a path after its last separator; a path without one is returned whole.
QString FileNameOf(const QString& path);
}  // namespace Main

namespace quorrix::importer {

// What the import run needs of the window that starts it (or of the command line).
class ImportHost {
public:
    virtual ~ImportHost() = default;
    virtual int entryCount() = 0;                // the number of list entries now
    virtual QString entryText(int position) = 0; // 1-based
    virtual bool option4Value() = 0;             // "Combine all files to one new sheet" selected
    virtual void setProgressValue(double value) = 0;
    virtual void setProgressText(const QString& text) = 0;
    virtual void setMousePointer(int kind) = 0;
    virtual void processEvents() = 0;
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

struct ImportOutcome {
    bool ran = false;         // false: declined at the question, or no files
    QStringList failedFiles;  // in list order
    QString closingMessage;   // "Done." and the failure report
    int reports = 0;          // "Application Error" reports shown
};

// "Start Importing Project Files": every listed plan into one new workbook, in the layout the
// options choose; ends with the workbook shown and the closing message.
ImportOutcome PushButton2_Click(ImportHost& host, DialogProvider& dialogs, SpreadsheetAutomation& spreadsheet,
                                ProjectAutomation& project);

}  // namespace quorrix::importer
