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

int dragScrollTarget(int hoverPosition, int count, DragEdge edge) {
    if (edge == DragEdge::First) return hoverPosition - 1 > 0 ? hoverPosition - 1 : 0;
    if (edge == DragEdge::Last) return count >= hoverPosition + 1 ? hoverPosition + 1 : 0;
    return 0;
}

int dragStep(ReorderableList& list, int dragPosition, int hoverPosition, DragEdge edge) {
    const int count = list.count();
    if (dragPosition < 1 || dragPosition > count || hoverPosition < 1 || hoverPosition > count) return dragPosition;

    const int direction = hoverPosition > dragPosition ? 1 : -1;
    bool exchanged = false;
    for (int passed = dragPosition + direction; dragPosition != hoverPosition; passed += direction) {
        const QString dragged = list.text(dragPosition);
        const QString other = list.text(passed);
        // Another entry with the same path: the dragged one stays where it is.
        if (other == dragged) {
            if (passed == hoverPosition) break;
            continue;
        }
        list.setText(dragPosition, other);
        list.setText(passed, dragged);
        list.select(passed);
        dragPosition = passed;
        exchanged = true;
    }
    if (exchanged) {
        if (const int target = dragScrollTarget(hoverPosition, list.count(), edge)) list.scrollTo(target);
    }
    return dragPosition;
}

}  // namespace quorrix::filelist
