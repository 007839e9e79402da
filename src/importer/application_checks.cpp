#include "importer/application_checks.h"

#include "platform/application_title.h"

using quorrix::MsgAnswer;
using quorrix::MsgButtons;
using quorrix::MsgIcon;

namespace Excel1 {

bool IsExcelRunning(quorrix::importer::SpreadsheetAutomation& spreadsheet) {
    try {
        const auto running = spreadsheet.attachRunning();
        return running && running->defaultProperty() == QStringLiteral("Microsoft Excel");
    } catch (...) {
        return false;
    }
}

bool WarnIfExcelOpen(quorrix::importer::SpreadsheetAutomation& spreadsheet, quorrix::DialogProvider& dialogs) {
    if (!IsExcelRunning(spreadsheet)) return false;
    const QString text = QStringLiteral(
        "Excel may be open. It is recommended that you close Excel first.\r"
        "Use Ctrl+Alt+Del > Task Manager > EXCEL.EXE if necessary.\r\n\r\n"
        "Would you like to proceed anyway?");
    return dialogs.messageBox(text, quorrix::applicationTitle(), MsgButtons::YesNo, MsgIcon::None) == MsgAnswer::No;
}

}  // namespace Excel1

namespace IsInstalled {

void CheckExcelCreatable(quorrix::importer::SpreadsheetAutomation& spreadsheet, quorrix::DialogProvider& dialogs,
                         const std::function<void(int)>& exitProcess) {
    bool missing = true;
    try {
        missing = spreadsheet.create() == nullptr;
    } catch (...) {
        missing = true;
    }
    if (!missing) return;
    const QString text = QStringLiteral(
        "Error 842001. A normal instance of Excel could not be created.\r\n\r\n"
        "1. Please make sure Excel is installed on this computer.\r\n\r\n"
        "2. Please open Excel normally and make sure a blank spreadsheet opens immediately without any "
        "interrupting window (such as an Excel file recovery window).\r\n\r\n"
        "3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens normally without "
        "any interrupting messages.\r\n\r\n"
        "4. All versions of Excel are supported by this software except for the rare Excel Starter and Student "
        "editions.");
    try {
        dialogs.messageBox(text, quorrix::applicationTitle(), MsgButtons::Ok, MsgIcon::None);
    } catch (...) {
    }
    exitProcess(0);
}

void CheckProjectInstalled(quorrix::importer::ProjectAutomation& project, quorrix::DialogProvider& dialogs) {
    bool missing = true;
    try {
        missing = project.create(QStringLiteral("MSProject.Application")) == nullptr;
    } catch (...) {
        missing = true;
    }
    if (!missing) return;
    try {
        dialogs.messageBox(QStringLiteral("Project is not installed on this computer. You need to have it installed "
                                          "to use this software without error."),
                           quorrix::applicationTitle(), MsgButtons::Ok, MsgIcon::None);
    } catch (...) {
    }
}

}  // namespace IsInstalled
