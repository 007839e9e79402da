#include "batch/row_counting.h"

#include "importer/automation/forwarding.h"

namespace quorrix::batch {
namespace {

using importer::Value;

class CountingWorkbook : public importer::ForwardingWorkbook {
public:
    CountingWorkbook(importer::Workbook& inner, const std::function<void()>& onRow)
        : ForwardingWorkbook(inner), onRow_(onRow) {}

    void setActiveSheetCell(long row, int column, const Value& value) override {
        inner_.setActiveSheetCell(row, column, value);
        if (column == 1 && row > 1) onRow_();
    }

private:
    const std::function<void()>& onRow_;
};

class CountingApplication : public importer::ForwardingSpreadsheetApplication {
public:
    CountingApplication(std::unique_ptr<importer::SpreadsheetApplication> inner, const std::function<void()>& onRow)
        : ForwardingSpreadsheetApplication(std::move(inner)), onRow_(onRow) {}

    importer::Workbook& workbook(int n) override {
        importer::Workbook& inner = inner_->workbook(n);
        auto& wrapper = wrappers_[&inner];
        if (!wrapper) wrapper = std::make_unique<CountingWorkbook>(inner, onRow_);
        return *wrapper;
    }

private:
    const std::function<void()>& onRow_;
    std::map<importer::Workbook*, std::unique_ptr<CountingWorkbook>> wrappers_;
};

}  // namespace

RowCountingSpreadsheet::RowCountingSpreadsheet(importer::SpreadsheetAutomation& inner, std::function<void()> onRow)
    : inner_(inner), onRow_(std::move(onRow)) {}

std::unique_ptr<importer::SpreadsheetApplication> RowCountingSpreadsheet::create() {
    auto inner = inner_.create();
    if (!inner) return nullptr;
    return std::make_unique<CountingApplication>(std::move(inner), onRow_);
}

std::unique_ptr<importer::SpreadsheetApplication> RowCountingSpreadsheet::attachRunning() {
    auto inner = inner_.attachRunning();
    if (!inner) return nullptr;
    return std::make_unique<CountingApplication>(std::move(inner), onRow_);
}

}  // namespace quorrix::batch
