#include "importer/workbook/xlsx_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
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

#include "importer/workbook/cell_text.h"
#include "importer/workbook/shown_values.h"
#include "platform/failure.h"

namespace quorrix::importer::workbook {

namespace {

constexpr int kPathFileAccessError = 75;

[[noreturn]] void cannotWrite(const QString& why) {
    throw Failure(kPathFileAccessError, QStringLiteral("The workbook could not be written: %1.").arg(why));
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)).toLower(); }

QString libraryError(lxw_error error) {
    QString text = QString::fromUtf8(lxw_strerror(error));
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
}

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
    QByteArray full = QFile::encodeName(target.absoluteFilePath());
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

Descriptor openFolder(const Destination& d) {
    Descriptor folder(::open(d.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            cannotWrite(QStringLiteral("the folder \"%1\" does not exist")
                            .arg(QDir::toNativeSeparators(QFile::decodeName(d.folder))));
        cannotWrite(systemError(errno));
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

// While it lives, the workbook library's own diagnostic lines go nowhere: its failures reach the
// user as one line through the Failure thrown.
class QuietLibrary {
public:
    QuietLibrary() {
        std::fflush(stderr);
        saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~QuietLibrary() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    QuietLibrary(const QuietLibrary&) = delete;
    QuietLibrary& operator=(const QuietLibrary&) = delete;

private:
    int saved_ = -1;
};

// A workbook being written, closed (and so freed) however the writing ends.
class Writer {
public:
    Writer(const QByteArray& name, bool huge) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;  // rows go out in order; nothing is kept twice
        options.use_zip64 = huge ? LXW_TRUE : LXW_FALSE;
        book_ = workbook_new_opt(name.constData(), &options);
        if (!book_) cannotWrite(QStringLiteral("the file could not be created"));
    }
    ~Writer() {
        if (book_) lxw_workbook_free(book_);  // abandoned: nothing more is written
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    lxw_workbook* book() const { return book_; }
    void close() {
        lxw_workbook* book = book_;
        book_ = nullptr;
        errno = 0;
        const lxw_error error = workbook_close(book);
        // The system's reason (a full disk, say) tells the user more than the library's.
        const int system = errno;
        if (error != LXW_NO_ERROR) cannotWrite(system != 0 ? systemError(system) : libraryError(error));
    }

private:
    lxw_workbook* book_ = nullptr;
};

void check(lxw_error error) {
    if (error != LXW_NO_ERROR) cannotWrite(libraryError(error));
}

lxw_format* numberFormat(lxw_workbook* book, const char* code) {
    lxw_format* format = workbook_add_format(book);
    if (!format) cannotWrite(QStringLiteral("out of memory"));
    format_set_num_format(format, code);
    return format;
}

void writeSheet(const MemoryWorkbook& workbook, int k, lxw_worksheet* out, lxw_format* dateTime, lxw_format* date) {
    const SheetData& sheet = workbook.sheet(k);
    for (std::size_t c = 0; c < sheet.widths.size(); ++c)
        if (sheet.widths[c] > 0)
            check(worksheet_set_column(out, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), sheet.widths[c], nullptr));
    const CellRange& s = sheet.selection;
    if (!(s.firstRow == 1 && s.firstColumn == 1 && s.lastRow == 1 && s.lastColumn == 1))
        worksheet_set_selection(out, static_cast<lxw_row_t>(s.firstRow - 1), static_cast<lxw_col_t>(s.firstColumn - 1),
                                static_cast<lxw_row_t>(s.lastRow - 1), static_cast<lxw_col_t>(s.lastColumn - 1));

    std::string text;
    workbook.visitCells(k, [&](long r, int c, const CellView& cell) {
        const auto row = static_cast<lxw_row_t>(r - 1);
        const auto column = static_cast<lxw_col_t>(c - 1);
        switch (cell.kind) {
        case CellView::Kind::Text:
            text = fileCellText(cell.text);
            check(worksheet_write_string(out, row, column, text.c_str(), nullptr));
            break;
        case CellView::Kind::Number:
            check(worksheet_write_number(out, row, column, cell.number, nullptr));
            break;
        case CellView::Kind::DateTime:
            check(worksheet_write_number(out, row, column, shown::dateSerial(cell.msecs),
                                         shown::isMidnight(cell.msecs) ? date : dateTime));
            break;
        case CellView::Kind::Empty:
            break;
        }
    });
}

}  // namespace

void checkOutputPath(const QString& path) {
    const Destination d = destinationOf(path);
    const Descriptor folder = openFolder(d);
    existingFile(folder.get(), d);
}

void exportXlsx(const MemoryWorkbook& workbook, const QString& path) {
    const Destination d = destinationOf(path);
    const Descriptor folder = openFolder(d);
    const std::optional<struct stat> existing = existingFile(folder.get(), d);

    // Parts of the file beyond 4 GB need the zip format's large extensions; smaller files keep
    // the plain format every reader knows.
    std::size_t cells = 0;
    for (const SheetData& sheet : workbook.sheets())
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) cells += sheet.rows[r].cells;
    const bool huge = cells > 20'000'000;

    PendingFile file(folder.get(), d.name);
    {
        const QuietLibrary quiet;
        Writer writer(file.libraryPath(), huge);
        lxw_format* dateTime = numberFormat(writer.book(), "m/d/yyyy h:mm");
        lxw_format* date = numberFormat(writer.book(), "m/d/yyyy");
        const auto& sheets = workbook.sheets();
        for (std::size_t k = 0; k < sheets.size(); ++k) {
            const QByteArray name = sheets[k].name.toUtf8();
            lxw_worksheet* out = workbook_add_worksheet(writer.book(), name.constData());
            if (!out) cannotWrite(QStringLiteral("the sheet name \"%1\" is not accepted").arg(sheets[k].name));
            if (static_cast<int>(k) + 1 == workbook.activeSheet()) worksheet_activate(out);
            writeSheet(workbook, static_cast<int>(k) + 1, out, dateTime, date);
        }
        writer.close();
    }
    if (existing) file.takeOver(*existing);
    file.putInPlace(existing.has_value());
}

}  // namespace quorrix::importer::workbook
