// List editing and drag reordering of the file list.
#include "app/form1.h"
#include "filelist/list_editing.h"
#include "gui/pointer_images.h"
#include "platform/error_trap.h"
#include "platform/failure.h"

namespace quorrix {

namespace {

constexpr int kDeleteKey = 46;

// The file list as the reordering rules see it: entries by 1-based position.
class ListView1Entries : public filelist::ReorderableList {
public:
    explicit ListView1Entries(QTreeWidget* list) : list_(list) {}

    int count() const override { return list_->topLevelItemCount(); }
    QString text(int position) const override { return at(position)->text(0); }
    void setText(int position, const QString& text) override { at(position)->setText(0, text); }
    // Marks the entry selected (and current, for the keys) without the view scrolling to it:
    // scrolling is a step of its own.
    void select(int position) override {
        QTreeWidgetItem* item = at(position);
        const bool autoScroll = list_->hasAutoScroll();
        list_->setAutoScroll(false);
        list_->setCurrentItem(item);
        list_->setAutoScroll(autoScroll);
    }
    void scrollTo(int position) override { list_->scrollToItem(at(position)); }

    QTreeWidgetItem* at(int position) const {
        QTreeWidgetItem* item = list_->topLevelItem(position - 1);
        if (!item) throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("Index out of bounds"));
        return item;
    }

private:
    QTreeWidget* list_;
};

// Position of the entry the list reports as selected; 0 when none is.
int selectedPosition(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) return 0;
    return list->indexOfTopLevelItem(selected.first()) + 1;
}

// Position of an entry that may have left the list meanwhile; 0 when it is no longer there. The
// reference is only compared, never followed, so a removed entry is safe to ask about.
int positionOf(const QTreeWidget* list, QTreeWidgetItem* item) {
    return item ? list->indexOfTopLevelItem(item) + 1 : 0;
}

// ---- Move Up, Move Down ---------------------------------------------------------------------

// Moves the selected entry: a new entry with its text is inserted at the target, then the old
// entry is removed; the moved entry ends selected, in view and with the focus on the list.
// Without a selected entry there is nothing to move and the list only gets the focus.
void moveSelectedEntry(Form1& form, ErrorTrap& trap, bool up) {
    QTreeWidget* list = form.ListView1;
    ListView1Entries entries(list);
    const auto focus = [&] { list->setFocus(Qt::OtherFocusReason); };

    if (trap.test(100, [&] { return form.isBusy(); })) return;
    if (trap.test(102, [&] { return entries.count() == 0; })) return;
    int i = 0;
    trap.step(104, [&] { i = selectedPosition(list); });
    std::optional<filelist::EntryMove> move;
    if (trap.test(106, [&] {
            move = up ? filelist::moveUpOf(i, entries.count()) : filelist::moveDownOf(i, entries.count());
            return !move;
        })) {
        trap.step(118, focus);
        return;
    }
    if (!move) return;  // the test failed and was reported: there is no move to make

    trap.step(108, [&] {
        const QTreeWidgetItem* old = entries.at(i);
        auto* created = new QTreeWidgetItem(QStringList{old->text(0)});
        created->setFlags(old->flags());
        if (move->insertAt < 1 || move->insertAt > entries.count() + 1) {
            delete created;
            throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("Index out of bounds"));
        }
        list->insertTopLevelItem(move->insertAt - 1, created);
    });
    trap.step(110, [&] {
        QTreeWidgetItem* old = entries.at(move->removeAt);
        const bool dragged = form.DragItem == old;
        list->takeTopLevelItem(move->removeAt - 1);
        delete old;
        // The dragged path travels with its entry.
        if (dragged) form.DragItem = list->topLevelItem(move->newPosition - 1);
    });
    trap.step(112, [&] { entries.select(move->newPosition); });
    trap.step(114, [&] { entries.scrollTo(move->newPosition); });
    trap.step(116, focus);
}

}  // namespace

void Form1::PushButton3_Click() {
    ErrorTrap trap(QStringLiteral("Form1.PushButton3_Click"), dialogs());
    moveSelectedEntry(*this, trap, true);
}

void Form1::PushButton5_Click() {
    ErrorTrap trap(QStringLiteral("Form1.PushButton5_Click"), dialogs());
    moveSelectedEntry(*this, trap, false);
}

// ---- Clear List -----------------------------------------------------------------------------

void Form1::PushButton6_Click() {
    ErrorTrap trap(QStringLiteral("Form1.PushButton6_Click"), dialogs());
    trap.step(100, [&] {
        ListView1->clear();
        DragItem = nullptr;
        HoverItem = nullptr;
    });
}

// ---- Removing one entry ---------------------------------------------------------------------

namespace {

// Removes the selected entry unless the window is busy; nothing is selected, nothing happens.
void removeSelectedEntry(Form1& form) {
    if (form.isBusy()) return;
    QTreeWidget* list = form.ListView1;
    if (list->topLevelItemCount() == 0) return;
    const int position = selectedPosition(list);
    if (position < 1) return;
    QTreeWidgetItem* removed = list->takeTopLevelItem(position - 1);
    // A drag that starts outside any entry then moves nothing rather than a path that is gone.
    if (form.DragItem == removed) form.DragItem = nullptr;
    delete removed;
}

}  // namespace

void Form1::ListView1_DblClick() { removeSelectedEntry(*this); }

void Form1::ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers) {
    // Shift, Ctrl and Alt do not matter; the key goes on to the list either way.
    if (keyCode != kDeleteKey) return;
    removeSelectedEntry(*this);
}

// ---- Drag reordering ------------------------------------------------------------------------

void Form1::ListView1_ItemClick() {
    // The drag image is read anew at every click; when it cannot be read the list keeps the
    // pointer it has.
    try {
        ListView1->setCursor(loadPointerImage(installFolder() + QStringLiteral("/drag.ico")));
    } catch (const Failure&) {
    }
    // The list never starts a data drag of its own: reordering is done by hand.
    ListView1->setDragEnabled(false);
    const int selected = selectedPosition(ListView1);
    DragItem = selected > 0 ? ListView1->topLevelItem(selected - 1) : nullptr;
}

void Form1::ListView1_MouseDown(Qt::MouseButton) {
    DragActive = true;
    // While a button is held the list does not scroll by itself (to a pressed or selected entry
    // that is only partly shown): the entry under the pointer must stay the one the user sees.
    ListView1->setAutoScroll(false);
}

void Form1::ListView1_MouseUp(Qt::MouseButton) {
    DragActive = false;
    ListView1->setCursor(Qt::ArrowCursor);
    ListView1->setAutoScroll(true);
}

filelist::DragEdge Form1::dragEdgeAt(int y) const {
    // The rows are all of one height and the first row shown starts at the top of the visible
    // area. The last row shown whole counts as the last, with the part of a row that may show
    // below it: a sliver too thin to point at never keeps the list from scrolling on.
    const int rowHeight = ListView1->visualItemRect(ListView1->topLevelItem(0)).height();
    if (rowHeight <= 0) return filelist::DragEdge::None;
    if (y < rowHeight) return filelist::DragEdge::First;
    const int lastWholeTop = (ListView1->viewport()->height() / rowHeight - 1) * rowHeight;
    return y >= lastWholeTop ? filelist::DragEdge::Last : filelist::DragEdge::None;
}

void Form1::ListView1_MouseMove(int x, int y) {
    hoverOverSurface();
    if (!DragActive) return;

    // Only a point the list shows has an entry under it: past its edges the view would still
    // find the rows scrolled out of sight there.
    HoverItem = ListView1->viewport()->rect().contains(x, y) ? ListView1->itemAt(x, y) : nullptr;
    // The list's own removals forget the dragged entry; one that left the list by any other way
    // is found missing here, without following the reference, and forgotten.
    const int dragPosition = positionOf(ListView1, DragItem);
    if (dragPosition == 0) DragItem = nullptr;
    if (HoverItem && DragItem) {
        ListView1Entries entries(ListView1);
        const int hoverPosition = positionOf(ListView1, HoverItem);
        const int now = filelist::dragStep(entries, dragPosition, hoverPosition, dragEdgeAt(y));
        DragItem = ListView1->topLevelItem(now - 1);
    }
    HoverItem = nullptr;
}

}  // namespace quorrix
