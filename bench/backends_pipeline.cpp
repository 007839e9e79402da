// The Linux backends driven directly, call for call as the import run drives them, without the
// run itself: set beside quorrix-batch it shows what the run adds, and beside the floor what
// the backends cost.
//
//   backends_pipeline [--layout one-sheet|sheet-per-file] --output FILE.xlsx PLAN...

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "importer/plan_project.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "importer/workbook/presenters.h"
#include "platform/failure.h"

using namespace quorrix::importer;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    bool oneSheet = true;
    QString output;
    QStringList plans;
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--layout") && i + 1 < arguments.size())
            oneSheet = arguments[++i] != QLatin1String("sheet-per-file");
        else if (arguments[i] == QLatin1String("--output") && i + 1 < arguments.size())
            output = arguments[++i];
        else
            plans << arguments[i];
    }
    if (output.isEmpty()) {
        std::fprintf(stderr, "usage: backends_pipeline [--layout one-sheet|sheet-per-file] --output FILE.xlsx PLAN...\n");
        return 2;
    }
    const Value headers[] = {QStringLiteral("Task Name"), QStringLiteral("Duration"), QStringLiteral("Start Date"),
                             QStringLiteral("Finish Date")};
    int failed = 0;
    try {
        workbook::MemorySpreadsheetAutomation spreadsheet(std::make_shared<workbook::FilePresenter>(output));
        PlanProjectAutomation project;
        auto excel = spreadsheet.create();
        excel->workbooksAdd();
        Workbook& book = excel->workbook(excel->workbooksCount());
        long next = 2;
        if (oneSheet) {
            for (int c = 0; c < 4; ++c) book.setActiveSheetCell(1, c + 1, headers[c]);
        } else {
            for (int k = 1; k <= 3; ++k) book.setSheetName(k, QStringLiteral("Temp Sheet xx%1").arg(k));
        }
        for (const QString& path : plans) {
            auto app = project.create(QStringLiteral("Msproject.Application"));
            try {
                app->fileOpen(path, true);
            } catch (const quorrix::Failure& f) {
                std::fprintf(stderr, "%s\n", qPrintable(f.description()));
            }
            if (!oneSheet) {
                excel->setDisplayAlerts(false);
                book.addSheetAfterLast();
                for (int c = 0; c < 4; ++c) book.setActiveSheetCell(1, c + 1, headers[c]);
                next = 2;
            }
            if (app->projectsCount() > 0) {
                auto active = app->activeProject();
                const long count = active->tasksCount();
                for (long t = 1; t <= count; ++t) {
                    auto task = active->taskItem(t);
                    if (!task) continue;
                    book.setActiveSheetCell(next, 1, task->name());
                    book.setActiveSheetCell(next, 2, task->duration());
                    book.setActiveSheetCell(next, 3, task->start());
                    book.setActiveSheetCell(next, 4, task->finish());
                    ++next;
                }
                app->fileClose(0);
            } else {
                ++failed;
            }
            app->quit();
        }
        book.autoFitActiveSheetColumns();
        if (oneSheet) {
            book.selectActiveSheetRange(QStringLiteral("A1"));
        } else {
            excel->setDisplayAlerts(false);
            for (int k = 1; k <= 3; ++k)
                if (book.sheetsCount() > 1) book.deleteSheet(QStringLiteral("Temp Sheet xx%1").arg(k));
            excel->setDisplayAlerts(true);
            book.selectSheet(1);
        }
        excel->setVisible(true);
    } catch (const quorrix::Failure& f) {
        std::fprintf(stderr, "%s\n", qPrintable(f.description()));
        return 2;
    }
    std::printf("Done.\n");
    return failed ? 1 : 0;
}
