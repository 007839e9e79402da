#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "importer/workbook/memory_spreadsheet.h"
#include "importer/workbook/xlsx_export.h"
#include "platform/dialogs.h"

namespace quorrix::importer::workbook {

// Shows a workbook to the user: written as .xlsx to a new file under the user's cache folder and
// opened as a new, untitled document in the spreadsheet application (LibreOffice's "-n" where
// it is installed), else with the desktop's handler for .xlsx files. When nothing can show it,
// a message tells the user where the file is. The file outlives the program, as a workbook left
// open in a spreadsheet application outlives the program that filled it.
class DesktopPresenter : public WorkbookPresenter {
public:
    struct Launcher {
        // The full path of a program found in PATH, or the empty text.
        std::function<QString(const QString& program)> find;
        // Starts a program that outlives this one; false when it could not be started.
        std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
    };

    // `folder`: where the files go (the user's cache folder + "/quorrix" when empty).
    // `launcher`: how programs are found and started (the system's when not given).
    explicit DesktopPresenter(DialogProvider& dialogs, QString folder = {}, Launcher launcher = {});

    void present(const MemoryWorkbook& workbook) override;
    void workbookAdded(MemoryWorkbook& workbook) override { ahead_.start(workbook); }

    // The file the last workbook was written to.
    const QString& lastFile() const { return lastFile_; }

    static QString defaultFolder();

    // How many days a workbook shown is kept in the folder.
    static constexpr int kKeptDays = 30;

    // Removes from `folder` the workbooks a presenter left there ("Workbook-" and six letters or
    // digits, ".xlsx": files of this user's) last changed more than `days` days ago; nothing
    // else. They were only ever shown as untitled copies. Never fails; gives how many went.
    static int removeOldWorkbooks(const QString& folder, int days = kKeptDays);

private:
    DialogProvider& dialogs_;
    QString folder_;
    Launcher launcher_;
    QString lastFile_;
    FilesAhead ahead_;
};

// Delivers the workbook to one named file and opens nothing (the command-line front end).
class FilePresenter : public WorkbookPresenter {
public:
    // `failed`, when given, receives the one-line reason a workbook could not be written, in
    // place of a failure thrown to the caller.
    explicit FilePresenter(QString path, std::function<void(const QString& reason)> failed = {})
        : path_(std::move(path)), failed_(std::move(failed)) {}
    void present(const MemoryWorkbook& workbook) override;
    void workbookAdded(MemoryWorkbook& workbook) override { ahead_.start(workbook); }
    // How many workbooks were written.
    int written() const { return written_; }

private:
    QString path_;
    std::function<void(const QString&)> failed_;
    int written_ = 0;
    FilesAhead ahead_;
};

}  // namespace quorrix::importer::workbook
