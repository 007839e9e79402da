#include "importer/workbook/xlsx_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <xlsxwriter.h>

#include "importer/workbook/xlsx_library.h"
#include "importer/workbook/xlsx_stream.h"
#include "platform/file_names.h"

namespace quorrix::importer::workbook {

namespace {

using xlsx::cannotWrite;
using xlsx::systemError;

// A file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

QString kindOf(mode_t mode) {
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    if (S_ISFIFO(mode)) return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    if (S_ISLNK(mode)) return QStringLiteral("a link");
    return QStringLiteral("something else");
}

// Where the file goes: a folder and a name in it. A link at the path is followed to the file it
// leads to, so that the link stays as it is.
struct Destination {
    QString shown;     // the file name as the user gave it
    QByteArray folder; // absolute
    QByteArray name;
};

Destination destinationOf(const QString& path) {
    const QFileInfo target(path);
    if (path.isEmpty() || target.fileName().isEmpty()) cannotWrite(QStringLiteral("no file name was given"));
    Destination d;
    d.shown = target.fileName();
    QByteArray full = encodeFileName(target.absoluteFilePath());
    struct stat st {};
    if (::lstat(full.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* resolved = ::realpath(full.constData(), nullptr);
        if (!resolved) cannotWrite(QStringLiteral("\"%1\" is a link that leads to no file").arg(d.shown));
        full = resolved;
        std::free(resolved);
    }
    const qsizetype slash = full.lastIndexOf('/');
    d.folder = slash <= 0 ? QByteArray("/") : full.left(slash);
    d.name = full.mid(slash + 1);
    return d;
}

// The deepest part of the folder's path that exists, when it is not a folder: nothing can be
// created below it.
std::optional<QByteArray> blockingPart(QByteArray folder) {
    for (;;) {
        struct stat st {};
        if (::stat(folder.constData(), &st) == 0) return S_ISDIR(st.st_mode) ? std::nullopt : std::optional(folder);
        const qsizetype slash = folder.lastIndexOf('/');
        if (slash <= 0) return std::nullopt;
        folder.truncate(slash);
    }
}

Descriptor openFolder(const Destination& d) {
    Descriptor folder(::open(d.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        const int error = errno;
        const auto shown = [](const QByteArray& path) { return QDir::toNativeSeparators(decodeFileName(path)); };
        if (error == ENOTDIR) {
            if (const auto part = blockingPart(d.folder))
                cannotWrite(QStringLiteral("\"%1\" is not a folder").arg(shown(*part)));
        }
        if (error == ENOENT || error == ENOTDIR)
            cannotWrite(QStringLiteral("the folder \"%1\" does not exist").arg(shown(d.folder)));
        cannotWrite(systemError(error));
    }
    return folder;
}

// The file now at the destination, if any; anything there that is not a file is refused.
std::optional<struct stat> existingFile(int folder, const Destination& d) {
    struct stat st {};
    if (::fstatat(folder, d.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return std::nullopt;
        cannotWrite(systemError(errno));
    }
    if (S_ISDIR(st.st_mode)) cannotWrite(QStringLiteral("\"%1\" is a folder").arg(d.shown));
    if (!S_ISREG(st.st_mode)) cannotWrite(QStringLiteral("\"%1\" is %2, not a file").arg(d.shown, kindOf(st.st_mode)));
    return st;
}

// A hidden name next to the destination that nothing has yet; `take` tries to claim it.
template <class Take>
QByteArray claimFreeName(const QByteArray& name, Take&& take) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = '.' + name + '.';
        for (int i = 0; i < 6; ++i) candidate += kLetters[QRandomGenerator::global()->bounded(62)];
        candidate += ".part";
        if (take(candidate)) return candidate;
        if (errno != EEXIST) return {};
    }
    return {};
}

// The file being written: created without a name in the destination folder and reached only
// through its descriptor until it is complete. Where the file system has no unnamed files, a
// hidden name claimed exclusively stands in (and is removed again on failure).
class PendingFile {
public:
    PendingFile(int folder, QByteArray name) : folder_(folder), name_(std::move(name)) {
        fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);  // the umask applies
        if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            hidden_ = claimFreeName(name_, [&](const QByteArray& candidate) {
                fd_ = ::openat(folder_, candidate.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
                return fd_ >= 0;
            });
        }
        if (fd_ < 0) cannotWrite(systemError(errno));
    }
    ~PendingFile() {
        if (!hidden_.isEmpty()) ::unlinkat(folder_, hidden_.constData(), 0);
        ::close(fd_);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    int descriptor() const { return fd_; }
    // The name under which the workbook library writes into this very file.
    QByteArray libraryPath() const { return "/proc/self/fd/" + QByteArray::number(fd_); }

    // The replaced file's owner (where this process may give it) and permission bits.
    void takeOver(const struct stat& old) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            if (::fchown(fd_, old.st_uid, old.st_gid) != 0) {
                // Only a privileged process may give a file away; the file stays this user's.
            }
        if (::fchmod(fd_, old.st_mode & 01777) != 0) cannotWrite(systemError(errno));
    }

    // Gives the complete file its name: a new name is taken only if still free; a replaced file
    // is exchanged in one step, and only while it is still a file.
    void putInPlace(bool replacing) {
        if (::fsync(fd_) != 0) cannotWrite(systemError(errno));
        QByteArray linked = hidden_;
        if (linked.isEmpty()) {
            if (!replacing) {
                if (!linkAs(name_)) cannotWrite(systemError(errno));
                return;
            }
            linked = claimFreeName(name_, [&](const QByteArray& candidate) { return linkAs(candidate); });
            if (linked.isEmpty()) cannotWrite(systemError(errno));
        }
        hidden_.clear();
        struct stat st {};
        int error = 0;
        if (::fstatat(folder_, name_.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (!replacing || !S_ISREG(st.st_mode)) error = EEXIST;
        } else if (errno != ENOENT) {
            error = errno;
        }
        if (error == 0 && ::renameat(folder_, linked.constData(), folder_, name_.constData()) != 0) error = errno;
        if (error != 0) {
            ::unlinkat(folder_, linked.constData(), 0);
            cannotWrite(systemError(error));
        }
    }

private:
    bool linkAs(const QByteArray& name) {
        if (::linkat(AT_FDCWD, libraryPath().constData(), folder_, name.constData(), AT_SYMLINK_FOLLOW) == 0) return true;
        const int error = errno;
        if (error != EEXIST && ::linkat(fd_, "", folder_, name.constData(), AT_EMPTY_PATH) == 0) return true;
        errno = error;
        return false;
    }

    int folder_;
    QByteArray name_;
    int fd_ = -1;
    QByteArray hidden_;
};

// Writes the whole workbook at once into the file the library reaches by `name`.
void writeWhole(const MemoryWorkbook& workbook, const QByteArray& name) {
    std::size_t cells = 0;
    for (const SheetData& sheet : workbook.sheets())
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) cells += sheet.rows[r].cells;
    const xlsx::QuietLibrary quiet;
    xlsx::LibraryWorkbook writer(name, xlsx::isHuge(cells));
    std::string scratch;
    const auto& sheets = workbook.sheets();
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        lxw_worksheet* out = writer.addSheet(sheets[k].name);
        writer.finishSheet(out, sheets[k], static_cast<int>(k) + 1 == workbook.activeSheet());
        const SheetData& sheet = sheets[k];
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
            if (!sheet.holdsRow(r)) continue;
            const auto row = static_cast<long>(r + 1);
            if (const int level = sheet.rowLevel(r)) xlsx::check(writer.setRowLevel(out, row, level));
            visitRecord(workbook.record(sheet, r), [&](int c, const CellView& cell) {
                xlsx::check(writer.writeCell(out, row, c, cell, scratch, sheet.indent(r, c)));
            });
        }
    }
    writer.close();
}

}  // namespace

void checkOutputPath(const QString& path) {
    const Destination d = destinationOf(path);
    const Descriptor folder = openFolder(d);
    existingFile(folder.get(), d);
}

void exportXlsx(const MemoryWorkbook& workbook, const QString& path, XlsxStream* ahead) {
    const Destination d = destinationOf(path);
    const Descriptor folder = openFolder(d);
    const std::optional<struct stat> existing = existingFile(folder.get(), d);

    PendingFile file(folder.get(), d.name);
    if (!ahead || !ahead->finish(workbook, file.descriptor())) {
        if (ahead) ahead->abandon();  // what it wrote ahead goes before the workbook is written again
        writeWhole(workbook, file.libraryPath());
    }
    if (existing) file.takeOver(*existing);
    file.putInPlace(existing.has_value());
}

FilesAhead::FilesAhead() = default;
FilesAhead::~FilesAhead() = default;

void FilesAhead::start(MemoryWorkbook& workbook) {
    // A stream let go has no use any more, and its workbook's address may be another's by now.
    std::erase_if(streams_, [&](const auto& s) { return s.second.expired() || s.first == &workbook; });
    auto stream = std::make_shared<XlsxStream>();
    workbook.setRowSink(stream);
    streams_.emplace_back(&workbook, stream);
}

void FilesAhead::exportXlsx(const MemoryWorkbook& workbook, const QString& path) {
    std::shared_ptr<XlsxStream> stream;
    const auto it = std::find_if(streams_.begin(), streams_.end(), [&](const auto& s) { return s.first == &workbook; });
    if (it != streams_.end()) {
        stream = it->second.lock();
        streams_.erase(it);
    }
    workbook::exportXlsx(workbook, path, stream.get());
}

}  // namespace quorrix::importer::workbook
