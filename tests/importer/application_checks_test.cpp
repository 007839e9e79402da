#include "importer/application_checks.h"

#include <gtest/gtest.h>

#include "importer/application_check_texts.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "support/scripted_dialogs.h"
#include "support/served_project.h"
#include "support/test_host.h"

namespace quorrix::importer {
namespace {

using testing::ScriptedDialogs;
using testing::kExcelAdvice;
using testing::kProjectWarning;
using testing::NoProject;

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

}  // namespace
}  // namespace quorrix::importer
