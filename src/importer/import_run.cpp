#include "importer/import_run.h"

#include <algorithm>

#include "importer/application_checks.h"
#include "importer/plans/common/custom_fields.h"
#include "platform/application_title.h"
#include "platform/error_trap.h"
#include "platform/failure.h"
#include "platform/file_facts.h"
#include "platform/open_file_limit.h"

namespace quorrix::importer {
namespace {

constexpr long kSheetRows = 1048576;  // the rows of a spreadsheet's sheet
constexpr int kApplicationDefined = 1004;
constexpr int kPathFileAccessError = 75;

Failure objectRequired() { return Failure(failure_number::kObjectRequired, QStringLiteral("Object required")); }

template <class T>
T& need(const std::unique_ptr<T>& handle) {
    if (!handle) throw objectRequired();
    return *handle;
}
template <class T>
T& need(T* handle) {
    if (!handle) throw objectRequired();
    return *handle;
}

// Line numbers of the steps that differ between the two layouts.
struct Lines {
    int processEvents, hourglass, progressValue, path, create, open;
    int projectsTest, failedNoPlan;  // the first of the three failure-report lines
    int activeProject, activeTest, failedNoActive;
    int taskLoop, taskItem, taskTest, cells, nextRow;
    int fileClose, quit, releaseProject, releaseApplication;
};
constexpr Lines kOneSheet{132, 136, 134, 138, 140, 142, 148, 184, 150, 152, 174, 154, 156, 158, 160, 168, 180, 198, 200, 202};
constexpr Lines kSheetPerFile{226, 228, 228, 232, 234, 236, 252, 290, 254, 256, 280, 260, 262, 264, 266, 274, 286, 304, 306, 308};

// The header and cell statements of the default four columns stand on consecutive lines two
// apart. A further column's statements report under the line of the default column nearest in
// meaning: descriptions of the task under the name, amounts under the duration, start dates
// under the start, finish dates under the finish.
int lineSlot(const Column& column) {
    if (column.kind() == Column::Custom) {
        switch (plans::customKindOf(column.customSlot())) {
        case plans::CustomKind::Number:
        case plans::CustomKind::Duration:
        case plans::CustomKind::Cost: return 1;
        case plans::CustomKind::Start: return 2;
        case plans::CustomKind::Finish: return 3;
        default: return 0;
        }
    }
    switch (column.kind()) {
    case Column::Duration:
    case Column::PercentComplete:
    case Column::BaselineDuration:
    case Column::Cost:
    case Column::Work:
    case Column::TotalSlack:
    case Column::FreeSlack:
    case Column::Priority:
    case Column::DurationShown:
    case Column::DurationDays:
    case Column::BaselineDurationShown:
    case Column::BaselineDurationDays: return 1;
    case Column::Start:
    case Column::BaselineStart:
    case Column::ActualStart:
    case Column::EarlyStart:
    case Column::LateStart:
    case Column::ConstraintDate: return 2;
    case Column::Finish:
    case Column::BaselineFinish:
    case Column::ActualFinish:
    case Column::EarlyFinish:
    case Column::LateFinish:
    case Column::Deadline: return 3;
    default: return 0;
    }
}

// "A" to "Z", then "AA", ...: the letters that name a column.
QString columnLetters(int column) {
    QString letters;
    for (; column > 0; column = (column - 1) / 26) letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters;
}

// A task's outline level as the plan gives it; 1 when it gives none.
int outlineLevelOf(ProjectTask& task) {
    const Value value = task.field(TaskField::OutlineLevel);
    const auto* level = std::get_if<double>(&value);
    if (!level || !(*level >= 1)) return 1;
    return *level >= 1000 ? 1000 : static_cast<int>(*level);
}

// The day of a start or finish; nothing for a task without one ("NA").
std::optional<QDate> dayOf(const Value& value) {
    const auto* at = std::get_if<QDateTime>(&value);
    if (!at || !at->isValid()) return std::nullopt;
    return at->date();
}

// Whether a task passes every test of the selection. `level` receives the task's outline level
// when a test reads it.
bool isSelected(const RowSelection& selection, ProjectTask& task, std::optional<int>& level) {
    if (selection.milestonesOnly) {
        const Value milestone = task.field(TaskField::Milestone);
        const auto* flag = std::get_if<QString>(&milestone);
        if (!flag || *flag != QLatin1String("Yes")) return false;
    }
    if (selection.unfinishedOnly) {
        const Value complete = task.field(TaskField::PercentComplete);
        const auto* percent = std::get_if<double>(&complete);
        if (percent && *percent >= 100) return false;
    }
    if (selection.maxOutlineLevel > 0) {
        level = outlineLevelOf(task);
        if (*level > selection.maxOutlineLevel) return false;
    }
    if (selection.hasWindow()) {
        // A task with one date only lasts that day; one with neither is active at no time.
        std::optional<QDate> start = dayOf(task.start());
        std::optional<QDate> finish = dayOf(task.finish());
        if (!start) start = finish;
        if (!finish) finish = start;
        if (!start) return false;
        if (*finish < *start) std::swap(start, finish);
        if (*start > selection.activeTo || *finish < selection.activeFrom) return false;
    }
    return true;
}

// `fieldId`: the custom field a custom or alias column shows in this plan (0: none).
Value cellValue(const Column& column, ProjectTask& task, const QString& path, long fieldId) {
    switch (column.kind()) {
    case Column::Name: return task.name();
    case Column::Duration: return task.duration();
    case Column::Start: return task.start();
    case Column::Finish: return task.finish();
    case Column::Plan: return Main::FileNameOf(path);
    case Column::Custom:
    case Column::Alias: return fieldId ? task.customField(fieldId) : Value{};
    default: return task.field(*columnField(column));
    }
}

// Until it is written, the workbook's file keeps a temporary file open for each of its sheets:
// a sheet for each plan, as many as the system lets the program open besides the files it has
// open already and the few that reading a plan and writing the file take.
void checkOpenFilesFor(long plans) {
    constexpr long kReserve = 16;
    const OpenFiles files = openFiles();
    if (plans + files.open + kReserve > files.limit)
        throw Failure(kPathFileAccessError,
                      QStringLiteral("The workbook could not be written: too many plans for one workbook: %1 sheets, "
                                     "the system allows %2 open files.")
                          .arg(plans)
                          .arg(files.limit));
}

class Run {
public:
    Run(ImportHost& host, DialogProvider& dialogs, SpreadsheetAutomation& spreadsheet, ProjectAutomation& project,
        PlanReading* reading)
        : host_(host),
          dialogs_(dialogs),
          spreadsheetAutomation_(spreadsheet),
          projectAutomation_(project),
          reading_(reading),
          trap_(QStringLiteral("Form1.PushButton2_Click"), dialogs) {}

    ImportOutcome execute() {
        trap_.step(102, [&] { failureReport_.clear(); });

        // A failure inside the check is reported and the run goes on as after a Yes.
        const auto declined =
            trap_.value(106, [&] { return Excel1::WarnIfExcelOpen(spreadsheetAutomation_, dialogs_); });
        if (declined.value_or(false)) return finish();

        if (!trap_.test(112, [&] { return host_.entryCount() > 0; })) {
            trap_.step(334, [&] {
                dialogs_.messageBox(QStringLiteral("No files added."), applicationTitle(), MsgButtons::Ok,
                                    MsgIcon::None);
            });
            return finish();
        }
        columns_ = host_.columns();
        if (columns_.empty()) columns_ = defaultColumns();
        sheet_ = host_.sheetOptions();
        rows_ = host_.rowSelection();
        selecting_ = rows_ != RowSelection{};
        // Plans are read for the fields that these columns, sheet options and rows look at.
        if (reading_) reading_->readWith(readOptionsFor(taskFieldNeed(columns_) | taskFieldNeed(sheet_) |
                                                        taskFieldNeed(rows_)));
        const auto name = std::find(columns_.begin(), columns_.end(), Column::Name);
        if (sheet_.indentNames && name != columns_.end()) nameColumn_ = static_cast<int>(name - columns_.begin()) + 1;
        oneSheet_ = trap_.test(114, [&] { return host_.oneSheetLayout(); });
        if (!oneSheet_ && !trap_.step(114, [&] { checkOpenFilesFor(host_.entryCount()); })) return finish();
        outcome_.ran = true;
        const Lines& lines = oneSheet_ ? kOneSheet : kSheetPerFile;

        host_.setRunning(true);
        prepareWorkbook();
        fileLoop(lines);
        finishWorkbook();
        host_.setRunning(false);
        return finish();
    }

private:
    Workbook& workbook() { return need(workbook_); }

    void writeHeader(int firstLine) {
        headerLine_ = firstLine;
        headers_.assign(columns_.size(), QString());
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const Column& column = columns_[i];
            trap_.step(firstLine + 2 * lineSlot(column), [&] {
                workbook().setActiveSheetCell(1, static_cast<int>(i) + 1, columnHeader(column));
                headers_[i] = columnHeader(column);
            });
        }
        lastRow_ = 1;
        // The sheet's view and outline report under the header's first line, like the header.
        if (sheet_.freezeHeader) trap_.step(firstLine, [&] { workbook().freezeActiveSheetPanes(1, 0); });
        if (sheet_.groupOutline) trap_.step(firstLine, [&] { workbook().setActiveSheetSummaryRowAbove(true); });
    }

    // The custom field each custom column shows in the plan now open, and its header: the plan's
    // name for the field; on the one sheet of many plans, the name when every plan that names the
    // field names it alike, else the field's own name.
    void matchCustomColumns(ActiveProject* active) {
        fieldIds_.assign(columns_.size(), 0);
        if (agreed_.size() != columns_.size()) agreed_.assign(columns_.size(), Agreement{});
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const Column& column = columns_[i];
            if (!column.isCustom()) continue;
            trap_.step(headerLine_ + 2 * lineSlot(column), [&] {
                if (column.kind() == Column::Alias) {
                    fieldIds_[i] = need(active).customFieldOfName(column.aliasName());
                    return;
                }
                fieldIds_[i] = plans::customFieldId(column.customSlot());
                const QString alias = need(active).customFieldName(fieldIds_[i]);
                QString header = columnHeader(column);
                if (oneSheet_) {
                    Agreement& a = agreed_[i];
                    if (!alias.isEmpty()) {
                        if (!a.alias) a.alias = alias;
                        else if (*a.alias != alias) a.differ = true;
                    }
                    if (a.alias && !a.differ) header = *a.alias;
                } else if (!alias.isEmpty()) {
                    header = alias;
                }
                if (header == headers_[i]) return;
                workbook().setActiveSheetCell(1, static_cast<int>(i) + 1, header);
                headers_[i] = header;
            });
        }
    }

    // The filter buttons of the active sheet, over the header and every row written below it.
    void filterSheet(int headerLine) {
        if (!sheet_.filterButtons) return;
        trap_.step(headerLine, [&] {
            workbook().autoFilterActiveSheetRange(QStringLiteral("A1:") + columnLetters(static_cast<int>(columns_.size())) +
                                                  QString::number(lastRow_));
        });
    }

    // A task row's outline level and its name's indent, from the task's outline level.
    void outlineRow(const Lines& lines, ProjectTask& task, long row, std::optional<int> level) {
        if (!level) trap_.step(lines.cells, [&] { level = outlineLevelOf(task); });
        if (!level || *level <= 1) return;
        if (sheet_.groupOutline)
            trap_.step(lines.cells,
                       [&] { workbook().setActiveSheetRowOutlineLevel(row, std::min(*level, kMaxRowOutlineLevel)); });
        if (nameColumn_ > 0)
            trap_.step(lines.cells, [&] {
                workbook().setActiveSheetCellIndent(row, nameColumn_, std::min(*level - 1, kMaxIndentLevel));
            });
    }

    void prepareWorkbook() {
        const int base = oneSheet_ ? 116 : 214;
        trap_.step(base, [&] { application_ = spreadsheetAutomation_.create(); });
        trap_.step(base + 2, [&] { need(application_).workbooksAdd(); });
        trap_.step(base + 4, [&] {
            SpreadsheetApplication& app = need(application_);
            workbook_ = &app.workbook(app.workbooksCount());
        });
        if (oneSheet_) {
            trap_.step(122, [&] { nextRow_ = 2; });
            writeHeader(124);
        } else {
            trap_.step(220, [&] { workbook().setSheetName(1, QStringLiteral("Temp Sheet xx1")); });
            trap_.step(222, [&] { workbook().setSheetName(2, QStringLiteral("Temp Sheet xx2")); });
            trap_.step(224, [&] { workbook().setSheetName(3, QStringLiteral("Temp Sheet xx3")); });
        }
    }

    void addFailure(int firstLine, const QString& path) {
        if (trap_.test(firstLine, [&] { return failureReport_.isEmpty(); }))
            trap_.step(firstLine + 2, [&] { failureReport_ += QStringLiteral("\r\nThese files could not be imported:"); });
        trap_.step(firstLine + 4, [&] { failureReport_ += QStringLiteral("\r\n") + path; });
        outcome_.failedFiles << path;
    }

    void fileLoop(const Lines& lines) {
        // The number of entries bounds the loop; a count that cannot be read skips it.
        const auto count = trap_.value(lines.processEvents, [&] { return host_.entryCount(); });
        if (!count) return;
        for (long n = 1; n <= *count; ++n) {
            trap_.step(lines.processEvents, [&] { host_.yield(); });
            trap_.step(lines.hourglass, [&] { host_.setBusy(true); });
            // Entries removed while the run yields shorten the list: nothing past its end is read.
            if (currentCount() < n) break;
            int now = 0;
            trap_.step(lines.progressValue, [&] {
                now = host_.entryCount();
                if (now == 0) throw Failure(11, QStringLiteral("Division by zero"));
                host_.setProgressValue(static_cast<double>(n) / now * 100.0);
            });
            QString path;
            trap_.step(lines.path, [&] { path = host_.entryText(static_cast<int>(n)); });
            trap_.step(lines.path, [&] {
                const QString name = Main::FileNameOf(path);
                host_.progress(static_cast<int>(n), now, name);
                host_.setProgressText(QStringLiteral("Processing: ") + name);
                host_.yield();
            });
            importFile(lines, path);
            if (oneSheet_) trap_.step(204, [&] { host_.setBusy(true); });
        }
    }

    long currentCount() {
        try {
            return host_.entryCount();
        } catch (...) {
            return -1;
        }
    }

    void importFile(const Lines& lines, const QString& path) {
        std::unique_ptr<ProjectApplication> project;
        std::unique_ptr<ActiveProject> active;
        trap_.step(lines.create, [&] { project = projectAutomation_.create(QStringLiteral("Msproject.Application")); });
        trap_.step(lines.open, [&] { need(project).fileOpen(path, true); });
        if (oneSheet_) {
            trap_.step(146, [&] { need(project).setVisible(true); });
        } else {
            trap_.step(240, [&] { need(application_).setDisplayAlerts(false); });
            trap_.step(242, [&] { workbook().addSheetAfterLast(); });
            writeHeader(244);
        }

        if (trap_.test(lines.projectsTest, [&] { return need(project).projectsCount() > 0; })) {
            trap_.step(lines.activeProject, [&] { active = need(project).activeProject(); });
            if (trap_.test(lines.activeTest, [&] { return active != nullptr; })) {
                if (!oneSheet_) trap_.step(258, [&] { nextRow_ = 2; });
                copyTasks(lines, active.get(), path);
            } else {
                addFailure(lines.failedNoActive, path);
            }
            trap_.step(lines.fileClose, [&] { need(project).fileClose(0); });
        } else {
            addFailure(lines.failedNoPlan, path);
        }
        if (!oneSheet_) filterSheet(244);
        trap_.step(lines.quit, [&] { need(project).quit(); });
        trap_.step(lines.releaseProject, [&] { active.reset(); });
        trap_.step(lines.releaseApplication, [&] { project.reset(); });
    }

    void copyTasks(const Lines& lines, ActiveProject* active, const QString& path) {
        // A plan whose task count cannot be read is listed as failed instead of looping blindly.
        matchCustomColumns(active);
        const auto count = trap_.value(lines.taskLoop, [&] { return need(active).tasksCount(); });
        if (!count) {
            addFailure(lines.failedNoActive, path);
            return;
        }
        for (long t = 1; t <= *count; ++t) {
            std::unique_ptr<ProjectTask> task;
            trap_.step(lines.taskItem, [&] { task = need(active).taskItem(t); });
            // A task left out by the selection takes no row, like a blank position.
            std::optional<int> level;
            if (!trap_.test(lines.taskTest,
                            [&] { return task != nullptr && (!selecting_ || isSelected(rows_, *task, level)); }))
                continue;
            if (nextRow_ > kSheetRows) return sheetFull(lines, active, path, t, *count);
            const long row = nextRow_;
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                const Column& column = columns_[i];
                trap_.step(lines.cells + 2 * lineSlot(column), [&] {
                    workbook().setActiveSheetCell(row, static_cast<int>(i) + 1,
                                                  cellValue(column, need(task), path, fieldIds_[i]));
                });
            }
            lastRow_ = std::max(lastRow_, row);
            if (sheet_.groupOutline || nameColumn_ > 0) outlineRow(lines, need(task), row, level);
            trap_.step(lines.nextRow, [&] { ++nextRow_; });
        }
    }

    // The sheet has no row left for task t: one report says how many of the file's tasks did not
    // fit, none of them is attempted, and the file is listed as failed.
    void sheetFull(const Lines& lines, ActiveProject* active, const QString& path, long t, long count) {
        long left = 1;
        for (long u = t + 1; u <= count; ++u) {
            try {
                std::optional<int> level;
                const std::unique_ptr<ProjectTask> task = need(active).taskItem(u);
                if (task && (!selecting_ || isSelected(rows_, *task, level))) ++left;
            } catch (...) {
                ++left;  // a task that cannot be read did not fit either
            }
        }
        trap_.step(lines.cells, [&] {
            throw Failure(kApplicationDefined, QStringLiteral("The sheet is full: %1 of this file did not fit.")
                                                   .arg(left == 1 ? QStringLiteral("1 task") : QStringLiteral("%1 tasks").arg(left)));
        });
        addFailure(lines.failedNoActive, path);
    }

    void finishWorkbook() {
        if (oneSheet_) {
            filterSheet(124);
            trap_.step(208, [&] { workbook().autoFitActiveSheetColumns(); });
            trap_.step(210, [&] { workbook().selectActiveSheetRange(QStringLiteral("A1")); });
            trap_.step(212, [&] { need(application_).setVisible(true); });
        } else {
            // Every sheet is fitted by the same rule: the ones the run wrote, and the ones it left
            // empty, which keep their widths.
            const auto sheets = trap_.value(312, [&] { return workbook().sheetsCount(); });
            for (int k = 1; sheets && k <= *sheets; ++k) trap_.step(312, [&] { workbook().autoFitSheetColumns(k); });
            trap_.step(314, [&] { need(application_).setDisplayAlerts(false); });
            const QString temporary[3] = {QStringLiteral("Temp Sheet xx1"), QStringLiteral("Temp Sheet xx2"),
                                          QStringLiteral("Temp Sheet xx3")};
            for (int i = 0; i < 3; ++i) {
                const int line = 316 + 2 * i;
                if (trap_.test(line, [&] { return workbook().sheetsCount() > 1; }))
                    trap_.step(line, [&] { workbook().deleteSheet(temporary[i]); });
            }
            trap_.step(322, [&] { need(application_).setDisplayAlerts(true); });
            trap_.step(324, [&] { workbook().selectSheet(1); });
            trap_.step(326, [&] { need(application_).setVisible(true); });
        }
        trap_.step(326, [&] {
            host_.setBusy(false);
            host_.setProgressValue(0);
            host_.progress(0, 0, QString());
            host_.setProgressText(QStringLiteral("Progress Bar"));
        });
        outcome_.closingMessage = QStringLiteral("Done.") + failureReport_;
        trap_.step(332, [&] {
            // The spreadsheet application comes up with the workbook while the message is shown.
            dialogs_.messageBoxOnTop(outcome_.closingMessage, applicationTitle(), MsgButtons::Ok, MsgIcon::None);
        });
        // The handle is let go without quitting: the workbook stays open in the user's hands.
        workbook_ = nullptr;
        application_.reset();
    }

    ImportOutcome finish() {
        outcome_.reports = trap_.reportCount();
        return outcome_;
    }

    ImportHost& host_;
    DialogProvider& dialogs_;
    SpreadsheetAutomation& spreadsheetAutomation_;
    ProjectAutomation& projectAutomation_;
    PlanReading* reading_;
    ErrorTrap trap_;

    bool oneSheet_ = true;
    std::vector<Column> columns_;
    SheetOptions sheet_;
    RowSelection rows_;
    bool selecting_ = false;
    int nameColumn_ = 0;  // the column of the names to indent; 0 for none
    long lastRow_ = 1;    // the last row of the active sheet written so far
    struct Agreement {
        std::optional<QString> alias;  // the first name a plan gave the field
        bool differ = false;           // a later plan named it otherwise
    };
    std::vector<Agreement> agreed_;
    std::vector<long> fieldIds_;
    std::vector<QString> headers_;  // as the sheet being written holds them
    int headerLine_ = 124;
    QString failureReport_;
    long nextRow_ = 2;
    std::unique_ptr<SpreadsheetApplication> application_;
    Workbook* workbook_ = nullptr;
    ImportOutcome outcome_;
};

}  // namespace

ImportOutcome importPlans(ImportHost& host, DialogProvider& dialogs, SpreadsheetAutomation& spreadsheet,
                          ProjectAutomation& project, PlanReading* reading) {
    return Run(host, dialogs, spreadsheet, project, reading).execute();
}

}  // namespace quorrix::importer
