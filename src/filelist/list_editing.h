#pragma once

#include <QString>
#include <functional>
#include <optional>

// The reordering rules of the file list, free of any widget: the moves of the Move Up and
// Move Down buttons and the exchange step of a drag inside the list. Positions are 1-based;
// 0 stands for "no entry".
namespace quorrix::filelist {

// What moving and dragging need of a list of entries.
class ReorderableList {
public:
    virtual ~ReorderableList() = default;
    virtual int count() const = 0;
    virtual QString text(int position) const = 0;
    virtual void setText(int position, const QString& text) = 0;
    virtual void select(int position) = 0;
    virtual void scrollTo(int position) = 0;
};

// One move of the selected entry: a new entry with its text is inserted at insertAt, then the
// entry at removeAt (the old one) is removed; the moved path then stands at newPosition.
struct EntryMove {
    int insertAt;
    int removeAt;
    int newPosition;
};

// Move Up of the entry at `selected`; nothing when it cannot move (the first entry, or no entry
// selected).
std::optional<EntryMove> moveUpOf(int selected, int count);

// Move Down of the entry at `selected`; nothing when it cannot move (the last entry, or no entry
// selected).
std::optional<EntryMove> moveDownOf(int selected, int count);

// Screen rows that bound the band in which an exchange scrolls nothing: above the first, the
// entry before the hovered one is scrolled into view; on the second or below it, the entry after.
inline constexpr int kDragScrollUpAbove = 305;
inline constexpr int kDragScrollDownFrom = 365;

// The entry to scroll into view after an exchange with the entry at hoverPosition while the
// pointer stands on the given screen row; 0 when nothing scrolls.
int dragScrollTarget(int hoverPosition, int count, int screenRow);

// One movement step of a drag: the dragged path stands at dragPosition and the pointer is over
// the entry at hoverPosition. When the two texts differ they are exchanged, the hovered entry is
// selected and, depending on the pointer's screen row (read only then), a neighbour is scrolled
// into view. Returns the position that now holds the dragged path. Positions outside the list
// change nothing.
int dragStep(ReorderableList& list, int dragPosition, int hoverPosition, const std::function<int()>& screenRow);

}  // namespace quorrix::filelist
