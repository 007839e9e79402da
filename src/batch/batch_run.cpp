#include "batch/batch_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStringList>
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
#include "platform/file_facts.h"
#include "platform/error_trap.h"
#include "platform/file_names.h"

namespace {

using namespace quorrix;

// The list entries and layout of a command line, as the import run reads them; the progress the
// run shows goes to the progress line.
class BatchHost : public importer::ImportHost {
public:
    BatchHost(QStringList entries, const batch::BatchOptions& options, batch::ProgressLine& progress)
        : entries_(std::move(entries)), options_(options), progress_(progress) {
        progress_.setTotal(static_cast<int>(entries_.size()));
    }
    int entryCount() override { return static_cast<int>(entries_.size()); }
    QString entryText(int position) override { return entries_.at(position - 1); }
    bool oneSheetLayout() override { return options_.oneSheet; }
    void setProgressValue(double) override {}
    void setProgressText(const QString&) override {}
    void progress(int position, int, const QString& fileName) override {
        // The run ends its progress just before its closing message: the line goes first.
        if (position > 0)
            progress_.beginPlan(position, fileName);
        else
            progress_.finish();
    }
    void setBusy(bool) override {}
    void yield() override {}
    void setRunning(bool) override {}
    std::vector<importer::Column> columns() override { return options_.columns; }
    importer::SheetOptions sheetOptions() override { return options_.sheet; }
    importer::RowSelection rowSelection() override { return options_.rows; }

private:
    QStringList entries_;
    const batch::BatchOptions& options_;
    batch::ProgressLine& progress_;
};

bool sameFile(const FileStamp& a, const FileStamp& b) {
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
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

namespace quorrix::batch {

int runCommandLine(const QStringList& arguments) {
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
    const FileStamp output = fileStampOf(options.output);
    for (const QString& e : entries)
        if (sameFile(output, fileStampOf(e)))
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
    const auto project = importer::makeProjectAutomation();
    batch::ReportSubjectProject reportedProject(*project, runDialogs);
    batch::RowCountingSpreadsheet counted(*spreadsheet, [&progress] { progress.taskWritten(); });
    BatchHost entryList(entries, options, progress);

    const FileStamp before = fileStampOf(options.output);
    const importer::ImportOutcome outcome =
        importer::importPlans(entryList, runDialogs, counted, reportedProject, project.get());
    progress.finish();
    if (terminal) std::fclose(terminal);
    if (!outcome.ran) return 2;
    if (notWritten) return fail(*notWritten);
    const FileStamp after = fileStampOf(options.output);
    if (!after.exists || after == before)
        return fail(QStringLiteral("The workbook was not written: ") + quotedFileName(options.output));
    runDialogs.printClosingMessage(outcome.failedFiles, ::isatty(STDOUT_FILENO) == 1);
    // Any report during the run means something was left out or went wrong.
    return outcome.failedFiles.isEmpty() && outcome.reports == 0 && scanTrap.reportCount() == 0 ? 0 : 1;
}

}  // namespace quorrix::batch
