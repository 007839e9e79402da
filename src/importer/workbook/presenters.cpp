#include "importer/workbook/presenters.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

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

// A descriptor, closed when it goes.
class Folder {
public:
    explicit Folder(int fd = -1) : fd_(fd) {}
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(Folder&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The folder at `path` when it is a folder of this user's, opened without following a link to
// it; nothing (-1) when it is a link, anything else than a folder or someone else's.
Folder ownFolder(const QByteArray& path) {
    Folder folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (folder.get() < 0 || ::fstat(folder.get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return Folder();
    return folder;
}

// The workbooks are the user's data: their folder is the user's alone (one of the user's that
// was made wider before is narrowed). A cache folder that is a link, or not the user's own
// folder, is neither written nor cleaned: the workbook goes to a fresh private folder in the
// temporary folder instead. Gives the folder's path and the open folder.
std::pair<QString, Folder> privateFolder(const QString& folder) {
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    if (!QDir().mkpath(QFileInfo(absolute).absolutePath())) folderFailure(folder);
    const QByteArray name = QFile::encodeName(absolute);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) folderFailure(folder);
    Folder own = ownFolder(name);
    if (own.get() >= 0) {
        struct stat st {};
        if (::fstat(own.get(), &st) == 0 && (st.st_mode & 077) != 0) ::fchmod(own.get(), 0700);
        return {absolute, std::move(own)};
    }
    QByteArray fresh = QFile::encodeName(QDir::tempPath()) + "/quorrix-XXXXXX";
    if (!::mkdtemp(fresh.data())) folderFailure(QFile::decodeName(fresh));
    Folder made = ownFolder(fresh);
    if (made.get() < 0) folderFailure(QFile::decodeName(fresh));
    return {QFile::decodeName(fresh), std::move(made)};
}

// A new file "Workbook-" and six letters or digits ".xlsx" in the open folder, that no earlier
// workbook had, for the user alone (the workbook written in its place keeps that); its name.
QString reserveWorkbookName(const Folder& folder) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = "Workbook-";
        for (int i = 0; i < 6; ++i) name += kLetters[QRandomGenerator::global()->bounded(62)];
        name += ".xlsx";
        const int fd =
            ::openat(folder.get(), name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return QFile::decodeName(name);
        }
        if (errno != EEXIST) break;
    }
    throw Failure(kPathFileAccessError, QStringLiteral("The workbook could not be written: %1.")
                                            .arg(QString::fromLocal8Bit(std::strerror(errno)).toLower()));
}

}  // namespace

int DesktopPresenter::removeOldWorkbooks(const QString& folder, int days) {
    const Folder own = ownFolder(QFile::encodeName(folder));
    if (own.get() < 0) return 0;
    // The names are listed through the open folder, not by its path again.
    DIR* listing = ::fdopendir(::fcntl(own.get(), F_DUPFD_CLOEXEC, 0));
    if (!listing) return 0;
    static const QRegularExpression workbook(QStringLiteral("^Workbook-[A-Za-z0-9]{6}\\.xlsx$"));
    const std::time_t before = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (!workbook.match(QString::fromLatin1(entry->d_name)).hasMatch()) continue;
        struct stat st {};
        if (::fstatat(own.get(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_mtime >= before) continue;
        if (::unlinkat(own.get(), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(listing);
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
    const auto [folder, open] = privateFolder(folder_);
    const QString name = reserveWorkbookName(open);
    const QString file = folder + QLatin1Char('/') + name;
    // Written into the folder just checked, whatever its path leads to by now.
    const QString within = QStringLiteral("/proc/self/fd/%1/").arg(open.get()) + name;
    try {
        ahead_.exportXlsx(workbook, within);
    } catch (...) {
        ::unlinkat(open.get(), QFile::encodeName(name).constData(), 0);
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
        ahead_.exportXlsx(workbook, path_);
    } catch (const Failure& failure) {
        if (!failed_) throw;
        failed_(failure.description());
        return;
    }
    ++written_;
}

}  // namespace quorrix::importer::workbook
