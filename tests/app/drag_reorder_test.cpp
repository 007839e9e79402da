#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

#include "app/form1.h"
#include "support/form_fixture.h"

namespace quorrix {
namespace {

using testing::FormFixture;

const QString A = QStringLiteral("/plans/A.mpp");
const QString B = QStringLiteral("/plans/B.mpp");
const QString C = QStringLiteral("/plans/C.mpp");
const QString D = QStringLiteral("/plans/D.mpp");

// An icon file of one colour, written the way the image library writes icons.
QByteArray iconBytes(const QColor& colour, int size = 32) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "ICO"));
    return bytes;
}

// The main window shown, with real mouse events on the list.
class DragReorderTest : public FormFixture {
protected:
    Form1& shownForm(const QStringList& entries) {
        Form1& f = makeForm();
        for (const QString& e : entries) f.AddFileEntry(e);
        f.show();
        QApplication::setActiveWindow(&f);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
        return f;
    }

    QWidget* viewport() { return form->ListView1->viewport(); }
    QTreeWidgetItem* entry(int position) { return form->ListView1->topLevelItem(position - 1); }
    QPoint centreOf(int position) { return form->ListView1->visualItemRect(entry(position)).center(); }

    void press(int position, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(viewport(), button, {}, centreOf(position));
    }
    void pressAt(const QPoint& at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(viewport(), button, {}, at);
    }
    // A movement with the button still held.
    void dragTo(const QPoint& at, Qt::MouseButtons held = Qt::LeftButton) {
        QMouseEvent move(QEvent::MouseMove, at, viewport()->mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport(), &move);
    }
    void dragTo(int position, Qt::MouseButtons held = Qt::LeftButton) { dragTo(centreOf(position), held); }
    void release(const QPoint& at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseRelease(viewport(), button, {}, at);
    }
    // A movement with no button held.
    void hover(const QPoint& at) { dragTo(at, Qt::NoButton); }

    QString selectedText() {
        const auto selected = form->ListView1->selectedItems();
        return selected.size() == 1 ? selected.first()->text(0) : QString();
    }
    int selectedPosition() {
        const auto selected = form->ListView1->selectedItems();
        return selected.size() == 1 ? form->ListView1->indexOfTopLevelItem(selected.first()) + 1 : 0;
    }
    QPoint belowTheEntries() {
        const QRect last = form->ListView1->visualItemRect(entry(form->entryCount()));
        return {last.center().x(), last.bottom() + 3 * last.height()};
    }
    bool listHasItsOwnPointer() { return form->ListView1->testAttribute(Qt::WA_SetCursor); }

    void expectNoDialogs() { EXPECT_TRUE(dialogs.calls.empty()) << dialogs.reports().join("\n").toStdString(); }
};

// ---- Reordering -----------------------------------------------------------------------------

TEST_F(DragReorderTest, ASlowDragBubblesThePathDownWithItSelectedAtEachStep) {
    installFile("drag.ico", iconBytes(Qt::red));
    Form1& f = shownForm({A, B, C, D});
    press(2);
    EXPECT_TRUE(f.DragActive);
    EXPECT_EQ(f.DragItem, entry(2));

    const QRect rowC = f.ListView1->visualItemRect(entry(3));
    dragTo(QPoint(rowC.center().x(), rowC.top() + 1));
    EXPECT_EQ(f.entries(), (QStringList{A, C, B, D}));
    EXPECT_EQ(selectedPosition(), 3);
    EXPECT_EQ(selectedText(), B);
    // Further movements on the same row find the dragged path under the pointer.
    dragTo(rowC.center());
    dragTo(QPoint(rowC.center().x() + 20, rowC.bottom()));
    EXPECT_EQ(f.entries(), (QStringList{A, C, B, D}));

    dragTo(4);
    EXPECT_EQ(f.entries(), (QStringList{A, C, D, B}));
    EXPECT_EQ(selectedPosition(), 4);
    EXPECT_EQ(selectedText(), B);
    EXPECT_EQ(f.DragItem, entry(4));

    release(centreOf(4));
    EXPECT_FALSE(f.DragActive);
    EXPECT_EQ(f.entries(), (QStringList{A, C, D, B}));
    EXPECT_EQ(selectedText(), B);
    EXPECT_EQ(f.HoverItem, nullptr);
    expectNoDialogs();
}

TEST_F(DragReorderTest, AJumpMovesThePathThroughEveryRowBetweenAsASlowDragDoes) {
    Form1& f = shownForm({A, B, C, D});
    press(2);
    dragTo(4);
    EXPECT_EQ(f.entries(), (QStringList{A, C, D, B}));
    EXPECT_EQ(selectedText(), B);
    EXPECT_EQ(f.DragItem, entry(4));
    release(centreOf(4));

    // And back up in one movement.
    press(4);
    dragTo(1);
    release(centreOf(1));
    EXPECT_EQ(f.entries(), (QStringList{B, A, C, D}));
    EXPECT_EQ(selectedPosition(), 1);
}

TEST_F(DragReorderTest, RightAndMiddleButtonsDragLikeTheLeft) {
    Form1& f = shownForm({A, B, C, D});
    press(2, Qt::RightButton);
    EXPECT_TRUE(f.DragActive);
    dragTo(3, Qt::RightButton);
    dragTo(4, Qt::RightButton);
    release(centreOf(4), Qt::RightButton);
    EXPECT_EQ(f.entries(), (QStringList{A, C, D, B}));
    EXPECT_FALSE(f.DragActive);

    press(4, Qt::MiddleButton);
    dragTo(1, Qt::MiddleButton);
    release(centreOf(1), Qt::MiddleButton);
    EXPECT_EQ(f.entries(), (QStringList{B, A, C, D}));
}

TEST_F(DragReorderTest, EntriesWithTheDraggedPathAreLeftAlone) {
    const QString x = QStringLiteral("/plans/X.mpp");
    Form1& f = shownForm({A, x, x, D});
    QTreeWidgetItem* second = entry(2);
    press(2);
    dragTo(3);
    EXPECT_EQ(f.entries(), (QStringList{A, x, x, D}));
    EXPECT_EQ(f.DragItem, second);
    EXPECT_EQ(selectedPosition(), 2);

    // The path moves on at the next entry with another text.
    dragTo(4);
    EXPECT_EQ(f.entries(), (QStringList{A, D, x, x}));
    EXPECT_EQ(selectedPosition(), 4);
    release(centreOf(4));
}

TEST_F(DragReorderTest, TheComparisonOfTextsIsCaseSensitive) {
    const QString lower = QStringLiteral("/plans/a.mpp");
    Form1& f = shownForm({A, lower});
    press(1);
    dragTo(2);
    release(centreOf(2));
    EXPECT_EQ(f.entries(), (QStringList{lower, A}));
}

TEST_F(DragReorderTest, MovementsWithoutAButtonHeldChangeNothing) {
    Form1& f = shownForm({A, B, C, D});
    hover(centreOf(1));
    hover(centreOf(4));
    EXPECT_EQ(f.entries(), (QStringList{A, B, C, D}));

    // Not after a finished drag either.
    press(2);
    release(centreOf(2));
    hover(centreOf(3));
    hover(centreOf(4));
    EXPECT_EQ(f.entries(), (QStringList{A, B, C, D}));
    EXPECT_EQ(selectedPosition(), 2);
}

TEST_F(DragReorderTest, AReleaseTheListNeverSawEndsTheDragAtTheNextMovement) {
    Form1& f = shownForm({A, B, C, D});
    press(2);
    // The button goes up over a dialog: the list only sees the pointer move again, no button held.
    hover(centreOf(4));
    EXPECT_FALSE(f.DragActive);
    EXPECT_EQ(f.entries(), (QStringList{A, B, C, D}));
    EXPECT_TRUE(listHasItsOwnPointer());
    EXPECT_EQ(f.ListView1->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DragReorderTest, APressOutsideAnyEntryDragsTheEntryClickedLast) {
    Form1& f = shownForm({A, B, C, D});
    press(2);
    release(centreOf(2));
    pressAt(belowTheEntries());
    EXPECT_TRUE(f.DragActive);
    dragTo(4);
    release(centreOf(4));
    EXPECT_EQ(f.entries(), (QStringList{A, C, D, B}));

    // A drag outside every entry moves nothing.
    pressAt(belowTheEntries());
    dragTo(belowTheEntries() + QPoint(0, 5));
    dragTo(QPoint(-30, -30));
    release(belowTheEntries());
    EXPECT_EQ(f.entries(), (QStringList{A, C, D, B}));
}

TEST_F(DragReorderTest, WithNoEntryEverClickedADragMovesNothing) {
    Form1& f = shownForm({A, B, C, D});
    pressAt(belowTheEntries());
    dragTo(1);
    dragTo(3);
    release(centreOf(3));
    EXPECT_EQ(f.entries(), (QStringList{A, B, C, D}));
    EXPECT_EQ(f.DragItem, nullptr);
}

TEST_F(DragReorderTest, TheBusyStateDoesNotHoldADragBack) {
    Form1& f = shownForm({A, B, C, D});
    f.setMousePointer(kPointerHourglass);
    press(2);
    dragTo(3);
    release(centreOf(3));
    EXPECT_EQ(f.entries(), (QStringList{A, C, B, D}));
    EXPECT_EQ(f.mousePointer(), kPointerHourglass);
}

// ---- The hover rule -------------------------------------------------------------------------

TEST_F(DragReorderTest, EveryMovementOverTheListAppliesTheHoverRuleFirst) {
    Form1& f = shownForm({A, B});
    f.setMousePointer(kPointerCustom);
    hover(centreOf(1));
    EXPECT_EQ(f.mousePointer(), kPointerDefault);

    f.setMousePointer(kPointerCustom);
    press(1);
    dragTo(1);  // no exchange, the rule still applies
    EXPECT_EQ(f.mousePointer(), kPointerDefault);
    release(centreOf(1));

    f.setMousePointer(kPointerHourglass);
    hover(centreOf(2));
    EXPECT_EQ(f.mousePointer(), kPointerHourglass);
}

// ---- The list's pointer ---------------------------------------------------------------------

TEST_F(DragReorderTest, AClickShowsTheDragImageAndTheReleaseTheStandardArrow) {
    installFile("drag.ico", iconBytes(Qt::red));
    Form1& f = shownForm({A, B, C});
    EXPECT_FALSE(listHasItsOwnPointer());

    press(2);
    ASSERT_TRUE(listHasItsOwnPointer());
    QCursor pointer = f.ListView1->cursor();
    EXPECT_EQ(pointer.shape(), Qt::BitmapCursor);
    EXPECT_EQ(pointer.pixmap().size(), QSize(32, 32));
    EXPECT_EQ(pointer.pixmap().toImage().pixelColor(16, 16), QColor(Qt::red));
    // Over the entries too.
    EXPECT_EQ(viewport()->cursor().shape(), Qt::BitmapCursor);

    dragTo(3);
    EXPECT_EQ(f.ListView1->cursor().shape(), Qt::BitmapCursor);
    release(centreOf(3));
    EXPECT_EQ(f.ListView1->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(viewport()->cursor().shape(), Qt::ArrowCursor);

    // The image is read anew at every click.
    installFile("drag.ico", iconBytes(Qt::blue, 16));
    press(1);
    pointer = f.ListView1->cursor();
    EXPECT_EQ(pointer.shape(), Qt::BitmapCursor);
    EXPECT_EQ(pointer.pixmap().size(), QSize(16, 16));
    EXPECT_EQ(pointer.pixmap().toImage().pixelColor(8, 8), QColor(Qt::blue));
    release(centreOf(1));
    EXPECT_EQ(f.ListView1->cursor().shape(), Qt::ArrowCursor);
    expectNoDialogs();
}

TEST_F(DragReorderTest, WithoutADragImageTheListKeepsItsPointerAndTheDragStillWorks) {
    Form1& f = shownForm({A, B, C});
    press(2);
    EXPECT_FALSE(listHasItsOwnPointer());
    dragTo(3);
    release(centreOf(3));
    EXPECT_EQ(f.entries(), (QStringList{A, C, B}));
    EXPECT_EQ(f.ListView1->cursor().shape(), Qt::ArrowCursor);

    // A file that is no icon, and an empty one, are passed over the same way.
    installFile("drag.ico", QByteArray("this is no icon, only some text that pretends to be one"));
    press(1);
    EXPECT_EQ(f.ListView1->cursor().shape(), Qt::ArrowCursor);
    release(centreOf(1));
    installFile("drag.ico", QByteArray());
    press(1);
    EXPECT_EQ(f.ListView1->cursor().shape(), Qt::ArrowCursor);
    release(centreOf(1));
    expectNoDialogs();
}

TEST_F(DragReorderTest, TheListNeverStartsADataDragOfItsOwn) {
    Form1& f = shownForm({A, B});
    press(1);
    EXPECT_FALSE(f.ListView1->dragEnabled());
    release(centreOf(1));
}

// ---- Scrolling after an exchange ------------------------------------------------------------

class DragScrollTest : public DragReorderTest {
protected:
    // Forty entries with the view scrolled so that `top` is the first row shown.
    Form1& scrolledForm(int top) {
        QStringList many;
        for (int i = 1; i <= 40; ++i) many << QStringLiteral("/plans/p%1.mpp").arg(i, 2, 10, QLatin1Char('0'));
        Form1& f = shownForm(many);
        f.ListView1->scrollToItem(entry(top), QAbstractItemView::PositionAtTop);
        return f;
    }
    QScrollBar* bar() { return form->ListView1->verticalScrollBar(); }
    bool fullyVisible(int position) {
        return viewport()->rect().contains(form->ListView1->visualItemRect(entry(position)));
    }
    // The last row shown whole.
    int lastWholeRow() {
        int p = 1;
        while (p < form->entryCount() && !fullyVisible(p)) ++p;
        while (p < form->entryCount() && fullyVisible(p + 1)) ++p;
        return p;
    }
};

// Wherever the window stands on the screen, the list's own first and last rows shown scroll it.
TEST_F(DragScrollTest, TheFirstAndLastRowsShownScrollWhereverTheWindowIs) {
    for (const QPoint at : {QPoint(0, 0), QPoint(250, 40), QPoint(60, 520)}) {
        SCOPED_TRACE(at.y());
        Form1& f = scrolledForm(10);
        f.move(at);
        QCoreApplication::processEvents();
        const int before = bar()->value();

        // Rows between the first and the last shown scroll nothing.
        const int last = lastWholeRow();
        press(12);
        dragTo(13);
        dragTo(last - 1);
        EXPECT_EQ(bar()->value(), before);
        release(centreOf(last - 1));
        EXPECT_EQ(f.entryText(last - 1), QStringLiteral("/plans/p12.mpp"));

        // The first row shown brings the entry before it into view.
        ASSERT_FALSE(fullyVisible(9));
        press(11);
        dragTo(10);
        EXPECT_EQ(f.entryText(10), QStringLiteral("/plans/p11.mpp"));
        EXPECT_TRUE(fullyVisible(9));
        release(centreOf(10));

        // The last row shown brings the entry after it into view.
        f.ListView1->scrollToItem(entry(10), QAbstractItemView::PositionAtTop);
        ASSERT_FALSE(fullyVisible(last + 1));
        press(last - 1);
        dragTo(last);
        EXPECT_EQ(selectedPosition(), last);
        EXPECT_TRUE(fullyVisible(last + 1));
        release(centreOf(last));
    }
}

TEST_F(DragScrollTest, AHalfShownLastRowCountsAsTheLastRowShown) {
    Form1& f = scrolledForm(10);
    const int last = lastWholeRow();
    const QRect half = f.ListView1->visualItemRect(entry(last + 1));
    ASSERT_TRUE(half.intersects(viewport()->rect()));
    ASSERT_FALSE(fullyVisible(last + 1));
    press(last);
    dragTo(QPoint(half.center().x(), half.top() + 1));
    EXPECT_EQ(f.entryText(last + 1), QStringLiteral("/plans/p%1.mpp").arg(last, 2, 10, QLatin1Char('0')));
    EXPECT_EQ(selectedPosition(), last + 1);
    EXPECT_TRUE(fullyVisible(last + 2));
    release(QPoint(half.center().x(), half.top() + 1));
}

TEST_F(DragScrollTest, MovementsWithoutAnExchangeScrollNothing) {
    scrolledForm(10);
    const int before = bar()->value();
    press(10);
    dragTo(10);
    dragTo(QPoint(-5, -40));  // above the list, no entry there
    EXPECT_EQ(bar()->value(), before);
    hover(centreOf(11));
    EXPECT_EQ(bar()->value(), before);
    release(centreOf(10));
}

TEST_F(DragScrollTest, NoScrollIsRequestedPastTheFirstOrTheLastEntry) {
    Form1& f = scrolledForm(1);
    press(2);
    dragTo(1);
    release(centreOf(1));
    EXPECT_EQ(bar()->value(), 0);
    EXPECT_EQ(f.entryText(1), QStringLiteral("/plans/p02.mpp"));

    f.ListView1->scrollToBottom();
    const int bottom = bar()->value();
    press(39);
    dragTo(40);
    release(centreOf(40));
    EXPECT_EQ(bar()->value(), bottom);
    EXPECT_EQ(f.entryText(40), QStringLiteral("/plans/p39.mpp"));
}

// ---- Dragging past the list's edges ---------------------------------------------------------

class DragPastTheEdgeTest : public DragReorderTest {
protected:
    static QString path(int i) { return QStringLiteral("/plans/e%1.mpp").arg(i, 2, 10, QLatin1Char('0')); }

    // Twenty-one entries with the view scrolled so that `top` is the first row shown.
    Form1& manyEntries(int top) {
        QStringList many;
        for (int i = 1; i <= 21; ++i) many << path(i);
        Form1& f = shownForm(many);
        f.ListView1->scrollToItem(entry(top), QAbstractItemView::PositionAtTop);
        return f;
    }
    QScrollBar* bar() { return form->ListView1->verticalScrollBar(); }

    bool waitOutside = false;

    // Presses on the entry at `position` and moves two pixels at a time in a straight line to
    // `outside`, then on around there (and waits there when `waitOutside`), and releases. Checks
    // that from the first movement outside the list on nothing changes: no entry, no selection,
    // no scrolling.
    void dragOut(int position, const QPoint& outside) {
        const QPoint start = centreOf(position);
        const QString dragged = entry(position)->text(0);
        const QStringList original = form->entries();
        press(position);
        const QRect inside = viewport()->rect();
        std::optional<QStringList> whenLeft;
        int barWhenLeft = 0;
        int selectedWhenLeft = 0;
        const int steps = qMax(qAbs(outside.x() - start.x()), qAbs(outside.y() - start.y())) / 2;
        const auto moveTo = [&](const QPoint& at) {
            if (!whenLeft && !inside.contains(at)) {
                whenLeft = form->entries();
                barWhenLeft = bar()->value();
                selectedWhenLeft = selectedPosition();
            }
            dragTo(at);
            QCoreApplication::processEvents();
        };
        for (int s = 1; s <= steps; ++s) moveTo(start + (outside - start) * s / steps);
        // Lingering outside, as a user waiting for the list to scroll would.
        for (int wiggle = 0; wiggle < 20; ++wiggle) moveTo(outside + QPoint(wiggle % 3, 2 * (wiggle % 4)));
        // Long enough for any scrolling the view delays after a press.
        if (waitOutside) QTest::qWait(QApplication::doubleClickInterval() + 200);
        release(outside);
        QCoreApplication::processEvents();

        ASSERT_TRUE(whenLeft.has_value());
        EXPECT_EQ(form->entries(), *whenLeft);
        EXPECT_EQ(bar()->value(), barWhenLeft);
        EXPECT_EQ(selectedPosition(), selectedWhenLeft);
        // Only the dragged path has moved: without it, the others stand in their old order.
        QStringList others = form->entries();
        QStringList before = original;
        EXPECT_EQ(others.removeAll(dragged), 1);
        before.removeAll(dragged);
        EXPECT_EQ(others, before);
    }
};

TEST_F(DragPastTheEdgeTest, PastTheBottomNothingIsExchangedAndNothingScrolls) {
    for (bool wait : {false, true}) {
        SCOPED_TRACE(wait);
        waitOutside = wait;
        Form1& f = manyEntries(5);
        const QRect shown = viewport()->rect();
        dragOut(7, QPoint(centreOf(7).x(), shown.bottom() + 80));
        // The path bubbled down to the last row shown, and no further.
        const int at = f.entries().indexOf(path(7)) + 1;
        EXPECT_GT(at, 7);
        EXPECT_TRUE(shown.intersects(f.ListView1->visualItemRect(entry(at))));
        // The window's own bottom edge too.
        manyEntries(5);
        dragOut(6, QPoint(centreOf(6).x(), form->height() + 40 - viewport()->mapTo(form.get(), QPoint(0, 0)).y()));
    }
}

TEST_F(DragPastTheEdgeTest, PastTheTopNothingIsExchangedAndNothingScrolls) {
    for (bool wait : {false, true}) {
        SCOPED_TRACE(wait);
        waitOutside = wait;
        Form1& f = manyEntries(10);
        dragOut(12, QPoint(centreOf(12).x(), -80));
        const int at = f.entries().indexOf(path(12)) + 1;
        EXPECT_LT(at, 12);
        EXPECT_TRUE(viewport()->rect().intersects(f.ListView1->visualItemRect(entry(at))));
    }
}

TEST_F(DragPastTheEdgeTest, APressOnAHalfShownEntryDoesNotScrollItUnderThePointer) {
    Form1& f = manyEntries(5);
    int half = 5;
    while (viewport()->rect().contains(f.ListView1->visualItemRect(entry(half)))) ++half;
    const QRect rect = f.ListView1->visualItemRect(entry(half));
    ASSERT_TRUE(rect.intersects(viewport()->rect()));
    const QPoint at(rect.center().x(), (rect.top() + viewport()->rect().bottom()) / 2);
    const int before = bar()->value();
    pressAt(at);
    QTest::qWait(QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(bar()->value(), before);
    dragTo(at + QPoint(0, 1));
    EXPECT_EQ(f.ListView1->itemAt(at), entry(half));
    release(at + QPoint(0, 1));
    QStringList unchanged;
    for (int i = 1; i <= 21; ++i) unchanged << path(i);
    EXPECT_EQ(f.entries(), unchanged);
    EXPECT_EQ(selectedPosition(), half);
    // Once the button is up the list follows the selection again, as for the keys.
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    EXPECT_EQ(selectedPosition(), half + 1);
    EXPECT_TRUE(viewport()->rect().contains(f.ListView1->visualItemRect(entry(half + 1))));
}

TEST_F(DragPastTheEdgeTest, PastTheLeftAndRightEdgesNothingMoves) {
    {
        Form1& f = manyEntries(8);
        const QStringList original = f.entries();
        dragOut(10, QPoint(-80, centreOf(10).y()));
        EXPECT_EQ(f.entries(), original);
        manyEntries(8);
        dragOut(10, QPoint(viewport()->width() + 80, centreOf(10).y()));
        EXPECT_EQ(form->entries(), original);
        // Out to the right with the list scrolled sideways, where the column still runs on.
        manyEntries(8);
        form->ListView1->setColumnWidth(0, viewport()->width() * 3);
        form->ListView1->horizontalScrollBar()->setValue(viewport()->width() / 2);
        dragOut(9, QPoint(viewport()->width() + 60, centreOf(12).y() + 30));
        dragOut(11, QPoint(-60, centreOf(9).y() - 30));
    }
}

// ---- Entries removed under a reference ------------------------------------------------------

TEST_F(DragReorderTest, AfterTheDraggedEntryIsRemovedADragOutsideTheEntriesMovesNothing) {
    Form1& f = shownForm({A, B, C, D});
    press(2);
    release(centreOf(2));
    ASSERT_EQ(f.DragItem, entry(2));
    QTest::keyClick(f.ListView1, Qt::Key_Delete);
    ASSERT_EQ(f.entries(), (QStringList{A, C, D}));

    pressAt(belowTheEntries());
    dragTo(1);
    dragTo(3);
    release(centreOf(3));
    EXPECT_EQ(f.entries(), (QStringList{A, C, D}));
    EXPECT_EQ(f.DragItem, nullptr);
}

TEST_F(DragReorderTest, AfterClearListAndNewEntriesADragOutsideTheEntriesMovesNothing) {
    Form1& f = shownForm({A, B, C, D});
    press(2);
    release(centreOf(2));
    f.PushButton6_Click();
    for (const QString& e : {A, B, C, D}) f.AddFileEntry(e);

    pressAt(belowTheEntries());
    dragTo(1);
    dragTo(4);
    release(centreOf(4));
    EXPECT_EQ(f.entries(), (QStringList{A, B, C, D}));
}

TEST_F(DragReorderTest, AnEntryRemovedByAnyOtherWayIsForgottenAtTheNextMovement) {
    Form1& f = shownForm({A, B, C, D});
    press(2);
    release(centreOf(2));
    // Removed by code that knows nothing of the drag.
    delete f.ListView1->takeTopLevelItem(1);

    pressAt(belowTheEntries());
    dragTo(1);
    EXPECT_EQ(f.DragItem, nullptr);
    dragTo(3);
    release(centreOf(3));
    EXPECT_EQ(f.entries(), (QStringList{A, C, D}));

    // The same when the entry object is deleted outright.
    press(2);
    release(centreOf(2));
    ASSERT_EQ(f.DragItem, entry(2));
    delete entry(2);
    pressAt(belowTheEntries());
    dragTo(1);
    dragTo(2);
    release(centreOf(2));
    EXPECT_EQ(f.DragItem, nullptr);
    EXPECT_EQ(f.entries(), (QStringList{A, D}));
}

TEST_F(DragReorderTest, AMovedEntryKeepsBeingTheDraggedOne) {
    Form1& f = shownForm({A, B, C, D});
    press(2);
    release(centreOf(2));
    QTest::mouseClick(f.PushButton3, Qt::LeftButton);
    ASSERT_EQ(f.entries(), (QStringList{B, A, C, D}));
    EXPECT_EQ(f.DragItem, entry(1));

    pressAt(belowTheEntries());
    dragTo(4);
    release(centreOf(4));
    EXPECT_EQ(f.entries(), (QStringList{A, C, D, B}));
}

}  // namespace
}  // namespace quorrix
