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

// Where the pointer stands among the rows the list shows while a drag moves: on the first row
// shown, on the last one, or on a row between.
enum class DragEdge { None, First, Last };

// The entry to scroll into view after a drag's exchanges with the pointer over the entry at
// hoverPosition, standing at the given edge: the entry before it on the first row shown, the
// entry after it on the last; 0 when nothing scrolls.
int dragScrollTarget(int hoverPosition, int count, DragEdge edge);

// One movement of a drag: the dragged path stands at dragPosition and the pointer is over the
// entry at hoverPosition. The path travels one entry at a time through every entry up to the
// hovered one, as it does when the pointer passes over each of them: at each entry whose text
// differs from the path the two texts are exchanged and that entry is selected; an entry with
// the same text is passed over. After an exchange, the pointer at an edge scrolls the neighbour
// beyond it into view. Returns the position that now holds the dragged path. Positions outside
// the list change nothing.
int dragStep(ReorderableList& list, int dragPosition, int hoverPosition, DragEdge edge);

}  // namespace quorrix::filelist
