// The window's start-up with the application checks: no spreadsheet ends it, no project warns.
#include <gtest/gtest.h>

#include "importer/application_check_texts.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "support/form_fixture.h"
#include "support/test_host.h"

namespace quorrix::importer {
namespace {

using testing::kExcelAdvice;
using testing::kProjectWarning;
using testing::NoProject;

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
