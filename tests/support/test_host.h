#pragma once

#include <QStringList>
#include <functional>
#include <tuple>
#include <vector>

#include "importer/import_run.h"
#include "importer/workbook/memory_spreadsheet.h"

namespace quorrix::testing {

// The list, options and progress of a window, as plain data the test can read.
class TestHost : public importer::ImportHost {
public:
    QStringList entries;
    bool oneSheet = true;
    std::vector<double> progressValues;
    QStringList progressTexts;
    std::vector<int> pointerKinds;  // the busy state as the window's pointer kinds: 11 busy, 0 not
    std::vector<std::tuple<int, int, QString>> progressSteps;  // position, count, file name
    std::vector<bool> running;
    std::function<void()> onProcessEvents;  // runs while the run yields
    int processEventsCalls = 0;
    std::vector<importer::Column> chosenColumns = importer::defaultColumns();
    importer::SheetOptions chosenSheet;
    importer::RowSelection chosenRows;

    int entryCount() override { return static_cast<int>(entries.size()); }
    QString entryText(int position) override;
    bool oneSheetLayout() override { return oneSheet; }
    void setProgressValue(double percent) override { progressValues.push_back(percent); }
    void setProgressText(const QString& text) override { progressTexts << text; }
    void progress(int position, int count, const QString& fileName) override {
        progressSteps.emplace_back(position, count, fileName);
    }
    void setBusy(bool busy) override { pointerKinds.push_back(busy ? 11 : 0); }
    void yield() override {
        ++processEventsCalls;
        if (onProcessEvents) onProcessEvents();
    }
    void setRunning(bool on) override { running.push_back(on); }
    std::vector<importer::Column> columns() override { return chosenColumns; }
    importer::SheetOptions sheetOptions() override { return chosenSheet; }
    importer::RowSelection rowSelection() override { return chosenRows; }
};

// A spreadsheet backend that fails chosen operations of the in-memory one.
class FailingSpreadsheet : public importer::SpreadsheetAutomation {
public:
    explicit FailingSpreadsheet(importer::workbook::MemorySpreadsheetAutomation& inner) : inner_(inner) {}
    long failCellWrite = 0;   // the n-th cell write fails (1-based), 0 for none
    int failSheetName = 0;    // naming this sheet position fails
    bool failCreate = false;
    bool emptyObject = false;
    bool running = false;     // an instance answers as running
    QString runningAnswer = QStringLiteral("Microsoft Excel");
    long cellWrites = 0;

    std::unique_ptr<importer::SpreadsheetApplication> create() override;
    std::unique_ptr<importer::SpreadsheetApplication> attachRunning() override;

private:
    importer::workbook::MemorySpreadsheetAutomation& inner_;
};

}  // namespace quorrix::testing
