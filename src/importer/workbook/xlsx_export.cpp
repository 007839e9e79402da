#include "importer/workbook/xlsx_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <xlsxwriter.h>

#include "importer/workbook/shown_values.h"
#include "platform/failure.h"

namespace quorrix::importer::workbook {

namespace {

constexpr int kPathFileAccessError = 75;

[[noreturn]] void cannotWrite(const QString& why) {
    throw Failure(kPathFileAccessError, QStringLiteral("The workbook could not be written: %1.").arg(why));
}

QString libraryError(lxw_error error) { return QString::fromUtf8(lxw_strerror(error)); }

// The temporary file: removed unless it was renamed into place.
class TemporaryName {
public:
    explicit TemporaryName(const QString& target) {
        const QFileInfo info(target);
        QTemporaryFile reserve(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX.part"));
        reserve.setAutoRemove(false);
        if (!reserve.open()) cannotWrite(reserve.errorString().toLower());
        path_ = reserve.fileName();
        // The finished file gets the permissions of any new file, not the private ones of a
        // temporary file.
        const mode_t mask = umask(0);
        umask(mask);
        ::chmod(QFile::encodeName(path_).constData(), 0666 & ~mask);
    }
    ~TemporaryName() {
        if (!path_.isEmpty()) QFile::remove(path_);
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    const QString& path() const { return path_; }
    void moveTo(const QString& target) {
        if (std::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) != 0)
            cannotWrite(QString::fromLocal8Bit(std::strerror(errno)).toLower());
        path_.clear();
    }

private:
    QString path_;
};

// A workbook being written, closed (and so freed) however the writing ends.
class Writer {
public:
    Writer(const QString& path, bool huge) {
        const QByteArray name = QFile::encodeName(path);
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
        const lxw_error error = workbook_close(book);
        if (error != LXW_NO_ERROR) cannotWrite(libraryError(error));
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
            text.assign(cell.text);
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

void exportXlsx(const MemoryWorkbook& workbook, const QString& path) {
    const QFileInfo target(path);
    if (path.isEmpty() || target.fileName().isEmpty()) cannotWrite(QStringLiteral("no file name was given"));
    if (!QFileInfo(target.absolutePath()).isDir())
        cannotWrite(QStringLiteral("the folder \"%1\" does not exist").arg(QDir::toNativeSeparators(target.absolutePath())));
    if (target.isDir()) cannotWrite(QStringLiteral("\"%1\" is a folder").arg(target.fileName()));

    // Parts of the file beyond 4 GB need the zip format's large extensions; smaller files keep
    // the plain format every reader knows.
    std::size_t cells = 0;
    for (const SheetData& sheet : workbook.sheets())
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) cells += sheet.rows[r].cells;
    const bool huge = cells > 20'000'000;

    TemporaryName temporary(path);
    {
        Writer writer(temporary.path(), huge);
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
    temporary.moveTo(path);
}

}  // namespace quorrix::importer::workbook
