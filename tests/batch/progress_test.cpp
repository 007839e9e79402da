#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <gtest/gtest.h>

#include "batch/batch_options.h"
#include "batch/progress_line.h"
#include "batch/row_counting.h"
#include "importer/columns.h"
#include "importer/workbook/memory_spreadsheet.h"

namespace quorrix::batch {
namespace {

TEST(ProgressLine, TextFitsTheTerminalAndNamesThePlan) {
    EXPECT_EQ(ProgressLine::format(2, 10, 345, QStringLiteral("Office Move.xml"), 65, 80),
              QStringLiteral("2/10 plans, 345 tasks, 1:05, reading Office Move.xml"));
    EXPECT_EQ(ProgressLine::format(0, 3, 0, QString(), 0, 80), QStringLiteral("0/3 plans, 0 tasks, 0:00"));

    // A long name is shortened in its middle so that the line never wraps.
    const QString longName = QString(200, QLatin1Char('a')) + QStringLiteral("-end.mpp");
    const QString cut = ProgressLine::format(1, 2, 7, longName, 5, 60);
    EXPECT_EQ(cut.size(), 60);
    EXPECT_TRUE(cut.contains(QStringLiteral("...")));
    EXPECT_TRUE(cut.endsWith(QStringLiteral("-end.mpp")));
    // A terminal too narrow for a name shows none, and the counts are cut to the width.
    EXPECT_FALSE(ProgressLine::format(1, 2, 7, longName, 5, 30).contains(QStringLiteral("reading")));
    EXPECT_EQ(ProgressLine::format(1, 2, 7, longName, 5, 10).size(), 10);
    // Line breaks and other control characters in a file name cannot break the line.
    const QString odd = ProgressLine::format(1, 1, 0, QStringLiteral("a\nb\rc\td"), 0, 80);
    EXPECT_FALSE(odd.contains(QLatin1Char('\n')) || odd.contains(QLatin1Char('\r')) || odd.contains(QLatin1Char('\t')));
}

// What a progress line writes into a pipe, read as it comes so that a test can wait for a state
// to be drawn (the line redraws on its own thread, whenever that thread gets to run).
class Drawn {
public:
    Drawn() {
        EXPECT_EQ(::pipe(fds_), 0);
        out = ::fdopen(fds_[1], "w");
        reader_ = std::thread([this] {
            char buffer[4096];
            for (ssize_t n; (n = ::read(fds_[0], buffer, sizeof buffer)) > 0;) {
                std::lock_guard lock(mutex_);
                bytes_.append(buffer, n);
                arrived_.notify_all();
            }
        });
    }
    // Waits (ten seconds at most) until `text` has been written.
    bool waitFor(const QByteArray& text) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return bytes_.contains(text); });
    }
    // Everything written, once the writer's end is closed.
    QByteArray all() {
        std::fclose(out);
        reader_.join();
        ::close(fds_[0]);
        return bytes_;
    }
    std::FILE* out = nullptr;

private:
    int fds_[2] = {-1, -1};
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    QByteArray bytes_;
};

// Widths are terminal columns: East Asian wide characters take two, combining marks none, so a
// line of Japanese names neither wraps nor leaves a stale rest when it is blanked.
TEST(ProgressLine, MeasuresTheColumnsATerminalGivesEachCharacter) {
    const struct {
        const char* text;
        int columns;
    } widths[] = {{"plan.xml", 8}, {"日本語.xml", 10}, {"计划", 4}, {"e\u0301te\u0301", 3},
                  {"Ｆｕｌｌ", 8}, {"\U0001F600", 2},  {"", 0}};
    for (const auto& w : widths) EXPECT_EQ(ProgressLine::columns(QString::fromUtf8(w.text)), w.columns) << w.text;

    const QString japanese = QString::fromUtf8("長い日本語の計画ファイルの名前がここに続きます第三版の最終稿.xml");
    EXPECT_EQ(ProgressLine::format(3, 9, 12, japanese, 7, 60),
              QString::fromUtf8("3/9 plans, 12 tasks, 0:07, reading 長い日本語...の最終稿.xml"));
    // A mark is never torn from its letter at the cut.
    const QString marked =
        QString(40, QLatin1Char('a')) + QString::fromUtf8("e\u0301\u0301") + QString(5, QLatin1Char('z'));
    const QString cut = ProgressLine::format(1, 1, 0, marked, 0, 46);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("aaaa...zzzzz"))) << cut.toStdString();

    // The line blanked at the end is exactly as wide as the line drawn.
    Drawn drawn;
    const QString text = QStringLiteral("0/1 plans, 0 tasks, 0:00, reading ") + QString::fromUtf8("日本語.xml");
    {
        ProgressLine line(drawn.out, true, std::chrono::milliseconds(5));
        line.setTotal(1);
        line.beginPlan(1, QString::fromUtf8("日本語.xml"));
        EXPECT_TRUE(drawn.waitFor(text.toUtf8()));
    }
    const QByteArray shown = drawn.all();
    EXPECT_TRUE(shown.endsWith("\r" + QByteArray(ProgressLine::columns(text), ' ') + "\r"))
        << shown.right(60).toStdString();
}

TEST(ProgressLine, RedrawsInPlaceStepsAsideForOtherOutputAndLeavesACleanLine) {
    Drawn drawn;
    {
        ProgressLine line(drawn.out, true, std::chrono::milliseconds(5));
        line.setTotal(2);
        line.beginPlan(1, QStringLiteral("first.xml"));
        for (int i = 0; i < 5; ++i) line.taskWritten();
        EXPECT_TRUE(drawn.waitFor("0/2 plans, 5 tasks, 0:00, reading first.xml"));
        line.beforeOutput();
        line.afterOutput();
        line.beginPlan(2, QStringLiteral("second.xml"));
        EXPECT_TRUE(drawn.waitFor("1/2 plans, 5 tasks, 0:00, reading second.xml"));
        line.finish();
        line.finish();  // a second finish writes nothing more
    }
    const QByteArray shown = drawn.all();
    EXPECT_TRUE(shown.contains("\r0/2 plans, 5 tasks, 0:00, reading first.xml"));
    EXPECT_FALSE(shown.contains('\n'));
    // The last bytes blank the line and return to its start.
    EXPECT_TRUE(shown.endsWith(" \r")) << shown.right(40).toStdString();

    // Not a terminal: not a single byte.
    Drawn silent;
    {
        ProgressLine line(silent.out, false, std::chrono::milliseconds(5));
        line.setTotal(1);
        line.beginPlan(1, QStringLiteral("x"));
        line.taskWritten();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        line.beforeOutput();
        line.afterOutput();
    }
    EXPECT_TRUE(silent.all().isEmpty());
}

TEST(RowCounting, CountsTaskRowsOnlyAndPassesEveryWriteThrough) {
    importer::workbook::MemorySpreadsheetAutomation memory(nullptr);
    int rows = 0;
    RowCountingSpreadsheet counted(memory, [&rows] { ++rows; });
    auto app = counted.create();
    ASSERT_TRUE(app);
    app->workbooksAdd();
    importer::Workbook& book = app->workbook(app->workbooksCount());
    EXPECT_EQ(&book, &app->workbook(1));  // the same handle each time
    for (int c = 1; c <= 4; ++c) book.setActiveSheetCell(1, c, QStringLiteral("header"));
    for (long r = 2; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) book.setActiveSheetCell(r, c, 1.0);
    book.addSheetAfterLast();
    book.setActiveSheetCell(2, 1, QStringLiteral("on the new sheet"));
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(book.sheetsCount(), 4);
    // A write the workbook refuses is not counted.
    EXPECT_ANY_THROW(book.setActiveSheetCell(2, 1, QString(40000, QLatin1Char('x'))));
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(memory.workbooks().size(), 1u);
}

struct BatchRun {
    int exitCode = -1;
    QByteArray out, err;
};

BatchRun batch(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral(QUORRIX_BATCH), arguments);
    p.waitForFinished(120000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QString samples() { return QStringLiteral(QUORRIX_SOURCE_DIR "/data/Samples"); }

TEST(QuorrixBatchCommandLine, VersionQuietAndPipesStayFreeOfProgress) {
    const BatchRun version = batch({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("quorrix-batch " QUORRIX_VERSION "\n"));
    EXPECT_TRUE(QByteArray(QUORRIX_VERSION).count('.') == 2);

    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("s.xlsx"));
    // Through pipes: the output is what it always was, without a byte of progress.
    const BatchRun plain = batch({"--output", out, samples()});
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, QByteArray("Done.\n"));
    EXPECT_TRUE(plain.err.isEmpty()) << plain.err.toStdString();

    // Quiet: no closing message, the status still tells, and reports still reach standard error.
    const QString missing = dir.filePath(QStringLiteral("gone.mpp"));
    const BatchRun quiet = batch({"--quiet", "--output", out, samples(), missing});
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_TRUE(quiet.out.isEmpty()) << quiet.out.toStdString();
    EXPECT_TRUE(quiet.err.startsWith("quorrix-batch: " + missing.toUtf8() + ": ")) << quiet.err.toStdString();
    EXPECT_FALSE(quiet.err.contains('\r'));
}

TEST(QuorrixBatchCommandLine, ATerminalShowsTheProgressLineAndItIsClearedBeforeTheClosingMessage) {
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty()) GTEST_SKIP() << "no script(1) to give the program a terminal";
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("typescript"));
    const QString command = QStringLiteral("'%1' --output '%2' '%3'")
                                .arg(QStringLiteral(QUORRIX_BATCH), dir.filePath(QStringLiteral("t.xlsx")), samples());
    QProcess p;
    p.start(script, {"-qec", command, log});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0);
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray typescript = f.readAll();
    EXPECT_TRUE(typescript.contains("plans, ")) << typescript.toStdString();
    EXPECT_TRUE(typescript.contains("\r")) << typescript.toStdString();
    // The progress line is blanked before "Done." starts on its own line.
    const qsizetype done = typescript.indexOf("Done.");
    ASSERT_GT(done, 0);
    EXPECT_EQ(typescript.at(done - 1), '\r');
    EXPECT_FALSE(typescript.mid(done).contains("plans, "));
}

TEST(QuorrixBatchCommandLine, HelpAndCompletionKnowEveryOption) {
    const BatchRun help = batch({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    QFile completion(QStringLiteral(QUORRIX_SOURCE_DIR "/dist/completion/quorrix-batch"));
    ASSERT_TRUE(completion.open(QIODevice::ReadOnly));
    const QByteArray completionText = completion.readAll();
    // The completion offers exactly the program's column keys, in its order.
    const QString keys = importer::columnListText(importer::allColumns()).replace(QLatin1Char(','), QLatin1Char(' '));
    const qsizetype custom = keys.indexOf(QLatin1String(" text1 "));
    EXPECT_TRUE(completionText.contains(keys.left(custom).toUtf8() + '"'));
    EXPECT_TRUE(completionText.contains(keys.mid(custom).toUtf8() + " alias:\""));
    for (const char* option : {"--output", "--layout", "--extension", "--columns", "--list", "--null", "--quiet",
                               "--help", "--version", "-o", "-l", "-e", "-c", "-q", "-h", "-V"}) {
        EXPECT_TRUE(help.out.contains(option)) << option;
        EXPECT_TRUE(completionText.contains(option)) << option;
        // Every option the help names is one the program takes.
        const BatchRun tried = batch({option});
        EXPECT_FALSE(tried.err.contains("Unknown option")) << option;
    }
    EXPECT_TRUE(help.out.contains("Exit status"));
    EXPECT_TRUE(help.out.contains("Example"));

    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    if (bash.isEmpty()) GTEST_SKIP() << "no bash";
    // Completion driven the way bash drives it: the words so far, the word to complete.
    const auto complete = [&](const QStringList& words) {
        QString quoted;
        for (const QString& w : words) quoted += QStringLiteral(" '") + w + QLatin1Char('\'');
        QProcess p;
        p.start(bash, {"--norc", "-c",
                       QStringLiteral("source '%1'; COMP_WORDS=(%2); COMP_CWORD=%3; _quorrix_batch; "
                                      "printf '%s\\n' \"${COMPREPLY[@]}\"")
                           .arg(completion.fileName(), quoted)
                           .arg(words.size() - 1)});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    // The words after the program's name (bash breaks "--columns=pl" into "--columns" "=" "pl"
    // unless "=" is no word break) and what completes the last one.
    const struct {
        QStringList words;
        QStringList offered;
    } cases[] = {
        {{"--la"}, {"--layout"}},
        {{"--q"}, {"--quiet"}},
        {{"--nu"}, {"--null"}},
        {{"--layout", ""}, {"one-sheet", "sheet-per-file"}},
        {{"--layout", "s"}, {"sheet-per-file"}},
        {{"-l", "o"}, {"one-sheet"}},
        {{"--layout", "=", "s"}, {"sheet-per-file"}},
        {{"--layout="}, {"--layout=one-sheet", "--layout=sheet-per-file"}},
        {{"--columns", "name,wo"}, {"name,work"}},
        {{"--columns", "base"},
         {"baseline-start", "baseline-finish", "baseline-duration", "baseline-duration-shown",
          "baseline-duration-days"}},
        {{"--columns", "name,su"}, {"name,summary", "name,successors"}},
        {{"--columns", "name,outline-code1"}, {"name,outline-code1", "name,outline-code10"}},
        {{"--columns", "ali"}, {"alias:"}},
        {{"--columns", "=", "pl"}, {"plan"}},
        {{"--columns=pl"}, {"--columns=plan"}},
        {{"-c", "wo"}, {"work"}},
        // Keys the list already holds are not offered again.
        {{"--columns", "=", "plan,pl"}, {}},
        {{"--columns=start,finish,baseline-start,baseline-"},
         {"--columns=start,finish,baseline-start,baseline-finish",
          "--columns=start,finish,baseline-start,baseline-duration",
          "--columns=start,finish,baseline-start,baseline-duration-shown",
          "--columns=start,finish,baseline-start,baseline-duration-days"}},
        {{"-e", "m"}, {"mpp", "mpt", "mpx", "mpd"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(complete(QStringList{"quorrix-batch"} + c.words), c.offered) << c.words.join(' ').toStdString();
}

}  // namespace
}  // namespace quorrix::batch
