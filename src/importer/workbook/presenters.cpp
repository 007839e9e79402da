#include "importer/workbook/presenters.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "importer/workbook/xlsx_export.h"
#include "platform/application_title.h"
#include "platform/failure.h"

namespace quorrix::importer::workbook {

namespace {

constexpr int kPathFileAccessError = 75;

DesktopPresenter::Launcher systemLauncher() {
    DesktopPresenter::Launcher launcher;
    launcher.find = [](const QString& program) { return QStandardPaths::findExecutable(program); };
    launcher.startDetached = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    return launcher;
}

}  // namespace

QString DesktopPresenter::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/quorrix");
}

DesktopPresenter::DesktopPresenter(DialogProvider& dialogs, QString folder, Launcher launcher)
    : dialogs_(dialogs), folder_(folder.isEmpty() ? defaultFolder() : std::move(folder)) {
    const Launcher system = systemLauncher();
    launcher_.find = launcher.find ? std::move(launcher.find) : system.find;
    launcher_.startDetached = launcher.startDetached ? std::move(launcher.startDetached) : system.startDetached;
}

void DesktopPresenter::present(const MemoryWorkbook& workbook) {
    if (!QDir().mkpath(folder_))
        throw Failure(kPathFileAccessError,
                      QStringLiteral("The folder \"%1\" for the workbook could not be created.").arg(QDir::toNativeSeparators(folder_)));
    // A new name that no earlier workbook had.
    QString file;
    {
        QTemporaryFile reserve(folder_ + QStringLiteral("/Workbook-XXXXXX.xlsx"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            throw Failure(kPathFileAccessError, QStringLiteral("The workbook could not be written: %1.").arg(reserve.errorString().toLower()));
        file = reserve.fileName();
    }
    try {
        exportXlsx(workbook, file);
    } catch (...) {
        QFile::remove(file);
        throw;
    }
    lastFile_ = file;

    for (const QString& program : {QStringLiteral("soffice"), QStringLiteral("libreoffice")}) {
        const QString found = launcher_.find(program);
        if (!found.isEmpty() && launcher_.startDetached(found, {QStringLiteral("-n"), file})) return;
    }
    if (dialogs_.openWithDesktop(file)) return;
    dialogs_.messageBox(QStringLiteral("No spreadsheet application could show the workbook. It was saved as:\r\n") +
                            QDir::toNativeSeparators(file),
                        applicationTitle(), MsgButtons::Ok, MsgIcon::None);
}

void FilePresenter::present(const MemoryWorkbook& workbook) {
    exportXlsx(workbook, path_);
    ++written_;
}

}  // namespace quorrix::importer::workbook
