// quorrix-batch: the import run of the window, from the command line.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

#include "batch/batch_options.h"
#include "batch/console_dialogs.h"
#include "filelist/folder_sources.h"
#include "importer/backends.h"
#include "importer/import_run.h"
#include "platform/error_trap.h"

namespace {

using namespace quorrix;

// The list entries and layout of a command line, as the import run reads them.
class BatchHost : public importer::ImportHost {
public:
    BatchHost(QStringList entries, bool oneSheet, std::vector<importer::Column> columns)
        : entries_(std::move(entries)), oneSheet_(oneSheet), columns_(std::move(columns)) {}
    int entryCount() override { return static_cast<int>(entries_.size()); }
    QString entryText(int position) override { return entries_.at(position - 1); }
    bool option4Value() override { return oneSheet_; }
    void setProgressValue(double) override {}
    void setProgressText(const QString&) override {}
    void setMousePointer(int) override {}
    void processEvents() override {}
    void setRunning(bool) override {}
    std::vector<importer::Column> columns() override { return columns_; }

private:
    QStringList entries_;
    bool oneSheet_;
    std::vector<importer::Column> columns_;
};

// Identifies the file at a path, so that a rewrite of it can be told from what was there.
struct FileStamp {
    bool exists = false;
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};
FileStamp stampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return FileStamp{true, st.st_ino, st.st_mtim};
}

int fail(const QString& line) {
    std::fprintf(stderr, "quorrix-batch: %s\n", line.toLocal8Bit().constData());
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    const batch::ParsedOptions parsed = batch::parseOptions(arguments);
    if (parsed.help) {
        std::fputs(batch::usageText().toLocal8Bit().constData(), stdout);
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
    batch::ConsoleDialogs dialogs;
    ErrorTrap scanTrap(QStringLiteral("Form1.PushButton4_Click"), dialogs);
    const AddFolder::Step step = [&scanTrap](int line, const std::function<void()>& statement) {
        scanTrap.step(line, statement);
    };
    for (const QString& path : options.paths) {
        if (options.extension && QFileInfo(path).isDir())
            filelist::AddFolderTree(path, *options.extension, add, yield, step);
        else
            filelist::AddDroppedPath(path, add, yield);
    }

    if (options.listOnly) {
        for (const QString& e : entries) std::printf("%s\n", e.toLocal8Bit().constData());
        return 0;
    }

    const QFileInfo output(options.output);
    if (output.isDir()) return fail(QStringLiteral("The output is a folder: ") + options.output);
    for (const QString& e : entries) {
        const QFileInfo input(e);
        if (input.exists() && output.exists() && input.canonicalFilePath() == output.canonicalFilePath())
            return fail(QStringLiteral("The output would overwrite an input file: ") + options.output);
    }

    const auto spreadsheet = importer::makeFileSpreadsheetAutomation(options.output);
    const auto project = importer::makeProjectAutomation([&options] { return options.columns; });
    BatchHost host(entries, options.oneSheet, options.columns);

    const FileStamp before = stampOf(options.output);
    const importer::ImportOutcome outcome = importer::PushButton2_Click(host, dialogs, *spreadsheet, *project);
    if (!outcome.ran) return 2;
    const FileStamp after = stampOf(options.output);
    if (!after.exists || after == before) return fail(QStringLiteral("The workbook was not written: ") + options.output);
    return outcome.failedFiles.isEmpty() ? 0 : 1;
}
