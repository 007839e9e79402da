#include <QContextMenuEvent>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "support/form_fixture.h"
#include "support/served_project.h"

namespace quorrix {
namespace {

using importer::TaskField;
using importer::Value;

class ColumnsMenuTest : public testing::FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        spreadsheet = &memory;
        project = &served;
        testing::ServedTask task{QStringLiteral("Kick-off"), 60, importer::wallClock(QDate(2024, 1, 8), QTime(8, 0)),
                                 importer::wallClock(QDate(2024, 1, 8), QTime(9, 0)), {}};
        task.fields[static_cast<int>(TaskField::Notes)] = QStringLiteral("Agenda first");
        task.fields[static_cast<int>(TaskField::PercentComplete)] = 40.0;
        served.serve(QStringLiteral("/plans/roadmap.mpp"), {task});
    }
    Form1& loaded() {
        Form1& f = makeForm();
        f.Form_Load();
        return f;
    }
    // A right-click as the window system delivers it to a widget.
    static void rightClick(QWidget* w) {
        const QPoint pos(4, 4);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, w->mapToGlobal(pos));
        QCoreApplication::sendEvent(w, &event);
    }
    static QAction* entry(Form1& f, const QString& text) {
        for (QAction* a : f.columnEntries())
            if (a->text() == text) return a;
        ADD_FAILURE() << "no entry " << text.toStdString();
        return nullptr;
    }
    QString stored() const {
        QSettings raw(settings->fileName(), QSettings::IniFormat);
        return raw.contains(QStringLiteral("Columns")) ? raw.value(QStringLiteral("Columns")).toString()
                                                       : QStringLiteral("<absent>");
    }
    // Imports the served plan from the window; the header row of the new workbook.
    QStringList importHeaders(Form1& f) {
        f.AddFileEntry(QStringLiteral("/plans/roadmap.mpp"));
        f.PushButton2_Click();
        const auto& book = *memory.workbooks().back();
        QStringList out;
        for (int c = 1; c <= book.usedColumns(1); ++c) out << std::get<QString>(book.cell(1, 1, c));
        return out;
    }

    importer::workbook::MemorySpreadsheetAutomation memory{nullptr};
    testing::ServedProject served;
};

TEST_F(ColumnsMenuTest, RightClickOnTheFrameOffersTheFurtherColumnsAndKeepsTheFrameAsItWas) {
    Form1& f = loaded();
    const QRect frame = f.Frame1->geometry();
    EXPECT_EQ(f.Frame1->title(), QStringLiteral("Import Options"));
    EXPECT_TRUE(f.Frame1->toolTip().contains(QStringLiteral("Right-click")));
    EXPECT_FALSE(f.ColumnsMenu->isVisible());

    rightClick(f.Frame1);
    ASSERT_TRUE(f.ColumnsMenu->isVisible());
    // Groups of no more than twenty entries; the custom fields one submenu per kind, Text in two.
    QStringList groups;
    for (QAction* a : f.ColumnsMenu->actions())
        if (a->menu()) groups << a->text();
    EXPECT_EQ(groups,
              (QStringList{"Task", "Schedule", "Links", "Baseline and Progress", "Custom Fields", "Sheet", "Rows"}));
    QStringList kinds;
    for (QMenu* menu : f.ColumnsMenu->findChildren<QMenu*>()) {
        EXPECT_LE(menu->actions().size(), 20) << menu->title().toStdString();
        const auto* parent = qobject_cast<QMenu*>(menu->parent());
        if (parent && parent->title() == QLatin1String("Custom Fields")) kinds << menu->title();
    }
    EXPECT_EQ(kinds, (QStringList{"Text 1\u201315", "Text 16\u201330", "Number", "Flag", "Date", "Start", "Finish",
                                  "Duration", "Cost", "Outline Code"}));
    QStringList checkable;
    for (QAction* a : f.columnEntries()) {
        checkable << a->text();
        EXPECT_FALSE(a->isChecked()) << a->text().toStdString();
    }
    // Every further column once.
    EXPECT_EQ(checkable.size(), static_cast<qsizetype>(importer::extraColumns().size()));
    checkable.removeDuplicates();
    EXPECT_EQ(checkable.size(), static_cast<qsizetype>(importer::extraColumns().size()));
    for (const char* text : {"Plan", "Resource Names", "Predecessors", "Total Slack", "Duration (Shown)",
                             "Baseline Duration (Days)", "Text30", "Outline Code10"})
        EXPECT_TRUE(checkable.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(f.ColumnsMenu->actions().back(), f.DefaultColumnsAction);
    EXPECT_FALSE(f.DefaultColumnsAction->isEnabled());  // the four are what is chosen
    f.ColumnsMenu->hide();

    // The options inside the frame pass the right-click on to it and stay as they were.
    rightClick(f.Option3);
    EXPECT_TRUE(f.ColumnsMenu->isVisible());
    EXPECT_FALSE(f.Option3->isChecked());
    EXPECT_TRUE(f.Option4->isChecked());
    f.ColumnsMenu->hide();
    EXPECT_EQ(f.Frame1->geometry(), frame);
    EXPECT_EQ(stored(), QStringLiteral("<absent>"));  // looking is not choosing
}

TEST_F(ColumnsMenuTest, CheckedColumnsAreStoredAfterTheFourAndReachTheRun) {
    Form1& f = loaded();
    EXPECT_EQ(importHeaders(f), (QStringList{"Task Name", "Duration", "Start Date", "Finish Date"}));

    rightClick(f.Frame1);
    entry(f, QStringLiteral("Notes"))->trigger();
    entry(f, QStringLiteral("% Complete"))->trigger();
    entry(f, QStringLiteral("Plan"))->trigger();
    f.ColumnsMenu->hide();
    EXPECT_TRUE(f.Frame1->toolTip().endsWith(QStringLiteral("Finish Date, Plan, % Complete, Notes.")));
    EXPECT_EQ(stored(), QStringLiteral("name,duration,start,finish,plan,percent-complete,notes"));
    EXPECT_TRUE(f.DefaultColumnsAction->isEnabled());

    f.ListView1->clear();
    EXPECT_EQ(importHeaders(f), (QStringList{"Task Name", "Duration", "Start Date", "Finish Date", "Plan",
                                             "% Complete", "Notes"}));
    const auto& book = *memory.workbooks().back();
    EXPECT_EQ(book.cell(1, 2, 5), Value(QStringLiteral("roadmap.mpp")));
    EXPECT_EQ(book.cell(1, 2, 6), Value(40.0));
    EXPECT_EQ(book.cell(1, 2, 7), Value(QStringLiteral("Agenda first")));

    // Unchecking one keeps the others; the choice is there again after a restart.
    entry(f, QStringLiteral("% Complete"))->trigger();
    EXPECT_EQ(stored(), QStringLiteral("name,duration,start,finish,plan,notes"));
    Form1& again = loaded();
    rightClick(again.Frame1);
    EXPECT_TRUE(entry(again, QStringLiteral("Plan"))->isChecked());
    EXPECT_TRUE(entry(again, QStringLiteral("Notes"))->isChecked());
    EXPECT_FALSE(entry(again, QStringLiteral("% Complete"))->isChecked());

    // Once the menu closes, the frame's hint tells the columns the next import writes.
    const QString four = QStringLiteral("Task Name, Duration, Start Date, Finish Date");
    EXPECT_TRUE(again.Frame1->toolTip().endsWith(four + QStringLiteral(", Plan, Notes."))) << again.Frame1->toolTip().toStdString();
    again.ColumnsMenu->hide();
    EXPECT_TRUE(again.Frame1->toolTip().endsWith(four + QStringLiteral(", Plan, Notes.")));

    // The last entry goes back to the specified workbook and removes the value.
    again.DefaultColumnsAction->trigger();
    EXPECT_TRUE(again.Frame1->toolTip().endsWith(QStringLiteral("The workbook's columns: ") + four + '.'));
    EXPECT_EQ(stored(), QStringLiteral("<absent>"));
    EXPECT_FALSE(entry(again, QStringLiteral("Plan"))->isChecked());
    EXPECT_EQ(importHeaders(again), (QStringList{"Task Name", "Duration", "Start Date", "Finish Date"}));
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(ColumnsMenuTest, AClickOnAnEntryKeepsTheMenuOpenForTheNext) {
    Form1& f = loaded();
    rightClick(f.Frame1);
    ASSERT_TRUE(f.ColumnsMenu->isVisible());
    // The release of the right button that opened the menu, over its first entry, checks nothing.
    QAction* plan = entry(f, QStringLiteral("Plan"));
    auto* task = qobject_cast<QMenu*>(plan->parent());
    ASSERT_NE(task, nullptr);
    task->popup(f.ColumnsMenu->pos());
    QTest::mouseRelease(task, Qt::RightButton, Qt::NoModifier, task->actionGeometry(plan).center());
    EXPECT_FALSE(plan->isChecked());
    EXPECT_EQ(stored(), QStringLiteral("<absent>"));
    QAction* wbs = entry(f, QStringLiteral("WBS"));
    QTest::mouseClick(task, Qt::LeftButton, Qt::NoModifier, task->actionGeometry(wbs).center());
    EXPECT_TRUE(wbs->isChecked());
    EXPECT_TRUE(task->isVisible());
    EXPECT_EQ(stored(), QStringLiteral("name,duration,start,finish,wbs"));
    f.ColumnsMenu->hide();
}

TEST_F(ColumnsMenuTest, StoredValuesThatCannotBeReadGiveTheFourWithoutAReport) {
    for (const char* text : {"name,owner", "", ",", "plan,plan", "12"}) {
        SCOPED_TRACE(text);
        settings->write(QStringLiteral("Columns"), QString::fromLatin1(text));
        Form1& f = loaded();
        EXPECT_EQ(importHeaders(f), (QStringList{"Task Name", "Duration", "Start Date", "Finish Date"}));
        rightClick(f.Frame1);
        EXPECT_FALSE(entry(f, QStringLiteral("Plan"))->isChecked());
        f.ColumnsMenu->hide();
    }
    EXPECT_TRUE(dialogs.reports().isEmpty());

    // A list written by hand without quotes is read as the list it is, in its order.
    {
        QFile ini(settings->fileName());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[General]\nColumns=plan, name\n");
    }
    settings = std::make_unique<Settings>(settings->fileName());
    EXPECT_EQ(settings->columns(), (std::vector<importer::Column>{importer::Column::Plan, importer::Column::Name}));

    // Entries of the submenus are kept like the others, in list order; a custom field chosen by its
    // name stays chosen, after them.
    settings->write(QStringLiteral("Columns"), QStringLiteral("name,duration,start,finish,alias:Region"));
    Form1& f = loaded();
    rightClick(f.Frame1);
    entry(f, QStringLiteral("Text2"))->trigger();
    entry(f, QStringLiteral("Critical"))->trigger();
    EXPECT_EQ(stored(), QStringLiteral("name,duration,start,finish,critical,text2,alias:Region"));
    EXPECT_TRUE(entry(f, QStringLiteral("Text2"))->isChecked());
    f.ColumnsMenu->hide();
}

TEST_F(ColumnsMenuTest, CustomFieldsChosenByNameAreAskedForListedAndKeptInTheirOrder) {
    Form1& f = loaded();
    rightClick(f.Frame1);
    const auto byName = [&](const char* answer) {
        dialogs.answerInput(QString::fromUtf8(answer));
        f.ByNameAction->trigger();
    };
    byName(" Region ");
    byName("REGION");  // the same field: names compare without regard to letter case
    byName("");        // Cancel
    byName("A,B");     // cannot be kept in the list of keys
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("A name with a comma cannot be chosen: A,B")});
    entry(f, QStringLiteral("Notes"))->trigger();
    byName("Owner & Co");
    EXPECT_EQ(stored(), QStringLiteral("name,duration,start,finish,notes,alias:Region,alias:Owner & Co"));
    QAction* region = entry(f, QStringLiteral("\u201CRegion\u201D"));
    ASSERT_TRUE(region && region->isChecked());
    ASSERT_NE(entry(f, QStringLiteral("\u201COwner && Co\u201D")), nullptr);

    // Unchecked in the open menu, the entry stays to be checked again, and then comes last.
    region->trigger();
    EXPECT_EQ(stored(), QStringLiteral("name,duration,start,finish,notes,alias:Owner & Co"));
    region->trigger();
    EXPECT_EQ(stored(), QStringLiteral("name,duration,start,finish,notes,alias:Owner & Co,alias:Region"));
    entry(f, QStringLiteral("\u201COwner && Co\u201D"))->trigger();
    f.ColumnsMenu->hide();
    EXPECT_EQ(importHeaders(f), (QStringList{"Task Name", "Duration", "Start Date", "Finish Date", "Notes", "Region"}));

    // Reopened and after a restart, the menu lists what is chosen, and nothing unchecked.
    Form1& again = loaded();
    rightClick(again.Frame1);
    QStringList entries;
    for (QAction* a : again.columnEntries())
        if (a->data().toString().startsWith(QLatin1String("alias:"))) entries << a->text() + (a->isChecked() ? "+" : "-");
    EXPECT_EQ(entries, QStringList{QStringLiteral("\u201CRegion\u201D+")});
    again.DefaultColumnsAction->trigger();
    again.ColumnsMenu->hide();  // as the click on that entry closes it
    rightClick(again.Frame1);
    for (QAction* a : again.columnEntries()) EXPECT_FALSE(a->data().toString().startsWith(QLatin1String("alias:")));
    again.ColumnsMenu->hide();
    EXPECT_TRUE(dialogs.allAnswersUsed());
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(ColumnsMenuTest, TheMenuDoesNotOpenWhileAnImportRuns) {
    Form1& f = loaded();
    f.PushButton2->setEnabled(false);  // as the run holds it
    rightClick(f.Frame1);
    EXPECT_FALSE(f.ColumnsMenu->isVisible());
    f.PushButton2->setEnabled(true);
    rightClick(f.Frame1);
    EXPECT_TRUE(f.ColumnsMenu->isVisible());
    f.ColumnsMenu->hide();
}

}  // namespace
}  // namespace quorrix
