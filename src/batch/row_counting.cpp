#include "batch/row_counting.h"

namespace quorrix::batch {
namespace {

using importer::Value;

class CountingWorkbook : public importer::Workbook {
public:
    CountingWorkbook(importer::Workbook& inner, const std::function<void()>& onRow) : inner_(inner), onRow_(onRow) {}

    void setActiveSheetCell(long row, int column, const Value& value) override {
        inner_.setActiveSheetCell(row, column, value);
        if (column == 1 && row > 1) onRow_();
    }
    void autoFitActiveSheetColumns() override { inner_.autoFitActiveSheetColumns(); }
    void autoFitSheetColumns(int k) override { inner_.autoFitSheetColumns(k); }
    void selectActiveSheetRange(const QString& reference) override { inner_.selectActiveSheetRange(reference); }
    void freezeActiveSheetPanes(long rows, int columns) override { inner_.freezeActiveSheetPanes(rows, columns); }
    void autoFilterActiveSheetRange(const QString& reference) override { inner_.autoFilterActiveSheetRange(reference); }
    void setActiveSheetSummaryRowAbove(bool above) override { inner_.setActiveSheetSummaryRowAbove(above); }
    void setActiveSheetRowOutlineLevel(long row, int level) override { inner_.setActiveSheetRowOutlineLevel(row, level); }
    void setActiveSheetCellIndent(long row, int column, int level) override {
        inner_.setActiveSheetCellIndent(row, column, level);
    }
    int sheetsCount() override { return inner_.sheetsCount(); }
    void setSheetName(int k, const QString& name) override { inner_.setSheetName(k, name); }
    void addSheetAfterLast() override { inner_.addSheetAfterLast(); }
    void deleteSheet(const QString& name) override { inner_.deleteSheet(name); }
    void selectSheet(int k) override { inner_.selectSheet(k); }

private:
    importer::Workbook& inner_;
    const std::function<void()>& onRow_;
};

class CountingApplication : public importer::SpreadsheetApplication {
public:
    CountingApplication(std::unique_ptr<importer::SpreadsheetApplication> inner, const std::function<void()>& onRow)
        : inner_(std::move(inner)), onRow_(onRow) {}

    QString defaultProperty() override { return inner_->defaultProperty(); }
    void workbooksAdd() override { inner_->workbooksAdd(); }
    int workbooksCount() override { return inner_->workbooksCount(); }
    importer::Workbook& workbook(int n) override {
        importer::Workbook& inner = inner_->workbook(n);
        auto& wrapper = wrappers_[&inner];
        if (!wrapper) wrapper = std::make_unique<CountingWorkbook>(inner, onRow_);
        return *wrapper;
    }
    void setDisplayAlerts(bool on) override { inner_->setDisplayAlerts(on); }
    void setVisible(bool on) override { inner_->setVisible(on); }

private:
    std::unique_ptr<importer::SpreadsheetApplication> inner_;
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
