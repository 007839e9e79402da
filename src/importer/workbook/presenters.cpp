#include "importer/workbook/presenters.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

[[noreturn]] void folderFailure(const QString& folder) {
    throw Failure(kPathFileAccessError,
                  QStringLiteral("The folder \"%1\" for the workbook could not be created.").arg(QDir::toNativeSeparators(folder)));
}

// The workbooks are the user's data: their folder is the user's alone (one of the user's that
// was made wider before is narrowed).
void makePrivateFolder(const QString& folder) {
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    if (!QDir().mkpath(QFileInfo(absolute).absolutePath())) folderFailure(folder);
    const QByteArray name = QFile::encodeName(absolute);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) folderFailure(folder);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) folderFailure(folder);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) ::fchmod(fd, 0700);
    ::close(fd);
}

const QString kWorkbookTemplate = QStringLiteral("Workbook-XXXXXX.xlsx");

}  // namespace

int DesktopPresenter::removeOldWorkbooks(const QString& folder, int days) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    static const QRegularExpression own(QStringLiteral("^Workbook-[A-Za-z0-9]{6}\\.xlsx$"));
    const std::time_t before = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    int removed = 0;
    const QStringList names = QDir(folder).entryList({QStringLiteral("Workbook-*.xlsx")},
                                                     QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!own.match(name).hasMatch()) continue;
        const QByteArray entry = QFile::encodeName(name);
        struct stat st {};
        if (::fstatat(fd, entry.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_mtime >= before) continue;
        if (::unlinkat(fd, entry.constData(), 0) == 0) ++removed;
    }
    ::close(fd);
    return removed;
}

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
    makePrivateFolder(folder_);
    // A new name that no earlier workbook had, for a file only the user may read (the workbook
    // written in its place keeps that).
    QString file;
    {
        QTemporaryFile reserve(folder_ + QLatin1Char('/') + kWorkbookTemplate);
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
                            QDir::toNativeSeparators(file) +
                            QStringLiteral("\r\nIt is kept there for %1 days.").arg(kKeptDays),
                        applicationTitle(), MsgButtons::Ok, MsgIcon::None);
}

void FilePresenter::present(const MemoryWorkbook& workbook) {
    try {
        exportXlsx(workbook, path_);
    } catch (const Failure& failure) {
        if (!failed_) throw;
        failed_(failure.description());
        return;
    }
    ++written_;
}

}  // namespace quorrix::importer::workbook
