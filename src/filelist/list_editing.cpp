#include "filelist/list_editing.h"

namespace quorrix::filelist {

std::optional<EntryMove> moveUpOf(int selected, int count) {
    if (selected <= 1 || selected > count) return std::nullopt;
    // The new entry goes above the one before; the old entry is pushed one further down.
    return EntryMove{selected - 1, selected + 1, selected - 1};
}

std::optional<EntryMove> moveDownOf(int selected, int count) {
    if (selected < 1 || selected >= count) return std::nullopt;
    // The new entry goes below the one after (appending when that one is the last); removing the
    // old entry then brings it to the position after the old one.
    return EntryMove{selected + 2, selected, selected + 1};
}

int dragScrollTarget(int hoverPosition, int count, int screenRow) {
    if (screenRow < kDragScrollUpAbove) return hoverPosition - 1 > 0 ? hoverPosition - 1 : 0;
    if (screenRow >= kDragScrollDownFrom) return count >= hoverPosition + 1 ? hoverPosition + 1 : 0;
    return 0;
}

int dragStep(ReorderableList& list, int dragPosition, int hoverPosition, const std::function<int()>& screenRow) {
    const int count = list.count();
    if (dragPosition < 1 || dragPosition > count || hoverPosition < 1 || hoverPosition > count) return dragPosition;

    const QString dragged = list.text(dragPosition);
    const QString hovered = list.text(hoverPosition);
    // The pointer on the dragged entry itself, or on another entry with the same path.
    if (hovered == dragged) return dragPosition;

    list.setText(dragPosition, hovered);
    list.setText(hoverPosition, dragged);
    list.select(hoverPosition);
    if (const int target = dragScrollTarget(hoverPosition, list.count(), screenRow())) list.scrollTo(target);
    return hoverPosition;
}

}  // namespace quorrix::filelist
