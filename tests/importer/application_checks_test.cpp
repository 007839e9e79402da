#include "importer/application_checks.h"

#include <gtest/gtest.h>

#include "importer/workbook/memory_spreadsheet.h"
#include "support/form_fixture.h"
#include "support/scripted_dialogs.h"
#include "support/served_project.h"
#include "support/test_host.h"

namespace quorrix::importer {
namespace {

using testing::ScriptedDialogs;

const QString kExcelAdvice = QStringLiteral(
    "Error 842001. A normal instance of Excel could not be created.\r\n\r\n"
    "1. Please make sure Excel is installed on this computer.\r\n\r\n"
    "2. Please open Excel normally and make sure a blank spreadsheet opens immediately without any interrupting "
    "window (such as an Excel file recovery window).\r\n\r\n"
    "3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens normally without any "
    "interrupting messages.\r\n\r\n"
    "4. All versions of Excel are supported by this software except for the rare Excel Starter and Student "
    "editions.");
const QString kProjectWarning = QStringLiteral(
    "Project is not installed on this computer. You need to have it installed to use this software without error.");

class NoProject : public ProjectAutomation {
public:
    bool throws = true;
    QString askedFor;
    std::unique_ptr<ProjectApplication> create(const QString& progId) override {
        askedFor = progId;
        if (throws) throw Failure(429, QStringLiteral("ActiveX component can't create object"));
        return nullptr;
    }
};

TEST(ApplicationChecks, RunningSpreadsheetIsFoundOnlyWhenItAnswersAsExcel) {
    workbook::MemorySpreadsheetAutomation memory(nullptr);
    testing::FailingSpreadsheet spreadsheet(memory);
    EXPECT_FALSE(Excel1::IsExcelRunning(spreadsheet));
    spreadsheet.running = true;
    EXPECT_TRUE(Excel1::IsExcelRunning(spreadsheet));
    spreadsheet.runningAnswer = QStringLiteral("microsoft excel");  // exact comparison
    EXPECT_FALSE(Excel1::IsExcelRunning(spreadsheet));
    // The Linux backend has no shared running instance: never running, never asked.
    EXPECT_FALSE(Excel1::IsExcelRunning(memory));
    ScriptedDialogs dialogs;
    EXPECT_FALSE(Excel1::WarnIfExcelOpen(memory, dialogs));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST(ApplicationChecks, MissingSpreadsheetShowsTheAdviceAndEnds) {
    workbook::MemorySpreadsheetAutomation memory(nullptr);
    testing::FailingSpreadsheet spreadsheet(memory);
    int exits = 0;
    for (int mode = 0; mode < 3; ++mode) {
        ScriptedDialogs dialogs;
        spreadsheet.failCreate = mode == 1;
        spreadsheet.emptyObject = mode == 2;
        IsInstalled::CheckExcelCreatable(spreadsheet, dialogs, [&](int) { ++exits; });
        if (mode == 0) {
            EXPECT_TRUE(dialogs.calls.empty());
            EXPECT_EQ(exits, 0);
        } else {
            ASSERT_EQ(dialogs.calls.size(), 1u);
            EXPECT_EQ(dialogs.calls[0].text, kExcelAdvice);
            EXPECT_EQ(dialogs.calls[0].icon, MsgIcon::None);
            EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Quorrix"));
            EXPECT_EQ(exits, mode);
        }
    }
    // The check never leaves a workbook behind.
    EXPECT_TRUE(memory.workbooks().empty());
}

TEST(ApplicationChecks, MissingProjectOnlyWarns) {
    NoProject project;
    for (bool throws : {true, false}) {
        ScriptedDialogs dialogs;
        project.throws = throws;
        IsInstalled::CheckProjectInstalled(project, dialogs);
        EXPECT_EQ(project.askedFor, QStringLiteral("MSProject.Application"));
        EXPECT_EQ(dialogs.messages(), QStringList{kProjectWarning});
    }
    testing::ServedProject present;
    ScriptedDialogs quiet;
    IsInstalled::CheckProjectInstalled(present, quiet);
    EXPECT_TRUE(quiet.calls.empty());
}

class StartUpChecks : public testing::FormFixture {};

TEST_F(StartUpChecks, NoSpreadsheetEndsStartUpNoProjectWarnsAndGoesOn) {
    workbook::MemorySpreadsheetAutomation memory(nullptr);
    testing::FailingSpreadsheet failing(memory);
    failing.failCreate = true;
    NoProject project;
    spreadsheet = &failing;
    this->project = &project;
    Form1& f = makeForm();
    f.Form_Load();
    EXPECT_EQ(exitCalls, 1);
    EXPECT_EQ(dialogs.messages(), (QStringList{kExcelAdvice, kProjectWarning}));
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_FALSE(f.isVisible());
}

}  // namespace
}  // namespace quorrix::importer
