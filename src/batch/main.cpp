// quorrix-batch: the import run of the window, from the command line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <optional>

#include "batch/batch_options.h"
#include "batch/console_dialogs.h"
#include "batch/progress_line.h"
#include "batch/report_subject.h"
#include "batch/row_counting.h"
#include "filelist/folder_sources.h"
#include "importer/backends.h"
#include "importer/import_run.h"
#include "importer/workbook/xlsx_export.h"
#include "importer/lookahead_host.h"
#include "platform/error_trap.h"
#include "platform/file_names.h"
#include "platform/open_file_limit.h"

namespace {

using namespace quorrix;

// The list entries and layout of a command line, as the import run reads them; the progress the
// run shows goes to the progress line.
class BatchHost : public importer::ImportHost {
public:
    BatchHost(QStringList entries, bool oneSheet, std::vector<importer::Column> columns, batch::ProgressLine& progress)
        : entries_(std::move(entries)), oneSheet_(oneSheet), columns_(std::move(columns)), progress_(progress) {
        progress_.setTotal(static_cast<int>(entries_.size()));
    }
    int entryCount() override { return static_cast<int>(entries_.size()); }
    QString entryText(int position) override {
        current_ = position;
        return entries_.at(position - 1);
    }
    bool option4Value() override { return oneSheet_; }
    void setProgressValue(double) override {}
    void setProgressText(const QString& text) override {
        static const QString processing = QStringLiteral("Processing: ");
        // The run resets the progress text just before its closing message: the line goes first.
        if (text.startsWith(processing))
            progress_.beginPlan(current_, text.mid(processing.size()));
        else
            progress_.finish();
    }
    void setMousePointer(int) override {}
    void processEvents() override {}
    void setRunning(bool) override {}
    std::vector<importer::Column> columns() override { return columns_; }

private:
    QStringList entries_;
    bool oneSheet_;
    std::vector<importer::Column> columns_;
    batch::ProgressLine& progress_;
    int current_ = 0;
};

// Identifies the file at a path, so that a rewrite of it can be told from what was there.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    bool sameFile(const FileStamp& o) const { return exists && o.exists && device == o.device && inode == o.inode; }
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};
FileStamp stampOf(const QString& path) {
    struct stat st {};
    if (path.contains(QChar(0)) || ::stat(encodeFileName(path).constData(), &st) != 0) return {};
    return FileStamp{true, st.st_dev, st.st_ino, st.st_mtim};
}

bool isFolder(const QString& path) {
    struct stat st {};
    return !path.contains(QChar(0)) && ::stat(encodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

int fail(QString line) {
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    std::fprintf(stderr, "quorrix-batch: %s\n", line.toUtf8().constData());
    return 2;
}

void writeAll(const QByteArray& bytes, std::FILE* out) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
}

}  // namespace

int main(int argc, char* argv[]) {
    raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    // The arguments as the system gave them: a name that is no UTF-8 keeps its bytes.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << decodeFileName(QByteArray(argv[i]));

    const batch::ParsedOptions parsed = batch::parseOptions(arguments);
    if (parsed.help) {
        std::fputs(batch::usageText().toUtf8().constData(), stdout);
        return 0;
    }
    if (parsed.version) {
        std::fputs(batch::versionText().toUtf8().constData(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fputs(batch::usageErrorText(parsed.error).toUtf8().constData(), stderr);
        return 2;
    }
    const batch::BatchOptions& options = *parsed.options;

    // Each path becomes entries the way the window would take it: a folder is walked like a
    // dropped folder, or like the folder scan when an extension is given.
    QStringList entries;
    const filelist::AddEntry add = [&](const QString& text) { entries << text; };
    const AddFolder::Yield yield = [] {};
    // A folder scanned for an extension reports a failing listing as the window's scan does, and
    // every walk reports its stop at the bound; each report names the PATH it came from.
    // The progress line lives only while the import runs; the listing reports before it print plainly.
    batch::ConsoleDialogs dialogs(options.quiet);
    ErrorTrap scanTrap(QStringLiteral("Form1.PushButton4_Click"), dialogs);
    const AddFolder::Step step = [&scanTrap](int line, const std::function<void()>& statement) {
        scanTrap.step(line, statement);
    };
    const filelist::WalkStopped stopped = [&scanTrap](const Failure& f) { scanTrap.step(128, [&] { throw f; }); };
    for (const QString& path : options.paths) {
        dialogs.setSubject(path);
        if (options.extension && isFolder(path))
            filelist::AddFolderTree(path, *options.extension, add, yield, step);
        else
            filelist::AddNamedPath(path, add, yield, realFileSystem(), stopped);
    }
    dialogs.setSubject({});

    if (options.listOnly) {
        // On a terminal a name is shown as ls shows it; into a pipe it goes as it is, for scripts.
        const bool terminal = !options.nullSeparated && ::isatty(STDOUT_FILENO) == 1;
        const char end = options.nullSeparated ? '\0' : '\n';
        for (const QString& e : entries) {
            writeAll(batch::nameForOutput(e, terminal), stdout);
            std::fputc(end, stdout);
        }
        std::fflush(stdout);
        return scanTrap.reportCount() > 0 ? 1 : 0;
    }

    try {
        importer::workbook::checkOutputPath(options.output);
    } catch (const Failure& refused) {
        return fail(refused.description());
    }
    const FileStamp output = stampOf(options.output);
    for (const QString& e : entries)
        if (output.sameFile(stampOf(e)))
            return fail(QStringLiteral("The output would overwrite an input file: ") + quotedFileName(options.output));

    // The progress line writes through a descriptor of its own: standard error itself is sent
    // elsewhere while the workbook library works, and the line must still be cleared then.
    std::FILE* terminal = nullptr;
    if (batch::ProgressLine::isTerminal(stderr)) {
        const int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd >= 0 && !(terminal = ::fdopen(fd, "w"))) ::close(fd);
    }
    batch::ProgressLine progress(terminal, terminal != nullptr);
    batch::ConsoleDialogs runDialogs(options.quiet, &progress);
    // "Done." and the failed files are printed once the workbook is known to be written.
    runDialogs.holdClosingMessage();
    std::optional<QString> notWritten;
    const auto spreadsheet = importer::makeFileSpreadsheetAutomation(options.output, [&](const QString& reason) {
        notWritten = reason;
        runDialogs.withholdMessages();
    });
    const auto project = importer::makeProjectAutomation(
        [taskFields = importer::needsTaskFields(options.columns)] { return taskFields; });
    batch::ReportSubjectProject reportedProject(*project, runDialogs);
    batch::RowCountingSpreadsheet counted(*spreadsheet, [&progress] { progress.taskWritten(); });
    BatchHost entryList(entries, options.oneSheet, options.columns, progress);
    importer::LookaheadHost host(entryList, importer::lookaheadOf(*project));  // plans are read ahead

    const FileStamp before = stampOf(options.output);
    const importer::ImportOutcome outcome =
        importer::PushButton2_Click(host, runDialogs, counted, reportedProject);
    progress.finish();
    if (terminal) std::fclose(terminal);
    if (!outcome.ran) return 2;
    if (notWritten) return fail(*notWritten);
    const FileStamp after = stampOf(options.output);
    if (!after.exists || after == before)
        return fail(QStringLiteral("The workbook was not written: ") + quotedFileName(options.output));
    runDialogs.printClosingMessage(outcome.failedFiles, ::isatty(STDOUT_FILENO) == 1);
    // Any report during the run means something was left out or went wrong.
    return outcome.failedFiles.isEmpty() && outcome.reports == 0 && scanTrap.reportCount() == 0 ? 0 : 1;
}
