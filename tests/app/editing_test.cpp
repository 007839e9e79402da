#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "support/form_fixture.h"

namespace quorrix {
namespace {

using testing::FormFixture;

const QStringList kABCD = {"/plans/A.mpp", "/plans/B.mpp", "/plans/C.mpp", "/plans/D.mpp"};

// The main window shown and active, filled by tests through the list's own entry routine, and
// driven with real mouse and key events.
class EditingTest : public FormFixture {
protected:
    Form1& shownForm(const QStringList& entries) {
        Form1& f = makeForm();
        for (const QString& e : entries) f.AddFileEntry(e);
        f.show();
        QApplication::setActiveWindow(&f);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
        return f;
    }

    QTreeWidgetItem* entry(int position) { return form->ListView1->topLevelItem(position - 1); }

    // Selects an entry with a click on it, as the user does.
    void clickEntry(int position) {
        QWidget* vp = form->ListView1->viewport();
        const QPoint at = form->ListView1->visualItemRect(entry(position)).center();
        QTest::mousePress(vp, Qt::LeftButton, {}, at);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, at);
    }

    // Press, release, double-click, release: the events of a real double-click.
    void doubleClickAt(const QPoint& at) {
        QWidget* vp = form->ListView1->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, at);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, at);
        QTest::mouseDClick(vp, Qt::LeftButton, {}, at);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, at);
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    int selectedPosition() {
        const auto selected = form->ListView1->selectedItems();
        if (selected.size() != 1) return 0;
        return form->ListView1->indexOfTopLevelItem(selected.first()) + 1;
    }

    bool fullyVisible(int position) {
        const QRect r = form->ListView1->visualItemRect(entry(position));
        return form->ListView1->viewport()->rect().contains(r);
    }

    QStringList manyEntries(int n) {
        QStringList all;
        for (int i = 1; i <= n; ++i) all << QStringLiteral("/plans/p%1.mpp").arg(i, 2, 10, QLatin1Char('0'));
        return all;
    }

    void expectNoDialogs() { EXPECT_TRUE(dialogs.calls.empty()) << dialogs.reports().join("\n").toStdString(); }
};

// ---- Move Up and Move Down -------------------------------------------------------------

TEST_F(EditingTest, MoveUpAndMoveDownMoveTheSelectedPathAndKeepItSelectedWithTheFocus) {
    Form1& f = shownForm(kABCD);
    clickEntry(3);
    click(f.PushButton3);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[2], kABCD[1], kABCD[3]}));
    EXPECT_EQ(selectedPosition(), 2);
    EXPECT_TRUE(f.ListView1->hasFocus());

    // Repeated clicks keep moving the same path.
    click(f.PushButton3);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[2], kABCD[0], kABCD[1], kABCD[3]}));
    EXPECT_EQ(selectedPosition(), 1);

    click(f.PushButton5);
    click(f.PushButton5);
    click(f.PushButton5);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[1], kABCD[3], kABCD[2]}));
    EXPECT_EQ(selectedPosition(), 4);
    EXPECT_TRUE(f.ListView1->hasFocus());
    EXPECT_EQ(f.ListView1->currentItem(), entry(4));
    expectNoDialogs();
}

TEST_F(EditingTest, MoveDownOnTheLastButOneMakesItTheLast) {
    Form1& f = shownForm(kABCD);
    clickEntry(3);
    click(f.PushButton5);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[1], kABCD[3], kABCD[2]}));
    EXPECT_EQ(selectedPosition(), 4);
}

TEST_F(EditingTest, AtTheEndsAndOnASingleEntryTheMovesOnlyGiveTheListTheFocus) {
    Form1& f = shownForm(kABCD);
    clickEntry(1);
    f.PushButton3->setFocus();
    click(f.PushButton3);
    EXPECT_EQ(f.entries(), kABCD);
    EXPECT_EQ(selectedPosition(), 1);
    EXPECT_TRUE(f.ListView1->hasFocus());

    clickEntry(4);
    f.PushButton5->setFocus();
    click(f.PushButton5);
    EXPECT_EQ(f.entries(), kABCD);
    EXPECT_EQ(selectedPosition(), 4);
    EXPECT_TRUE(f.ListView1->hasFocus());

    f.PushButton6_Click();
    f.AddFileEntry(kABCD[1]);
    QTreeWidgetItem* only = entry(1);
    clickEntry(1);
    for (QPushButton* b : {f.PushButton3, f.PushButton5}) {
        b->setFocus();
        click(b);
        EXPECT_EQ(f.entries(), QStringList{kABCD[1]});
        EXPECT_EQ(entry(1), only);  // not even re-created
        EXPECT_TRUE(f.ListView1->hasFocus());
    }
    expectNoDialogs();
}

TEST_F(EditingTest, MovesOnAnEmptyListDoNothing) {
    Form1& f = shownForm({});
    f.PushButton3->setFocus();
    click(f.PushButton3);
    click(f.PushButton5);
    EXPECT_EQ(f.entryCount(), 0);
    EXPECT_FALSE(f.ListView1->hasFocus());
    expectNoDialogs();
}

TEST_F(EditingTest, WithNoEntrySelectedTheMovesOnlyGiveTheListTheFocus) {
    Form1& f = shownForm(kABCD);
    ASSERT_EQ(selectedPosition(), 0);
    for (QPushButton* b : {f.PushButton3, f.PushButton5}) {
        b->setFocus();
        click(b);
        EXPECT_EQ(f.entries(), kABCD);
        EXPECT_EQ(selectedPosition(), 0);
        EXPECT_TRUE(f.ListView1->hasFocus());
    }
    expectNoDialogs();
}

TEST_F(EditingTest, TheSamePathTwiceMovesByPosition) {
    const QString x = QStringLiteral("/plans/X.mpp");
    Form1& f = shownForm({kABCD[0], x, kABCD[1], x});
    QTreeWidgetItem* firstX = entry(2);
    clickEntry(4);
    click(f.PushButton3);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], x, x, kABCD[1]}));
    EXPECT_EQ(selectedPosition(), 3);
    EXPECT_EQ(entry(2), firstX);  // the other occurrence stayed where it was

    click(f.PushButton5);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], x, kABCD[1], x}));
    EXPECT_EQ(selectedPosition(), 4);
    EXPECT_EQ(entry(2), firstX);
}

TEST_F(EditingTest, AMovedEntryIsANewEntryLikeTheOthers) {
    Form1& f = shownForm(kABCD);
    QTreeWidgetItem* b = entry(2);
    const Qt::ItemFlags flags = b->flags();
    clickEntry(2);
    click(f.PushButton5);
    EXPECT_NE(entry(3), b);
    EXPECT_EQ(entry(3)->text(0), kABCD[1]);
    EXPECT_EQ(entry(3)->flags(), flags);
    EXPECT_EQ(f.entryCount(), 4);
}

TEST_F(EditingTest, TheMovedEntryIsScrolledIntoView) {
    const QStringList many = manyEntries(40);
    Form1& f = shownForm(many);
    QScrollBar* bar = f.ListView1->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    clickEntry(1);
    f.ListView1->scrollToBottom();
    ASSERT_FALSE(fullyVisible(1));
    click(f.PushButton5);
    EXPECT_EQ(f.entryText(2), many[0]);
    EXPECT_TRUE(fullyVisible(2));

    f.ListView1->scrollToItem(entry(40));
    clickEntry(40);
    f.ListView1->scrollToTop();
    ASSERT_FALSE(fullyVisible(39));
    click(f.PushButton3);
    EXPECT_EQ(f.entryText(39), many[39]);
    EXPECT_EQ(selectedPosition(), 39);
    EXPECT_TRUE(fullyVisible(39));
    expectNoDialogs();
}

// ---- Removing entries ---------------------------------------------------------------------

TEST_F(EditingTest, ADoubleClickOnAnEntryRemovesIt) {
    Form1& f = shownForm(kABCD);
    doubleClickAt(f.ListView1->visualItemRect(entry(3)).center());
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[1], kABCD[3]}));
    expectNoDialogs();
}

TEST_F(EditingTest, ADoubleClickBelowTheEntriesRemovesTheSelectedEntry) {
    Form1& f = shownForm(kABCD);
    clickEntry(2);
    const QRect last = f.ListView1->visualItemRect(entry(4));
    const QPoint below(last.center().x(), last.bottom() + 3 * last.height());
    ASSERT_EQ(f.ListView1->itemAt(below), nullptr);
    doubleClickAt(below);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[2], kABCD[3]}));

    // Nothing selected any more: a further double-click there removes nothing.
    f.ListView1->clearSelection();
    doubleClickAt(below);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[2], kABCD[3]}));
}

TEST_F(EditingTest, DeleteRemovesTheSelectedEntryWhateverTheModifiers) {
    Form1& f = shownForm(kABCD);
    clickEntry(2);
    QTest::keyClick(f.ListView1, Qt::Key_Delete);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[2], kABCD[3]}));

    clickEntry(1);
    QTest::keyClick(f.ListView1, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[2], kABCD[3]}));

    clickEntry(2);
    QTest::keyClick(f.ListView1, Qt::Key_Delete, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(f.entries(), QStringList{kABCD[2]});
    expectNoDialogs();
}

TEST_F(EditingTest, OtherKeysRemoveNothingAndTheKeyReachesTheList) {
    Form1& f = shownForm(kABCD);
    clickEntry(2);
    // The period key carries Qt's code 46, which must not be taken for Delete.
    QTest::keyClick(f.ListView1, Qt::Key_Period);
    QTest::keyClick(f.ListView1, Qt::Key_Backspace);
    QTest::keyClick(f.ListView1, Qt::Key_Insert);
    EXPECT_EQ(f.entries(), kABCD);

    // The list still sees the keys itself: the arrow key moves its selection.
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    EXPECT_EQ(selectedPosition(), 3);
    QTest::keyClick(f.ListView1, Qt::Key_Delete);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[1], kABCD[3]}));
}

TEST_F(EditingTest, RemovalWithNothingSelectedOrOnAnEmptyListDoesNothing) {
    Form1& f = shownForm(kABCD);
    ASSERT_EQ(selectedPosition(), 0);
    QTest::keyClick(f.ListView1, Qt::Key_Delete);
    f.ListView1_DblClick();
    EXPECT_EQ(f.entries(), kABCD);

    f.PushButton6_Click();
    QTest::keyClick(f.ListView1, Qt::Key_Delete);
    doubleClickAt(f.ListView1->viewport()->rect().center());
    EXPECT_EQ(f.entryCount(), 0);
    expectNoDialogs();
}

// ---- Clear List ---------------------------------------------------------------------------

TEST_F(EditingTest, ClearListEmptiesTheListAndOnAnEmptyListReportsNothing) {
    Form1& f = shownForm(kABCD);
    clickEntry(2);
    click(f.PushButton6);
    EXPECT_EQ(f.entryCount(), 0);
    click(f.PushButton6);
    EXPECT_EQ(f.entryCount(), 0);
    expectNoDialogs();

    // The list fills again as before.
    f.AddFileEntry(kABCD[3]);
    EXPECT_EQ(f.entries(), QStringList{kABCD[3]});
}

// ---- The busy state -----------------------------------------------------------------------

TEST_F(EditingTest, TheBusyStateHoldsTheEditsBackWhileClearListStillEmpties) {
    Form1& f = shownForm(kABCD);
    clickEntry(2);
    f.setMousePointer(kPointerHourglass);

    click(f.PushButton3);
    click(f.PushButton5);
    doubleClickAt(f.ListView1->visualItemRect(entry(3)).center());
    QTest::keyClick(f.ListView1, Qt::Key_Delete);
    QTest::keyClick(f.ListView1, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(f.entries(), kABCD);
    EXPECT_EQ(f.mousePointer(), kPointerHourglass);

    click(f.PushButton6);
    EXPECT_EQ(f.entryCount(), 0);
    EXPECT_EQ(f.mousePointer(), kPointerHourglass);
    expectNoDialogs();

    // After the long operation the edits work again.
    f.setMousePointer(kPointerDefault);
    for (const QString& e : kABCD) f.AddFileEntry(e);
    clickEntry(2);
    click(f.PushButton5);
    EXPECT_EQ(f.entries(), (QStringList{kABCD[0], kABCD[2], kABCD[1], kABCD[3]}));
}

}  // namespace
}  // namespace quorrix
