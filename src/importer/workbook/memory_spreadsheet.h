#pragma once

#include <memory>
#include <vector>

#include "importer/automation/automation.h"
#include "importer/workbook/memory_workbook.h"

namespace quorrix::importer::workbook {

// What happens to the workbooks of an application when it becomes visible: shown to the user,
// or delivered to a file. Throws quorrix::Failure when that cannot be done.
class WorkbookPresenter {
public:
    virtual ~WorkbookPresenter() = default;
    virtual void present(const MemoryWorkbook& workbook) = 0;
    // A workbook of the application was added: a presenter that writes files may have it write
    // ahead while it is filled (FilesAhead).
    virtual void workbookAdded(MemoryWorkbook& /*workbook*/) {}
};

// The spreadsheet application on platforms without one: every instance holds its workbooks in
// memory and hands them to the presenter when it is made visible.
class MemorySpreadsheetAutomation : public SpreadsheetAutomation {
public:
    // Without a presenter, becoming visible shows nothing.
    explicit MemorySpreadsheetAutomation(std::shared_ptr<WorkbookPresenter> presenter);

    std::unique_ptr<SpreadsheetApplication> create() override;
    // There is no shared running instance here whose work an import could disturb: attaching
    // always fails as it does when no instance is running.
    std::unique_ptr<SpreadsheetApplication> attachRunning() override;

    // Every workbook the created applications added, in order; they stay readable after the
    // applications are gone.
    const std::vector<std::shared_ptr<MemoryWorkbook>>& workbooks() const { return *workbooks_; }

private:
    std::shared_ptr<WorkbookPresenter> presenter_;
    std::shared_ptr<std::vector<std::shared_ptr<MemoryWorkbook>>> workbooks_;
};

}  // namespace quorrix::importer::workbook
