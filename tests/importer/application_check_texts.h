#pragma once

#include <QString>

#include "importer/automation/automation.h"
#include "platform/failure.h"

// What the application checks say, and a project backend that cannot be created: shared by the
// tests of the checks and of the window's start-up.
namespace quorrix::testing {

inline const QString kExcelAdvice = QStringLiteral(
    "Error 842001. A normal instance of Excel could not be created.\r\n\r\n"
    "1. Please make sure Excel is installed on this computer.\r\n\r\n"
    "2. Please open Excel normally and make sure a blank spreadsheet opens immediately without any interrupting "
    "window (such as an Excel file recovery window).\r\n\r\n"
    "3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens normally without any "
    "interrupting messages.\r\n\r\n"
    "4. All versions of Excel are supported by this software except for the rare Excel Starter and Student "
    "editions.");
inline const QString kProjectWarning = QStringLiteral(
    "Project is not installed on this computer. You need to have it installed to use this software without error.");

class NoProject : public importer::ProjectAutomation {
public:
    bool throws = true;
    QString askedFor;
    std::unique_ptr<importer::ProjectApplication> create(const QString& progId) override {
        askedFor = progId;
        if (throws) throw Failure(429, QStringLiteral("ActiveX component can't create object"));
        return nullptr;
    }
};

}  // namespace quorrix::testing
