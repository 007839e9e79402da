#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QSettings>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "support/form_fixture.h"
#include "support/served_project.h"

namespace quorrix {
namespace {

using importer::TaskField;

class SheetMenusTest : public testing::FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        spreadsheet = &memory;
        project = &served;
        const QDate today = QDate::currentDate();
        const auto task = [&](const QString& name, int level, bool milestone, int inDays) {
            const QDateTime when = importer::wallClock(today.addDays(inDays), QTime(9, 0));
            testing::ServedTask t{name, 0, when, when, {}};
            t.fields[static_cast<int>(TaskField::OutlineLevel)] = double(level);
            t.fields[static_cast<int>(TaskField::Milestone)] = milestone ? QStringLiteral("Yes") : QStringLiteral("No");
            return t;
        };
        // The last day of the next two weeks is today + 13.
        served.serve(QStringLiteral("/plans/p.mpp"),
                     {task(QStringLiteral("Phase"), 1, false, 0), task(QStringLiteral("Gate"), 2, true, 13),
                      task(QStringLiteral("Later gate"), 2, true, 14), task(QStringLiteral("Work"), 3, false, 1)});
    }
    Form1& loaded() {
        Form1& f = makeForm();
        f.Form_Load();
        const QPoint pos(4, 4);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, f.Frame1->mapToGlobal(pos));
        QCoreApplication::sendEvent(f.Frame1, &event);
        EXPECT_TRUE(f.ColumnsMenu->isVisible());
        return f;
    }
    // The entry of a menu or one of its submenus with this text.
    static QAction* entry(QMenu* menu, const QString& text) {
        for (QAction* a : menu->actions()) {
            if (a->text() == text) return a;
            if (a->menu())
                if (QAction* inner = entry(a->menu(), text)) return inner;
        }
        return nullptr;
    }
    static QStringList checked(QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions()) {
            if (a->menu()) out += checked(a->menu());
            else if (a->isChecked()) out << a->text();
        }
        return out;
    }
    QString stored(const char* key) const {
        QSettings raw(settings->fileName(), QSettings::IniFormat);
        return raw.value(QLatin1String(key), QStringLiteral("<absent>")).toString();
    }
    // Imports the served plan; the names of the rows written, and the workbook.
    QStringList importNames(Form1& f) {
        f.ListView1->clear();
        f.AddFileEntry(QStringLiteral("/plans/p.mpp"));
        f.PushButton2_Click();
        const auto& book = *memory.workbooks().back();
        QStringList out;
        for (long r = 2; r <= book.usedRows(1); ++r) out << std::get<QString>(book.cell(1, r, 1));
        return out;
    }

    importer::workbook::MemorySpreadsheetAutomation memory{nullptr};
    testing::ServedProject served;
};

TEST_F(SheetMenusTest, SheetAndRowsSubmenusKeepTheirChoiceAndTheRunFollowsIt) {
    Form1& f = loaded();
    // Both submenus stand apart from the columns, before the entry that goes back to the four.
    const QList<QAction*> top = f.ColumnsMenu->actions();
    const qsizetype sheet = top.indexOf(f.SheetMenu->menuAction());
    ASSERT_GT(sheet, 0);
    EXPECT_TRUE(top[sheet - 1]->isSeparator());
    EXPECT_EQ(top[sheet + 1], f.RowsMenu->menuAction());
    EXPECT_EQ(top.back(), f.DefaultColumnsAction);
    EXPECT_EQ(f.SheetMenu->title(), QStringLiteral("Sheet"));
    EXPECT_EQ(f.RowsMenu->title(), QStringLiteral("Rows"));
    QStringList sheetEntries;
    for (QAction* a : f.SheetMenu->actions()) sheetEntries << a->text();
    EXPECT_EQ(sheetEntries, (QStringList{"Freeze Header Row", "Filter Buttons", "Group Rows by Outline",
                                         "Indent Names by Outline Level"}));
    EXPECT_EQ(checked(f.RowsMenu), QStringList{"All Tasks"});
    for (const char* text : {"Milestones Only", "Unfinished Tasks Only", "Up to Outline Level", "Active in the Next", "9",
                             "1 Week from Today", "8 Weeks from Today"})
        EXPECT_TRUE(entry(f.RowsMenu, QString::fromLatin1(text))) << text;

    entry(f.SheetMenu, QStringLiteral("Indent Names by Outline Level"))->trigger();
    entry(f.SheetMenu, QStringLiteral("Freeze Header Row"))->trigger();
    EXPECT_EQ(stored("Sheet"), QStringLiteral("freeze-header,indent-names"));
    entry(f.RowsMenu, QStringLiteral("2 Weeks from Today"))->trigger();
    entry(f.RowsMenu, QStringLiteral("2"))->trigger();
    entry(f.RowsMenu, QStringLiteral("3"))->trigger();  // the levels exclude one another
    entry(f.RowsMenu, QStringLiteral("Milestones Only"))->trigger();
    EXPECT_EQ(stored("Rows"), QStringLiteral("milestones,max-outline-level=3,next-weeks=2"));
    EXPECT_EQ(checked(f.RowsMenu), (QStringList{"Milestones Only", "3", "2 Weeks from Today"}));
    entry(f.RowsMenu, QStringLiteral("3"))->trigger();  // the checked one again: every level
    EXPECT_EQ(stored("Rows"), QStringLiteral("milestones,next-weeks=2"));
    f.ColumnsMenu->hide();

    // The choice is there again after a restart, and the run reads it as it starts.
    Form1& again = loaded();
    EXPECT_EQ(checked(again.SheetMenu), (QStringList{"Freeze Header Row", "Indent Names by Outline Level"}));
    EXPECT_EQ(checked(again.RowsMenu), (QStringList{"Milestones Only", "2 Weeks from Today"}));
    again.ColumnsMenu->hide();
    EXPECT_EQ(importNames(again), QStringList{"Gate"});
    const auto& book = *memory.workbooks().back();
    EXPECT_EQ(book.sheet(1).frozenRows, 1);
    EXPECT_EQ(book.sheet(1).indent(1, 1), 1);
    EXPECT_EQ(book.sheet(1).rowLevel(1), 0);  // not grouped

    // "All Tasks" goes back to every task and removes the value; the sheet options stay.
    Form1& third = loaded();
    third.AllTasksAction->trigger();
    EXPECT_EQ(stored("Rows"), QStringLiteral("<absent>"));
    EXPECT_EQ(checked(third.RowsMenu), QStringList{"All Tasks"});
    third.ColumnsMenu->hide();
    EXPECT_EQ(importNames(third), (QStringList{"Phase", "Gate", "Later gate", "Work"}));
    EXPECT_EQ(memory.workbooks().back()->sheet(1).indent(4, 1), 2);
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(SheetMenusTest, StoredValuesThatCannotBeReadGiveTheDefaultWithoutAReport) {
    for (const auto& [sheetText, rowsText] :
         {std::pair{"freeze-header,bogus", "milestones,max-outline-level=10"}, std::pair{",", "next-weeks=3"},
          std::pair{"filter-buttons,filter-buttons", "max-outline-level=x"}, std::pair{"12", "unfinished,,milestones"}}) {
        SCOPED_TRACE(sheetText);
        settings->write(QStringLiteral("Sheet"), QString::fromLatin1(sheetText));
        settings->write(QStringLiteral("Rows"), QString::fromLatin1(rowsText));
        Form1& f = loaded();
        EXPECT_TRUE(checked(f.SheetMenu).isEmpty());
        EXPECT_EQ(checked(f.RowsMenu), QStringList{"All Tasks"});
        f.ColumnsMenu->hide();
        EXPECT_EQ(importNames(f).size(), 4);
        EXPECT_EQ(memory.workbooks().back()->sheet(1).frozenRows, 0);
    }
    EXPECT_TRUE(dialogs.reports().isEmpty());

    // The text form, read in any order and letter case, and the days it selects.
    const std::optional<RowChoice> read = RowChoice::fromText(QStringLiteral(" Next-Weeks=8 ,unfinished"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->text(), QStringLiteral("unfinished,next-weeks=8"));
    const importer::RowSelection selection = read->selectionOn(QDate(2024, 2, 26));
    EXPECT_EQ(selection.activeFrom, QDate(2024, 2, 26));
    EXPECT_EQ(selection.activeTo, QDate(2024, 4, 21));
    EXPECT_FALSE(RowChoice{}.selectionOn(QDate(2024, 2, 26)).hasWindow());
}

}  // namespace
}  // namespace quorrix
