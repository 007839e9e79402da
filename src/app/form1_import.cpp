// "Start Importing Project Files".
#include <QCoreApplication>
#include <QDate>

#include "app/form1.h"
#include "importer/import_run.h"
#include "platform/failure.h"

namespace quorrix {
namespace {

// The window as the import run sees it.
class WindowHost : public importer::ImportHost {
public:
    explicit WindowHost(Form1& form) : form_(form) {}
    int entryCount() override { return form_.entryCount(); }
    QString entryText(int position) override { return form_.entryText(position); }
    bool oneSheetLayout() override { return form_.Option4->isChecked(); }
    void setProgressValue(double percent) override { form_.setProgressValue(percent); }
    void setProgressText(const QString& text) override { form_.setProgressText(text); }
    void progress(int, int, const QString&) override {}  // the bar and its text show it
    void setBusy(bool busy) override { form_.setMousePointer(busy ? kPointerHourglass : kPointerDefault); }
    void yield() override { QCoreApplication::processEvents(); }
    void setRunning(bool running) override { form_.PushButton2->setEnabled(!running); }
    std::vector<importer::Column> columns() override {
        Settings* settings = form_.services().settings;
        return settings ? settings->columns() : importer::defaultColumns();
    }
    importer::SheetOptions sheetOptions() override {
        Settings* settings = form_.services().settings;
        return settings ? settings->sheetOptions() : importer::SheetOptions{};
    }
    // The weeks ahead count from the day the import starts.
    importer::RowSelection rowSelection() override {
        Settings* settings = form_.services().settings;
        return settings ? settings->rowChoice().selectionOn(QDate::currentDate()) : importer::RowSelection{};
    }

private:
    Form1& form_;
};

Failure cannotCreate() {
    return Failure(failure_number::kCannotCreateObject, QStringLiteral("ActiveX component can't create object"));
}

// Stand-ins for a machine where a backend is missing: every creation fails.
class NoSpreadsheet : public importer::SpreadsheetAutomation {
public:
    std::unique_ptr<importer::SpreadsheetApplication> create() override { throw cannotCreate(); }
    std::unique_ptr<importer::SpreadsheetApplication> attachRunning() override { throw cannotCreate(); }
};
class NoProject : public importer::ProjectAutomation {
public:
    std::unique_ptr<importer::ProjectApplication> create(const QString&) override { throw cannotCreate(); }
};

}  // namespace

void Form1::PushButton2_Click() {
    static NoSpreadsheet noSpreadsheet;
    static NoProject noProject;
    WindowHost window(*this);
    importer::ProjectAutomation& project = services_.project ? *services_.project : noProject;
    importer::importPlans(window, dialogs(), services_.spreadsheet ? *services_.spreadsheet : noSpreadsheet,
                          project, services_.project ? services_.planReading : nullptr);
}

}  // namespace quorrix
