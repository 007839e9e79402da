#pragma once

#include <memory>

#include "importer/automation/automation.h"

namespace quorrix::importer {

// A workbook that passes every call to another: the base of wrappers that watch or change a few
// of the calls and leave the rest alone.
class ForwardingWorkbook : public Workbook {
public:
    explicit ForwardingWorkbook(Workbook& inner) : inner_(inner) {}

    void setActiveSheetCell(long row, int column, const Value& value) override {
        inner_.setActiveSheetCell(row, column, value);
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

protected:
    Workbook& inner_;
};

// An application that passes every call to another; `workbook` is each wrapper's own.
class ForwardingSpreadsheetApplication : public SpreadsheetApplication {
public:
    explicit ForwardingSpreadsheetApplication(std::unique_ptr<SpreadsheetApplication> inner)
        : inner_(std::move(inner)) {}

    QString defaultProperty() override { return inner_->defaultProperty(); }
    void workbooksAdd() override { inner_->workbooksAdd(); }
    int workbooksCount() override { return inner_->workbooksCount(); }
    void setDisplayAlerts(bool on) override { inner_->setDisplayAlerts(on); }
    void setVisible(bool on) override { inner_->setVisible(on); }

protected:
    std::unique_ptr<SpreadsheetApplication> inner_;
};

}  // namespace quorrix::importer
