#include "support/test_host.h"

#include "importer/automation/forwarding.h"
#include "platform/failure.h"

namespace quorrix::testing {

QString TestHost::entryText(int position) {
    if (position < 1 || position > entries.size())
        throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("Index out of bounds"));
    return entries[position - 1];
}

namespace {

class FailingWorkbook : public importer::ForwardingWorkbook {
public:
    FailingWorkbook(importer::Workbook& inner, FailingSpreadsheet& owner) : ForwardingWorkbook(inner), owner_(owner) {}
    void setActiveSheetCell(long row, int column, const importer::Value& value) override {
        if (++owner_.cellWrites == owner_.failCellWrite)
            throw Failure(1004, QStringLiteral("Application-defined or object-defined error"));
        inner_.setActiveSheetCell(row, column, value);
    }
    void setSheetName(int k, const QString& name) override {
        if (k == owner_.failSheetName) throw Failure(9, QStringLiteral("Subscript out of range"));
        inner_.setSheetName(k, name);
    }

private:
    FailingSpreadsheet& owner_;
};

class FailingApplication : public importer::ForwardingSpreadsheetApplication {
public:
    FailingApplication(std::unique_ptr<importer::SpreadsheetApplication> inner, FailingSpreadsheet& owner,
                       QString answer)
        : ForwardingSpreadsheetApplication(std::move(inner)), owner_(owner), answer_(std::move(answer)) {}
    QString defaultProperty() override { return answer_; }
    importer::Workbook& workbook(int n) override {
        wrapped_ = std::make_unique<FailingWorkbook>(inner_->workbook(n), owner_);
        return *wrapped_;
    }

private:
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
