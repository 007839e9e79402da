#include "batch/batch_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>
#include <cstdio>
#include <optional>

#include "batch/batch_options.h"
#include "batch/console_dialogs.h"
#include "batch/progress_line.h"
#include "batch/row_counting.h"
#include "filelist/folder_sources.h"
#include "importer/backends.h"
#include "importer/import_run.h"
#include "importer/workbook/xlsx_export.h"
#include "platform/error_trap.h"
#include "platform/file_facts.h"

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
    QString entryText(int position) override { return entries_.at(position - 1); }
    bool oneSheetLayout() override { return oneSheet_; }
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
    std::vector<importer::Column> columns() override { return columns_; }

private:
    QStringList entries_;
    bool oneSheet_;
    std::vector<importer::Column> columns_;
    batch::ProgressLine& progress_;
};

int fail(const QString& line) {
    std::fprintf(stderr, "quorrix-batch: %s\n", line.toLocal8Bit().constData());
    return 2;
}

}  // namespace

namespace quorrix::batch {

int runCommandLine(const QStringList& arguments) {
    const batch::ParsedOptions parsed = batch::parseOptions(arguments);
    if (parsed.help) {
        std::fputs(batch::usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parsed.version) {
        std::fputs(batch::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!parsed.options) {
        fail(parsed.error);
        std::fputs(batch::usageText().toLocal8Bit().constData(), stderr);
        return 2;
    }
    const batch::BatchOptions& options = *parsed.options;

    // Each path becomes entries the way the window would take it: a folder is walked like a
    // dropped folder, or like the folder scan when an extension is given.
    QStringList entries;
    const filelist::AddEntry add = [&](const QString& text) { entries << text; };
    const AddFolder::Yield yield = [] {};
    // A folder scanned for an extension reports a failing listing as the window's scan does.
    // The progress line lives only while the import runs; the listing reports before it print plainly.
    batch::ConsoleDialogs dialogs(options.quiet);
    ErrorTrap scanTrap(QStringLiteral("Form1.PushButton4_Click"), dialogs);
    const AddFolder::Step step = [&scanTrap](int line, const std::function<void()>& statement) {
        scanTrap.step(line, statement);
    };
    for (const QString& path : options.paths) {
        if (options.extension && QFileInfo(path).isDir())
            filelist::AddFolderTree(path, *options.extension, add, yield, step);
        else
            filelist::AddNamedPath(path, add, yield);
    }

    if (options.listOnly) {
        for (const QString& e : entries) std::printf("%s\n", e.toLocal8Bit().constData());
        return scanTrap.reportCount() > 0 ? 1 : 0;
    }

    const QFileInfo output(options.output);
    try {
        importer::workbook::checkOutputPath(options.output);
    } catch (const Failure& refused) {
        return fail(refused.description());
    }
    for (const QString& e : entries) {
        const QFileInfo input(e);
        if (input.exists() && output.exists() && input.canonicalFilePath() == output.canonicalFilePath())
            return fail(QStringLiteral("The output would overwrite an input file: ") + options.output);
    }

    // The progress line writes through a descriptor of its own: standard error itself is sent
    // elsewhere while the workbook library works, and the line must still be cleared then.
    std::FILE* terminal = nullptr;
    if (batch::ProgressLine::isTerminal(stderr)) {
        const int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd >= 0 && !(terminal = ::fdopen(fd, "w"))) ::close(fd);
    }
    batch::ProgressLine progress(terminal, terminal != nullptr);
    batch::ConsoleDialogs runDialogs(options.quiet, &progress);
    std::optional<QString> notWritten;
    const auto spreadsheet = importer::makeFileSpreadsheetAutomation(options.output, [&](const QString& reason) {
        notWritten = reason;
        runDialogs.withholdMessages();
    });
    const auto project = importer::makeProjectAutomation();
    batch::RowCountingSpreadsheet counted(*spreadsheet, [&progress] { progress.taskWritten(); });
    BatchHost entryList(entries, options.oneSheet, options.columns, progress);

    const FileStamp before = fileStampOf(options.output);
    // The plans are read ahead, for the columns chosen.
    const importer::ImportOutcome outcome =
        importer::importPlans(entryList, runDialogs, counted, *project, project.get());
    progress.finish();
    if (terminal) std::fclose(terminal);
    if (!outcome.ran) return 2;
    if (notWritten) return fail(*notWritten);
    const FileStamp after = fileStampOf(options.output);
    if (!after.exists || after == before) return fail(QStringLiteral("The workbook was not written: ") + options.output);
    // Any report during the run means something was left out or went wrong.
    return outcome.failedFiles.isEmpty() && outcome.reports == 0 && scanTrap.reportCount() == 0 ? 0 : 1;
}

}  // namespace quorrix::batch
