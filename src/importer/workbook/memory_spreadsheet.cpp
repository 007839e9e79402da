#include "importer/workbook/memory_spreadsheet.h"

#include "platform/failure.h"

namespace quorrix::importer::workbook {

namespace {

using Registry = std::vector<std::shared_ptr<MemoryWorkbook>>;

class MemorySpreadsheetApplication : public SpreadsheetApplication {
public:
    MemorySpreadsheetApplication(std::shared_ptr<WorkbookPresenter> presenter, std::shared_ptr<Registry> registry)
        : presenter_(std::move(presenter)), registry_(std::move(registry)) {}

    QString defaultProperty() override { return QStringLiteral("Microsoft Excel"); }

    void workbooksAdd() override {
        auto workbook = std::make_shared<MemoryWorkbook>(settings_);
        if (presenter_) presenter_->workbookAdded(*workbook);
        workbooks_.push_back(workbook);
        registry_->push_back(std::move(workbook));
    }

    int workbooksCount() override { return static_cast<int>(workbooks_.size()); }

    Workbook& workbook(int n) override {
        if (n < 1 || n > static_cast<int>(workbooks_.size()))
            throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        return *workbooks_[static_cast<std::size_t>(n - 1)];
    }

    void setDisplayAlerts(bool on) override { settings_->displayAlerts = on; }

    // The first time the application becomes visible its workbooks are presented; after that
    // they are in the user's hands and visibility changes nothing more.
    void setVisible(bool on) override {
        if (!on || presented_) return;
        if (presenter_)
            for (const auto& workbook : workbooks_) presenter_->present(*workbook);
        presented_ = true;
    }

private:
    std::shared_ptr<WorkbookPresenter> presenter_;
    std::shared_ptr<Registry> registry_;
    std::shared_ptr<SpreadsheetSettings> settings_ = std::make_shared<SpreadsheetSettings>();
    std::vector<std::shared_ptr<MemoryWorkbook>> workbooks_;
    bool presented_ = false;
};

}  // namespace

MemorySpreadsheetAutomation::MemorySpreadsheetAutomation(std::shared_ptr<WorkbookPresenter> presenter)
    : presenter_(std::move(presenter)), workbooks_(std::make_shared<Registry>()) {}

std::unique_ptr<SpreadsheetApplication> MemorySpreadsheetAutomation::create() {
    return std::make_unique<MemorySpreadsheetApplication>(presenter_, workbooks_);
}

std::unique_ptr<SpreadsheetApplication> MemorySpreadsheetAutomation::attachRunning() {
    throw Failure(failure_number::kCannotCreateObject, QStringLiteral("ActiveX component can't create object"));
}

}  // namespace quorrix::importer::workbook
