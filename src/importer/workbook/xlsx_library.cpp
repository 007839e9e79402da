#include "importer/workbook/xlsx_library.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <zlib.h>

#include "importer/workbook/cell_text.h"
#include "importer/workbook/shown_values.h"
#include "platform/failure.h"

namespace quorrix::importer::workbook::xlsx {

namespace {

constexpr int kPathFileAccessError = 75;
// The deflate level the parts are packed with (see deflateInit2_ below). Against the library's
// fixed level 6, whose long searches for matches miss the processor's cache, it spares 10-17 % of
// a whole import's processor time (bench/run_sheet_options' plans) for a file 2 % larger.
constexpr int kPackingLevel = 4;
// Set on the thread that closes a workbook while the library packs its parts.
thread_local bool packing = false;
// The buffer of each sheet's row file: the rows go out, and come back when the file is packed, in
// a few large writes and reads instead of one for every 4 KB.
constexpr std::size_t kRowFileBuffer = 64 * 1024;

QString libraryError(lxw_error error) {
    QString text = QString::fromUtf8(lxw_strerror(error));
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
}

lxw_format* cellFormat(lxw_workbook* book, const char* code, int indent) {
    lxw_format* format = workbook_add_format(book);
    if (!format) cannotWrite(QStringLiteral("out of memory"));
    if (code) format_set_num_format(format, code);
    if (indent > 0) format_set_indent(format, static_cast<uint8_t>(indent));
    return format;
}

// The library keeps a temporary file for each sheet's rows and closes it only once it has copied
// the rows into the workbook's file: the files of sheets without a cell, and all of them when a
// workbook is abandoned, would stay open until the process ends. They are closed here instead,
// where nothing more will be read from them.
void closeRowFiles(lxw_workbook* book, bool all) {
    lxw_worksheet* sheet = nullptr;
    LXW_FOREACH_WORKSHEET(sheet, book) {
        if (sheet->optimize_tmpfile && (all || sheet->dim_rowmin == LXW_ROW_MAX)) {
            std::fclose(sheet->optimize_tmpfile);
            sheet->optimize_tmpfile = nullptr;
        }
    }
}

// ---- the library's temporary files -------------------------------------------------------------
//
// libxlsxwriter keeps each sheet's rows, and each part of the file while it packs it, in temporary
// files, and ignores every failure to write them: it rewinds such a file (which forgets its error)
// and packs whatever reached the disk, so that a full temporary folder gave a workbook of empty
// parts that was called written. All its temporary files come from tmpfileplus(), which the
// library exports and calls through its symbol table: this program defines it (the dynamic
// linker prefers the program's definition), so that every temporary file is a stream whose every
// read and write is checked. Each workbook has a private folder of its own for them (its tmpdir
// option), by which its files are told apart; the first failure on any of them, or on making
// one, fails the workbook.

using Failed = std::shared_ptr<std::atomic<int>>;  // the first errno, 0 while all is well

struct Folders {
    std::mutex mutex;
    std::map<std::string, Failed> failed;
};
Folders& folders() {
    static Folders all;
    return all;
}

Failed failedOf(const char* folder) {
    if (!folder) return nullptr;
    Folders& all = folders();
    const std::lock_guard lock(all.mutex);
    const auto found = all.failed.find(folder);
    return found == all.failed.end() ? nullptr : found->second;
}

void note(const Failed& failed, int error) {
    if (!failed) return;
    int none = 0;
    failed->compare_exchange_strong(none, error != 0 ? error : EIO);
}

struct TemporaryFile {
    int fd;
    Failed failed;
};

ssize_t readTemporary(void* cookie, char* buffer, size_t size) {
    auto* file = static_cast<TemporaryFile*>(cookie);
    for (;;) {
        const ssize_t n = ::read(file->fd, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) note(file->failed, errno);
        return n;
    }
}

ssize_t writeTemporary(void* cookie, const char* buffer, size_t size) {
    auto* file = static_cast<TemporaryFile*>(cookie);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(file->fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            note(file->failed, n < 0 ? errno : ENOSPC);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

int seekTemporary(void* cookie, off64_t* offset, int whence) {
    auto* file = static_cast<TemporaryFile*>(cookie);
    const off64_t at = ::lseek64(file->fd, *offset, whence);
    if (at < 0) {
        note(file->failed, errno);
        return -1;
    }
    *offset = at;
    return 0;
}

int closeTemporary(void* cookie) {
    auto* file = static_cast<TemporaryFile*>(cookie);
    ::close(file->fd);
    delete file;
    return 0;
}

// A file without a name in `folder`, open for reading and writing; -1 with errno when none.
int unnamedFile(const char* folder) {
    int fd = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    // A file system without unnamed files: a name, given up at once.
    std::string name = std::string(folder) + "/quorrix-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

}  // namespace

void cannotWrite(const QString& why) {
    throw Failure(kPathFileAccessError, QStringLiteral("The workbook could not be written: %1.").arg(why));
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)).toLower(); }

void check(lxw_error error) {
    if (error != LXW_NO_ERROR) cannotWrite(libraryError(error));
}

bool isHuge(std::size_t cells) { return cells > 20'000'000; }

QuietLibrary::QuietLibrary() {
    std::fflush(stderr);
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
}

QuietLibrary::~QuietLibrary() {
    std::fflush(stderr);
    if (saved_ >= 0) {
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
}

LibraryWorkbook::TemporaryFolder::TemporaryFolder() {
    QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/quorrix-XXXXXX";
    if (!::mkdtemp(folder.data())) cannotWrite(systemError(errno));
    path = folder;
    Folders& all = folders();
    const std::lock_guard lock(all.mutex);
    all.failed[path.toStdString()] = failed;
}

LibraryWorkbook::TemporaryFolder::~TemporaryFolder() {
    {
        Folders& all = folders();
        const std::lock_guard lock(all.mutex);
        all.failed.erase(path.toStdString());
    }
    ::rmdir(path.constData());
}

LibraryWorkbook::LibraryWorkbook(const QByteArray& name, bool huge) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = huge ? LXW_TRUE : LXW_FALSE;
    options.tmpdir = temporary_.path.data();
    book_ = workbook_new_opt(name.constData(), &options);
    if (!book_) cannotWrite(QStringLiteral("the file could not be created"));
    const char* codes[kFormatKinds] = {nullptr, "m/d/yyyy h:mm", "m/d/yyyy"};
    for (int kind = 0; kind < kFormatKinds; ++kind)
        for (int indent = kind == kGeneral ? 1 : 0; indent <= kMaxIndentLevel; ++indent)
            formats_[kind][indent] = cellFormat(book_, codes[kind], indent);
}

LibraryWorkbook::~LibraryWorkbook() {
    if (!book_) return;
    // Abandoned: nothing more is written.
    closeRowFiles(book_, true);
    lxw_workbook_free(book_);
}

void LibraryWorkbook::checkTemporaryFiles() const {
    if (const int error = temporary_.failed->load()) cannotWrite(systemError(error));
}


lxw_worksheet* LibraryWorkbook::addSheet(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    lxw_worksheet* out = workbook_add_worksheet(book_, utf8.constData());
    if (!out) {
        checkTemporaryFiles();  // the sheet's temporary file could not be made
        cannotWrite(QStringLiteral("the sheet name \"%1\" is not accepted").arg(name));
    }
    if (out->optimize_tmpfile) {
        auto buffer = std::make_unique<char[]>(kRowFileBuffer);
        if (std::setvbuf(out->optimize_tmpfile, buffer.get(), _IOFBF, kRowFileBuffer) == 0)
            rowBuffers_.push_back(std::move(buffer));
    }
    return out;
}

void LibraryWorkbook::finishSheet(lxw_worksheet* out, const SheetData& sheet, bool active) {
    if (active) worksheet_activate(out);
    for (std::size_t c = 0; c < sheet.widths.size(); ++c)
        if (sheet.widths[c] > 0)
            check(worksheet_set_column(out, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), sheet.widths[c], nullptr));
    if (sheet.frozenRows > 0 || sheet.frozenColumns > 0)
        worksheet_freeze_panes(out, static_cast<lxw_row_t>(sheet.frozenRows), static_cast<lxw_col_t>(sheet.frozenColumns));
    const CellRange& s = sheet.selection;
    if (!(s.firstRow == 1 && s.firstColumn == 1 && s.lastRow == 1 && s.lastColumn == 1))
        worksheet_set_selection(out, static_cast<lxw_row_t>(s.firstRow - 1), static_cast<lxw_col_t>(s.firstColumn - 1),
                                static_cast<lxw_row_t>(s.lastRow - 1), static_cast<lxw_col_t>(s.lastColumn - 1));
    if (const auto& f = sheet.autoFilter)
        check(worksheet_autofilter(out, static_cast<lxw_row_t>(f->firstRow - 1), static_cast<lxw_col_t>(f->firstColumn - 1),
                                   static_cast<lxw_row_t>(f->lastRow - 1), static_cast<lxw_col_t>(f->lastColumn - 1)));
    // Outline symbols shown, summary columns to the right as usual, no automatic styles.
    if (sheet.summaryRowAbove) worksheet_outline_settings(out, LXW_TRUE, LXW_FALSE, LXW_TRUE, LXW_FALSE);
}

lxw_error LibraryWorkbook::setRowLevel(lxw_worksheet* out, long row, int level) {
    lxw_row_col_options options{};
    options.level = static_cast<uint8_t>(level);
    return worksheet_set_row_opt(out, static_cast<lxw_row_t>(row - 1), LXW_DEF_ROW_HEIGHT, nullptr, &options);
}

lxw_error LibraryWorkbook::writeCell(lxw_worksheet* out, long r, int c, const CellView& cell, std::string& scratch,
                                     int indent) const {
    const auto row = static_cast<lxw_row_t>(r - 1);
    const auto column = static_cast<lxw_col_t>(c - 1);
    const auto& general = formats_[kGeneral];
    switch (cell.kind) {
    case CellView::Kind::Text:
        fileCellText(cell.text, scratch);
        return worksheet_write_string(out, row, column, scratch.c_str(), general[indent]);
    case CellView::Kind::Number: return worksheet_write_number(out, row, column, cell.number, general[indent]);
    case CellView::Kind::DateTime:
        return worksheet_write_number(out, row, column, shown::dateSerial(cell.msecs),
                                      formats_[shown::isMidnight(cell.msecs) ? kDate : kDateTime][indent]);
    case CellView::Kind::Empty: break;
    }
    return LXW_NO_ERROR;
}

void LibraryWorkbook::close() {
    lxw_workbook* book = book_;
    book_ = nullptr;
    closeRowFiles(book, false);
    errno = 0;
    packing = true;
    const lxw_error error = workbook_close(book);
    packing = false;
    // The system's reason (a full disk, say) tells the user more than the library's.
    const int system = errno;
    checkTemporaryFiles();
    if (error != LXW_NO_ERROR) cannotWrite(system != 0 ? systemError(system) : libraryError(error));
}

}  // namespace quorrix::importer::workbook::xlsx

// The library's maker of temporary files (see above). It asks for unnamed files only; its
// folder, then TMPDIR's, then /tmp, as the library's own does. A workbook's private folder is
// the only one tried for that workbook's files.
extern "C" FILE* tmpfileplus(const char* dir, const char* prefix, char** pathname, int keep) {
    using namespace quorrix::importer::workbook::xlsx;
    static_cast<void>(prefix);
    if (pathname || keep) {
        errno = EINVAL;
        return nullptr;
    }
    const Failed failed = failedOf(dir);
    const char* tried[] = {dir, failed ? nullptr : std::getenv("TMPDIR"), failed ? nullptr : "/tmp"};
    int fd = -1;
    for (const char* folder : tried) {
        if (folder && *folder && (fd = unnamedFile(folder)) >= 0) break;
    }
    if (fd < 0) {
        note(failed, errno);
        return nullptr;
    }
    auto* file = new TemporaryFile{fd, failed};
    FILE* stream = ::fopencookie(file, "w+", {readTemporary, writeTemporary, seekTemporary, closeTemporary});
    if (!stream) {
        note(failed, errno);
        closeTemporary(file);
    }
    return stream;
}

// zlib's set-up of a deflate stream, which the library's zip writer calls with the default level
// (through the symbol table, like tmpfileplus above). While a workbook is packed, the default
// becomes kPackingLevel; every other caller, and every level asked for by number, is passed on.
extern "C" int deflateInit2_(z_streamp stream, int level, int method, int windowBits, int memLevel, int strategy,
                             const char* version, int streamSize) {
    using Init = int (*)(z_streamp, int, int, int, int, int, const char*, int);
    static const auto zlibs = reinterpret_cast<Init>(::dlsym(RTLD_NEXT, "deflateInit2_"));
    if (!zlibs) return Z_VERSION_ERROR;
    namespace xlsx = quorrix::importer::workbook::xlsx;
    if (level == Z_DEFAULT_COMPRESSION && xlsx::packing) level = xlsx::kPackingLevel;
    return zlibs(stream, level, method, windowBits, memLevel, strategy, version, streamSize);
}
