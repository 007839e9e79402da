#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "importer/workbook/memory_workbook.h"
#include "importer/workbook/presenters.h"
#include "importer/workbook/xlsx_export.h"
#include "platform/application_title.h"
#include "platform/failure.h"
#include "support/full_folder.h"
#include "support/scripted_dialogs.h"
#include "xlsx_reading.h"

using quorrix::Failure;
using namespace quorrix::importer;
using namespace quorrix::importer::workbook;
namespace xlsx = quorrix::testing::xlsx;

namespace {

QDateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min, s), Qt::UTC);
}

// The spreadsheet's serial number of a date-time, counted here from its own definition: days
// since 1899-12-31 as day 1, with the leap day of 1900 counted for later dates.
double serialOf(const QDateTime& t) {
    double days = QDate(1899, 12, 31).daysTo(t.date());
    if (t.date() >= QDate(1900, 3, 1)) days += 1;
    return days + t.time().msecsSinceStartOfDay() / 86400000.0;
}

QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& f) {
        return f.description();
    }
    return QStringLiteral("<no failure>");
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A workbook as the sheet-per-file layout leaves it: the temporary sheets gone, two task sheets,
// the first selected, the last fitted.
std::shared_ptr<MemoryWorkbook> runLikeWorkbook() {
    auto settings = std::make_shared<SpreadsheetSettings>(SpreadsheetSettings{false});
    auto book = std::make_shared<MemoryWorkbook>(settings);
    book->setSheetName(1, QStringLiteral("Temp Sheet xx1"));
    for (int file = 0; file < 2; ++file) {
        book->addSheetAfterLast();
        book->setActiveSheetCell(1, 1, QStringLiteral("Task Name"));
        book->setActiveSheetCell(1, 2, QStringLiteral("Duration"));
        book->setActiveSheetCell(1, 3, QStringLiteral("Start Date"));
        book->setActiveSheetCell(1, 4, QStringLiteral("Finish Date"));
        book->setActiveSheetCell(2, 1, QString::fromUtf8("R\xC3\xA9sum\xC3\xA9 <&> \"q\""));
        book->setActiveSheetCell(2, 2, 480.0);
        book->setActiveSheetCell(2, 3, at(2024, 3, 5, 8));
        book->setActiveSheetCell(2, 4, at(2024, 3, 6));
        book->setActiveSheetCell(3, 2, 0.25);
        book->setActiveSheetCell(3, 3, at(1900, 2, 28, 12));
    }
    book->autoFitActiveSheetColumns();
    book->selectActiveSheetRange(QStringLiteral("B3"));
    book->deleteSheet(QStringLiteral("Temp Sheet xx1"));
    book->deleteSheet(QStringLiteral("Sheet2"));
    book->deleteSheet(QStringLiteral("Sheet3"));
    book->selectSheet(1);
    return book;
}

}  // namespace

TEST(XlsxExport, EverythingTheWorkbookHoldsReachesTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.xlsx"));
    const auto book = runLikeWorkbook();
    exportXlsx(*book, path);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("out.xlsx")});  // nothing else left behind

    const xlsx::Book got = xlsx::read(path);
    ASSERT_EQ(got.sheets.size(), 2u);
    EXPECT_EQ(got.sheets[0].name, QStringLiteral("Sheet4"));
    EXPECT_EQ(got.sheets[1].name, QStringLiteral("Sheet5"));
    EXPECT_EQ(got.activeTab, 0);
    EXPECT_TRUE(got.sheets[0].tabSelected);
    EXPECT_FALSE(got.sheets[1].tabSelected);

    for (const xlsx::Sheet& sheet : got.sheets) {
        SCOPED_TRACE(sheet.name.toStdString());
        ASSERT_EQ(sheet.cells.size(), 10u);
        EXPECT_EQ(sheet.cells.at("A1").text, QStringLiteral("Task Name"));
        EXPECT_EQ(sheet.cells.at("D1").text, QStringLiteral("Finish Date"));
        EXPECT_EQ(sheet.cells.at("A2").text, QString::fromUtf8("R\xC3\xA9sum\xC3\xA9 <&> \"q\""));
        EXPECT_TRUE(sheet.cells.at("B2").type.isEmpty() || sheet.cells.at("B2").type == QLatin1String("n"));
        EXPECT_DOUBLE_EQ(sheet.cells.at("B2").number, 480);
        EXPECT_TRUE(sheet.cells.at("B2").format.isEmpty());
        EXPECT_DOUBLE_EQ(sheet.cells.at("B3").number, 0.25);
        EXPECT_NEAR(sheet.cells.at("C2").number, serialOf(at(2024, 3, 5, 8)), 1e-9);
        EXPECT_EQ(sheet.cells.at("C2").format, QStringLiteral("m/d/yyyy h:mm"));
        EXPECT_NEAR(sheet.cells.at("D2").number, serialOf(at(2024, 3, 6)), 1e-9);
        EXPECT_EQ(sheet.cells.at("D2").format, QStringLiteral("m/d/yyyy"));
        EXPECT_NEAR(sheet.cells.at("C3").number, 59.5, 1e-9);  // before the spreadsheet's leap day
    }
    // Only the last sheet was fitted; its selection is B3, the other's the default A1.
    EXPECT_TRUE(got.sheets[0].widths.empty());
    ASSERT_EQ(got.sheets[1].widths.size(), 4u);
    for (int c = 1; c <= 4; ++c) {
        // The file holds the width the spreadsheet displays: pixels / 7, in 1/256 steps.
        const double expectedPixels = *book->columnWidth(2, c) * 7 + 5;
        EXPECT_NEAR(got.sheets[1].widths.at(c) * 7, expectedPixels, 7.0 / 256 + 1e-9) << c;
    }
    EXPECT_GT(got.sheets[1].widths.at(3), got.sheets[1].widths.at(2));  // "3/5/2024 8:00" is wider than "Duration"
    EXPECT_EQ(got.sheets[1].activeCell, QStringLiteral("B3"));
    EXPECT_TRUE(got.sheets[0].activeCell.isEmpty() || got.sheets[0].activeCell == QLatin1String("A1"));
}

TEST(XlsxExport, TheActiveSheetAndOneSheetLayout) {
    QTemporaryDir dir;
    MemoryWorkbook book;
    book.setActiveSheetCell(1, 1, QStringLiteral("Task Name"));
    book.setActiveSheetCell(1048576, 3, 1.5);
    book.autoFitActiveSheetColumns();
    book.selectActiveSheetRange(QStringLiteral("A1"));
    book.addSheetAfterLast();  // Sheet4 is active now
    const QString path = dir.filePath(QStringLiteral("one.xlsx"));
    exportXlsx(book, path);
    const xlsx::Book got = xlsx::read(path);
    ASSERT_EQ(got.sheets.size(), 4u);
    EXPECT_EQ(got.activeTab, 3);
    EXPECT_TRUE(got.sheets[3].tabSelected);
    for (int k = 0; k < 3; ++k) EXPECT_FALSE(got.sheets[k].tabSelected) << k;  // never a group of sheets
    EXPECT_EQ(got.sheets[0].cells.size(), 2u);
    EXPECT_DOUBLE_EQ(got.sheets[0].cells.at("C1048576").number, 1.5);
    EXPECT_EQ(got.sheets[0].widths.size(), 2u);  // A and C fitted, B untouched
    EXPECT_EQ(got.sheets[0].widths.count(2), 0u);
}

TEST(XlsxExport, ReplacesOnlyWhenCompleteAndFailsOnOneLine) {
    QTemporaryDir dir;
    MemoryWorkbook book;
    book.setActiveSheetCell(1, 1, QStringLiteral("new"));
    const QString path = dir.filePath(QStringLiteral("existing.xlsx"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    exportXlsx(book, path);
    EXPECT_EQ(xlsx::read(path).sheets[0].cells.at("A1").text, QStringLiteral("new"));
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("existing.xlsx")});
    // The finished file has the permissions of any new file, not a temporary file's.
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/out.xlsx"));
    const QString text = failureOf([&] { exportXlsx(book, missingFolder); });
    EXPECT_TRUE(text.startsWith(QLatin1String("The workbook could not be written: the folder"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));

    QDir(dir.path()).mkdir(QStringLiteral("taken.xlsx"));
    EXPECT_EQ(failureOf([&] { exportXlsx(book, dir.filePath(QStringLiteral("taken.xlsx"))); }),
              QStringLiteral("The workbook could not be written: \"taken.xlsx\" is a folder."));
    EXPECT_EQ(failureOf([&] { exportXlsx(book, QString()); }),
              QStringLiteral("The workbook could not be written: no file name was given."));

    // A sheet name the file format refuses never leaves a half-written file behind.
    if (geteuid() != 0) {
        const QString locked = dir.filePath(QStringLiteral("locked"));
        QDir(dir.path()).mkdir(QStringLiteral("locked"));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_NE(failureOf([&] { exportXlsx(book, locked + QStringLiteral("/out.xlsx")); }), QStringLiteral("<no failure>"));
        EXPECT_TRUE(entriesOf(locked).isEmpty());
    }
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("existing.xlsx")});
}

TEST(XlsxExport, EveryTextReadsBackExactlyAndEveryPartIsStrictXml) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("names.xlsx"));
    const QStringList names = {
        QStringLiteral("a") + QChar(0xFFFE) + QStringLiteral("b"),
        QString(QChar(0xFFFF)),
        QStringLiteral("ctl\x01\x0b\x1f end"),
        QString(QChar(0)) + QStringLiteral("after nul"),
        QStringLiteral("cr\r\nlf\ttab"),
        QStringLiteral("_x0041_ stays literal"),
        QStringLiteral("lower _x00e9_ and _x005F_ and __x0042__"),
        QStringLiteral("not escapes: _X0041_ _x004_ _x00G1_ x_"),
        QString::fromUtf8("R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 <&>"),
    };
    MemoryWorkbook book;
    for (int i = 0; i < names.size(); ++i) book.setActiveSheetCell(i + 1, 1, names[i]);
    exportXlsx(book, path);

    for (const char* member : {"xl/worksheets/sheet1.xml", "xl/workbook.xml", "[Content_Types].xml"})
        EXPECT_EQ(xlsx::strictXmlError(xlsx::part(path, member)), std::string()) << member;
    const auto got = xlsx::read(path);
    for (int i = 0; i < names.size(); ++i) {
        const QString cell = QStringLiteral("A%1").arg(i + 1);
        ASSERT_EQ(got.sheets[0].cells.count(cell), 1u) << i;
        EXPECT_EQ(got.sheets[0].cells.at(cell).text, names[i]) << i;
    }
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("names.xlsx")});

    // A cell holds at most 32,767 characters as the file carries them: each character written as
    // "_xHHHH_" counts seven.
    const QString fits(4681, QChar(1));
    const QString tooMany(4682, QChar(1));
    book.setActiveSheetCell(20, 1, fits);
    EXPECT_NE(failureOf([&] { book.setActiveSheetCell(21, 1, tooMany); }), QStringLiteral("<no failure>"));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 21, 1)));
    exportXlsx(book, path);
    EXPECT_EQ(xlsx::read(path).sheets[0].cells.at("A20").text, fits);
    // No sheet can be named with a character the file cannot carry.
    EXPECT_NE(failureOf([&] { book.setSheetName(1, QStringLiteral("S") + QChar(0xFFFE)); }), QStringLiteral("<no failure>"));
}

namespace {

// The size of `data` deflated raw, as a zip member is, at `level` (through deflateInit2_).
std::size_t deflatedSize(const std::string& data, int level) {
    z_stream z{};
    std::string out(data.size() + 1024, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const bool done = deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK &&
                      deflate(&z, Z_FINISH) == Z_STREAM_END;
    deflateEnd(&z);
    return done ? z.total_out : 0;
}

// The compressed size the zip's central directory gives `member`, 0 when it has none.
std::size_t storedSize(const QString& path, const std::string& member) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray zip = file.readAll();
    const auto u16 = [&](qsizetype at) { return quint16(uchar(zip[at])) | quint16(uchar(zip[at + 1])) << 8; };
    const auto u32 = [&](qsizetype at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0 && at + 46 <= zip.size(); at = zip.indexOf("PK\x01\x02", at + 4))
        if (zip.mid(at + 46, u16(at + 28)).toStdString() == member) return u32(at + 20);
    return 0;
}

}  // namespace

// The library packs with zlib's default level; the program's packing level replaces it there only.
TEST(XlsxExport, PartsArePackedAtThePackingLevelAndOtherDeflatingKeepsTheDefault) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("packed.xlsx"));
    MemoryWorkbook book;
    for (int row = 1; row <= 3000; ++row) {
        book.setActiveSheetCell(row, 1, QStringLiteral("Task %1 of phase %2").arg(row * 7919 % 3001).arg(row % 13));
        book.setActiveSheetCell(row, 2, row * 37.5);
        book.setActiveSheetCell(row, 3, at(2024, 1 + row % 12, 1 + row % 28, row % 24));
    }
    exportXlsx(book, path);
    const std::string sheet = xlsx::part(path, "xl/worksheets/sheet1.xml");
    ASSERT_GT(sheet.size(), 100000u);
    EXPECT_EQ(storedSize(path, "xl/worksheets/sheet1.xml"), deflatedSize(sheet, 4));
    EXPECT_NE(deflatedSize(sheet, 4), deflatedSize(sheet, 6));
    EXPECT_EQ(deflatedSize(sheet, Z_DEFAULT_COMPRESSION), deflatedSize(sheet, 6));
}

namespace {

QString kindFailure(const QString& name, const QString& kind) {
    return QStringLiteral("The workbook could not be written: \"%1\" is %2, not a file.").arg(name, kind);
}

mode_t modeOf(const QString& path, bool follow = true) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if ((follow ? stat(name.constData(), &st) : lstat(name.constData(), &st)) != 0) return 0;
    return st.st_mode;
}

}  // namespace

TEST(XlsxExport, OnlyFilesAreReplacedAndLinksAndPermissionsStay) {
    QTemporaryDir dir;
    MemoryWorkbook book;
    book.setActiveSheetCell(1, 1, QStringLiteral("new"));
    const QDir folder(dir.path());

    // A device and a named pipe are refused before anything is written, and stay what they are.
    EXPECT_EQ(failureOf([&] { exportXlsx(book, QStringLiteral("/dev/null")); }),
              kindFailure(QStringLiteral("null"), QStringLiteral("a device")));
    EXPECT_TRUE(S_ISCHR(modeOf(QStringLiteral("/dev/null"))));
    const QString fifo = dir.filePath(QStringLiteral("pipe.xlsx"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(failureOf([&] { checkOutputPath(fifo); }), kindFailure(QStringLiteral("pipe.xlsx"), QStringLiteral("a named pipe")));
    EXPECT_EQ(failureOf([&] { exportXlsx(book, fifo); }), kindFailure(QStringLiteral("pipe.xlsx"), QStringLiteral("a named pipe")));
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));

    // A link to a file: the file it leads to is replaced, with its permission bits; the link stays.
    folder.mkdir(QStringLiteral("real"));
    const QString real = dir.filePath(QStringLiteral("real/target.xlsx"));
    {
        QFile f(real);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    ASSERT_EQ(chmod(QFile::encodeName(real).constData(), 0640), 0);
    const QString link = dir.filePath(QStringLiteral("link.xlsx"));
    ASSERT_TRUE(QFile::link(QStringLiteral("real/target.xlsx"), link));
    checkOutputPath(link);
    exportXlsx(book, link);
    EXPECT_TRUE(S_ISLNK(modeOf(link, false)));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), real);
    EXPECT_EQ(xlsx::read(real).sheets[0].cells.at("A1").text, QStringLiteral("new"));
    EXPECT_EQ(modeOf(real) & 07777, 0640u);

    // A link to a named pipe or to nothing is refused, and nothing is created.
    const QString toPipe = dir.filePath(QStringLiteral("to-pipe.xlsx"));
    ASSERT_TRUE(QFile::link(fifo, toPipe));
    EXPECT_EQ(failureOf([&] { exportXlsx(book, toPipe); }), kindFailure(QStringLiteral("to-pipe.xlsx"), QStringLiteral("a named pipe")));
    const QString dangling = dir.filePath(QStringLiteral("dangling.xlsx"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone.xlsx")), dangling));
    EXPECT_EQ(failureOf([&] { exportXlsx(book, dangling); }),
              QStringLiteral("The workbook could not be written: \"dangling.xlsx\" is a link that leads to no file."));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("gone.xlsx"))));

    // A plain file keeps its own permission bits too.
    const QString plain = dir.filePath(QStringLiteral("plain.xlsx"));
    exportXlsx(book, plain);
    ASSERT_EQ(chmod(QFile::encodeName(plain).constData(), 0604), 0);
    exportXlsx(book, plain);
    EXPECT_EQ(modeOf(plain) & 07777, 0604u);

    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
    EXPECT_TRUE(S_ISLNK(modeOf(dangling, false)));
    // Files, hidden ones included: nothing was left behind.
    EXPECT_EQ(entriesOf(dir.path()), (QStringList{"link.xlsx", "plain.xlsx", "to-pipe.xlsx"}));
    EXPECT_EQ(entriesOf(dir.filePath(QStringLiteral("real"))), QStringList{QStringLiteral("target.xlsx")});
}

TEST(XlsxExport, AFailedWriteLeavesNothingAndSaysWhy) {
    QTemporaryDir dir;
    MemoryWorkbook book, ahead;
    FilesAhead files;
    files.start(ahead);  // the same rows, its file written while they are
    for (int r = 1; r <= 3000; ++r)
        for (MemoryWorkbook* b : {&book, &ahead}) b->setActiveSheetCell(r, 1, QStringLiteral("task %1 with a longer name").arg(r));
    const QString existing = dir.filePath(QStringLiteral("existing.xlsx"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    // Every file this process writes may hold 4 KB at most: the workbook cannot be written.
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString newText = failureOf([&] { exportXlsx(book, dir.filePath(QStringLiteral("new.xlsx"))); });
    const QString replaceText = failureOf([&] { exportXlsx(book, existing); });
    const QString aheadText = failureOf([&] { files.exportXlsx(ahead, existing); });
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(newText, QStringLiteral("The workbook could not be written: file too large."));
    EXPECT_EQ(replaceText, newText);
    EXPECT_EQ(aheadText, newText);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("existing.xlsx")});
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old contents"));
}

TEST(XlsxExport, AFullTemporaryFolderFailsTheWriteInBothLayoutsAndTheWindowShowsNothing) {
    QTemporaryDir dir;
    quorrix::testing::FullFolder full;
    if (!full.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    const quorrix::testing::ScopedVariable tmpdir("TMPDIR", QFile::encodeName(full.path()));

    // One sheet of many rows; several sheets: each written at the end and written ahead.
    FilesAhead files;
    // `added` is told of the new workbook, as the spreadsheet tells its presenter.
    const auto filled = [&files](int sheets, int rows, bool ahead, WorkbookPresenter* added = nullptr) {
        auto book = std::make_unique<MemoryWorkbook>();
        if (added) added->workbookAdded(*book);
        else if (ahead) files.start(*book);
        for (int s = 1; s <= sheets; ++s) {
            if (s > 1) book->addSheetAfterLast();
            for (int r = 1; r <= rows; ++r)
                book->setActiveSheetCell(r, 1, QStringLiteral("sheet %1 task %2 with a longer name").arg(s).arg(r));
        }
        return book;
    };
    const QString existing = dir.filePath(QStringLiteral("existing.xlsx"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    const QString full64k = QStringLiteral("The workbook could not be written: no space left on device.");
    for (const bool ahead : {false, true}) {
        EXPECT_EQ(failureOf([&] { files.exportXlsx(*filled(1, 3000, ahead), existing); }), full64k)
            << "one sheet " << ahead;
        EXPECT_EQ(failureOf([&] { files.exportXlsx(*filled(3, 2000, ahead), existing); }), full64k)
            << "sheets " << ahead;
    }
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("existing.xlsx")});
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old contents"));

    // The window reports it instead of showing a broken workbook, and keeps no file of it.
    quorrix::testing::ScriptedDialogs dialogs;
    QStringList started;
    DesktopPresenter::Launcher launcher;
    launcher.find = [](const QString& program) { return QStringLiteral("/opt/bin/") + program; };
    launcher.startDetached = [&](const QString& program, const QStringList&) { return started << program, true; };
    const QString cache = dir.filePath(QStringLiteral("cache"));
    DesktopPresenter presenter(dialogs, cache, launcher);
    EXPECT_EQ(failureOf([&] { presenter.present(*filled(1, 3000, true, &presenter)); }), full64k);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(entriesOf(cache), QStringList());
    // Nothing of the library's is left in the temporary folder.
    EXPECT_EQ(QDir(full.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

namespace {

class PresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        quorrix::setApplicationTitle(QStringLiteral("Quorrix"));
        book.setActiveSheetCell(1, 1, QStringLiteral("shown"));
    }
    DesktopPresenter::Launcher launcher(QStringList installed, bool starts = true) {
        DesktopPresenter::Launcher l;
        l.find = [installed](const QString& program) {
            return installed.contains(program) ? QStringLiteral("/opt/bin/") + program : QString();
        };
        l.startDetached = [this, starts](const QString& program, const QStringList& arguments) {
            started << program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
            return starts;
        };
        return l;
    }
    QTemporaryDir dir;
    quorrix::testing::ScriptedDialogs dialogs;
    MemoryWorkbook book;
    QStringList started;
};

}  // namespace

TEST_F(PresenterTest, OpensANewUntitledDocumentInTheSpreadsheetApplication) {
    const QString folder = dir.filePath(QStringLiteral("cache/quorrix"));
    DesktopPresenter presenter(dialogs, folder, launcher({QStringLiteral("soffice")}));
    presenter.present(book);
    const QString first = presenter.lastFile();
    EXPECT_TRUE(first.startsWith(folder + QLatin1Char('/')));
    EXPECT_TRUE(first.endsWith(QLatin1String(".xlsx")));
    EXPECT_EQ(started, QStringList{QStringLiteral("/opt/bin/soffice -n ") + first});
    EXPECT_EQ(xlsx::read(first).sheets[0].cells.at("A1").text, QStringLiteral("shown"));
    EXPECT_TRUE(dialogs.calls.empty());

    presenter.present(book);  // every workbook gets a file of its own; earlier ones stay
    EXPECT_NE(presenter.lastFile(), first);
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_EQ(entriesOf(folder).size(), 2);
}

TEST_F(PresenterTest, FallsBackToLibreofficeThenTheDesktopThenAMessage) {
    {
        DesktopPresenter presenter(dialogs, dir.path(), launcher({QStringLiteral("libreoffice")}));
        presenter.present(book);
        EXPECT_EQ(started, QStringList{QStringLiteral("/opt/bin/libreoffice -n ") + presenter.lastFile()});
    }
    started.clear();
    {
        // Found but failing to start: the desktop's handler takes over.
        DesktopPresenter presenter(dialogs, dir.path(), launcher({QStringLiteral("soffice")}, false));
        dialogs.answerDesktop(true);
        presenter.present(book);
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].kind, quorrix::testing::DialogCall::Desktop);
        EXPECT_EQ(dialogs.calls[0].text, presenter.lastFile());
        EXPECT_TRUE(dialogs.messages().isEmpty());
    }
    dialogs.calls.clear();
    {
        DesktopPresenter presenter(dialogs, dir.path(), launcher({}));
        dialogs.answerDesktop(false);
        presenter.present(book);
        ASSERT_EQ(dialogs.calls.size(), 2u);
        const auto& message = dialogs.calls[1];
        EXPECT_EQ(message.kind, quorrix::testing::DialogCall::Message);
        EXPECT_EQ(message.text, QStringLiteral("No spreadsheet application could show the workbook. It was saved as:\r\n") +
                                    presenter.lastFile() + QStringLiteral("\r\nIt is kept there for 30 days."));
        EXPECT_EQ(message.title, QStringLiteral("Quorrix"));
        EXPECT_EQ(message.buttons, quorrix::MsgButtons::Ok);
        EXPECT_EQ(message.icon, quorrix::MsgIcon::None);
        EXPECT_TRUE(QFileInfo::exists(presenter.lastFile()));
    }
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

TEST_F(PresenterTest, AFolderThatCannotBeMadeFails) {
    const QString blocker = dir.filePath(QStringLiteral("file"));
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    DesktopPresenter presenter(dialogs, blocker + QStringLiteral("/quorrix"), launcher({QStringLiteral("soffice")}));
    const QString text = failureOf([&] { presenter.present(book); });
    EXPECT_TRUE(text.startsWith(QLatin1String("The folder"))) << text.toStdString();
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(PresenterTest, TheFilePresenterWritesTheNamedFileAndOpensNothing) {
    const QString path = dir.filePath(QString::fromUtf8("R\xC3\xA9sultat.xlsx"));
    FilePresenter presenter(path);
    presenter.present(book);
    EXPECT_EQ(presenter.written(), 1);
    EXPECT_EQ(xlsx::read(path).sheets.size(), 3u);
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(PresenterTest, TheCacheFolderAndItsWorkbooksAreTheUsersAloneAndOldOnesGo) {
    // The folder is made private, and one made wider before is narrowed.
    const QString folder = dir.filePath(QStringLiteral("cache/quorrix"));
    DesktopPresenter presenter(dialogs, folder, launcher({QStringLiteral("soffice")}));
    presenter.present(book);
    EXPECT_EQ(modeOf(folder) & 07777, 0700u);
    EXPECT_EQ(modeOf(presenter.lastFile()) & 07777, 0600u);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0755), 0);
    presenter.present(book);
    EXPECT_EQ(modeOf(folder) & 07777, 0700u);
    EXPECT_EQ(modeOf(presenter.lastFile()) & 07777, 0600u);

    // The folder under the user's cache folder, wherever that is set.
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("xdg"))));
    EXPECT_EQ(DesktopPresenter::defaultFolder(), dir.filePath(QStringLiteral("xdg/quorrix")));
    if (saved.isNull()) qunsetenv("XDG_CACHE_HOME");
    else qputenv("XDG_CACHE_HOME", saved);

    // Only the presenter's own workbooks older than 30 days are removed.
    const QString old = dir.filePath(QStringLiteral("old"));
    QDir().mkpath(old);
    const auto make = [&](const QString& name, int daysAgo) {
        const QString path = old + QLatin1Char('/') + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.flush();
        f.setFileTime(QDateTime::currentDateTimeUtc().addDays(-daysAgo), QFileDevice::FileModificationTime);
        return path;
    };
    make(QStringLiteral("Workbook-abc123.xlsx"), 31);
    make(QStringLiteral("Workbook-Q9z8Y7.xlsx"), 400);
    make(QStringLiteral("Workbook-new123.xlsx"), 29);
    make(QStringLiteral("Workbook-abc12.xlsx"), 31);
    make(QStringLiteral("Workbook-abc1234.xlsx"), 31);
    make(QStringLiteral("Workbook-abc123.xlsx.bak"), 31);
    make(QStringLiteral("My Workbook-abc123.xlsx"), 31);
    const QString outside = make(QStringLiteral("kept.xlsx"), 31);
    ASSERT_TRUE(QFile::link(outside, old + QStringLiteral("/Workbook-link12.xlsx")));
    QDir(old).mkdir(QStringLiteral("Workbook-fold12.xlsx"));
    EXPECT_EQ(DesktopPresenter::removeOldWorkbooks(old), 2);
    EXPECT_EQ(entriesOf(old), (QStringList{"My Workbook-abc123.xlsx", "Workbook-abc12.xlsx", "Workbook-abc123.xlsx.bak",
                                           "Workbook-abc1234.xlsx", "Workbook-link12.xlsx", "Workbook-new123.xlsx",
                                           "kept.xlsx"}));
    EXPECT_TRUE(QFileInfo(old + QStringLiteral("/Workbook-fold12.xlsx")).isDir());
    EXPECT_EQ(DesktopPresenter::removeOldWorkbooks(dir.filePath(QStringLiteral("missing"))), 0);
}

TEST_F(PresenterTest, ACacheFolderThatIsALinkOrNotTheUsersOwnIsNeitherCleanedNorWritten) {
    // Whatever stands at the cache folder's path, the folder a link there leads to holds a month-old
    // workbook of the presenter's kind.
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);
    const QString old = elsewhere + QStringLiteral("/Workbook-abc123.xlsx");
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        f.setFileTime(QDateTime::currentDateTimeUtc().addDays(-40), QFileDevice::FileModificationTime);
    }
    const QString cache = dir.filePath(QStringLiteral("cache"));
    QDir().mkpath(cache);
    const auto link = [&](const QString& path) { return QFile::link(elsewhere, path); };
    const auto file = [&](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    };
    const auto othersFolder = [&](const QString& path) {  // root only: a folder of another user
        return QDir().mkdir(path) && chown(QFile::encodeName(path).constData(), 65534, 65534) == 0 && geteuid() == 0;
    };
    const std::vector<std::pair<const char*, std::function<bool(const QString&)>>> cases = {
        {"a link to a folder", link}, {"a file", file}, {"another user's folder", othersFolder}};
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const auto& [what, make] = cases[k];
        const QString folder = cache + QStringLiteral("/case%1").arg(k);
        if (!make(folder)) continue;  // not root
        EXPECT_EQ(DesktopPresenter::removeOldWorkbooks(folder, 30), 0) << what;
        EXPECT_TRUE(QFileInfo::exists(old)) << what;
        DesktopPresenter presenter(dialogs, folder, launcher({QStringLiteral("soffice")}));
        presenter.present(book);
        const QFileInfo shown(presenter.lastFile());
        EXPECT_TRUE(shown.absoluteFilePath().startsWith(QDir::tempPath() + QStringLiteral("/quorrix-"))) << what;
        EXPECT_EQ(modeOf(shown.absolutePath()) & 07777, 0700u) << what;
        EXPECT_EQ(xlsx::read(presenter.lastFile()).sheets[0].cells.at("A1").text, QStringLiteral("shown")) << what;
        EXPECT_EQ(entriesOf(elsewhere), QStringList{QStringLiteral("Workbook-abc123.xlsx")}) << what;
        QDir(shown.absolutePath()).removeRecursively();
    }
}

TEST_F(PresenterTest, TheFilePresenterHandsOnAFailureWhenAskedTo) {
    QStringList reasons;
    FilePresenter presenter(QStringLiteral("/dev/null"), [&](const QString& why) { reasons << why; });
    presenter.present(book);
    EXPECT_EQ(presenter.written(), 0);
    EXPECT_EQ(reasons, QStringList{kindFailure(QStringLiteral("null"), QStringLiteral("a device"))});
    FilePresenter throwing(QStringLiteral("/dev/null"));
    EXPECT_EQ(failureOf([&] { throwing.present(book); }), reasons.value(0));
}
