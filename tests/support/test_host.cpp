#include "support/test_host.h"

#include "platform/failure.h"

namespace quorrix::testing {

QString TestHost::entryText(int position) {
    if (position < 1 || position > entries.size())
        throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("Index out of bounds"));
    return entries[position - 1];
}

namespace {

class FailingWorkbook : public importer::Workbook {
public:
    FailingWorkbook(importer::Workbook& inner, FailingSpreadsheet& owner) : inner_(inner), owner_(owner) {}
    void setActiveSheetCell(long row, int column, const importer::Value& value) override {
        if (++owner_.cellWrites == owner_.failCellWrite)
            throw Failure(1004, QStringLiteral("Application-defined or object-defined error"));
        inner_.setActiveSheetCell(row, column, value);
    }
    void autoFitActiveSheetColumns() override { inner_.autoFitActiveSheetColumns(); }
    void autoFitSheetColumns(int k) override { inner_.autoFitSheetColumns(k); }
    void selectActiveSheetRange(const QString& r) override { inner_.selectActiveSheetRange(r); }
    void freezeActiveSheetPanes(long rows, int columns) override { inner_.freezeActiveSheetPanes(rows, columns); }
    void autoFilterActiveSheetRange(const QString& reference) override { inner_.autoFilterActiveSheetRange(reference); }
    void setActiveSheetSummaryRowAbove(bool above) override { inner_.setActiveSheetSummaryRowAbove(above); }
    void setActiveSheetRowOutlineLevel(long row, int level) override { inner_.setActiveSheetRowOutlineLevel(row, level); }
    void setActiveSheetCellIndent(long row, int column, int level) override {
        inner_.setActiveSheetCellIndent(row, column, level);
    }
    int sheetsCount() override { return inner_.sheetsCount(); }
    void setSheetName(int k, const QString& name) override {
        if (k == owner_.failSheetName) throw Failure(9, QStringLiteral("Subscript out of range"));
        inner_.setSheetName(k, name);
    }
    void addSheetAfterLast() override { inner_.addSheetAfterLast(); }
    void deleteSheet(const QString& name) override { inner_.deleteSheet(name); }
    void selectSheet(int k) override { inner_.selectSheet(k); }

private:
    importer::Workbook& inner_;
    FailingSpreadsheet& owner_;
};

class FailingApplication : public importer::SpreadsheetApplication {
public:
    FailingApplication(std::unique_ptr<importer::SpreadsheetApplication> inner, FailingSpreadsheet& owner,
                       QString answer)
        : inner_(std::move(inner)), owner_(owner), answer_(std::move(answer)) {}
    QString defaultProperty() override { return answer_; }
    void workbooksAdd() override { inner_->workbooksAdd(); }
    int workbooksCount() override { return inner_->workbooksCount(); }
    importer::Workbook& workbook(int n) override {
        wrapped_ = std::make_unique<FailingWorkbook>(inner_->workbook(n), owner_);
        return *wrapped_;
    }
    void setDisplayAlerts(bool on) override { inner_->setDisplayAlerts(on); }
    void setVisible(bool on) override { inner_->setVisible(on); }

private:
    std::unique_ptr<importer::SpreadsheetApplication> inner_;
    FailingSpreadsheet& owner_;
    QString answer_;
    std::unique_ptr<FailingWorkbook> wrapped_;
};

}  // namespace

std::unique_ptr<importer::SpreadsheetApplication> FailingSpreadsheet::create() {
    if (failCreate) throw Failure(429, QStringLiteral("ActiveX component can't create object"));
    if (emptyObject) return nullptr;
    return std::make_unique<FailingApplication>(inner_.create(), *this, QStringLiteral("Microsoft Excel"));
}

std::unique_ptr<importer::SpreadsheetApplication> FailingSpreadsheet::attachRunning() {
    if (!running) throw Failure(429, QStringLiteral("ActiveX component can't create object"));
    return std::make_unique<FailingApplication>(inner_.create(), *this, runningAnswer);
}

}  // namespace quorrix::testing
