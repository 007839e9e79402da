#include "filelist/list_editing.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

namespace quorrix::filelist {
namespace {

// A list of texts that records what the rules asked of it.
class TextList : public ReorderableList {
public:
    explicit TextList(QStringList texts) : texts_(std::move(texts)) {}

    int count() const override { return static_cast<int>(texts_.size()); }
    QString text(int position) const override { return texts_.at(position - 1); }
    void setText(int position, const QString& text) override {
        texts_[position - 1] = text;
        ++writes;
    }
    void select(int position) override { selected.push_back(position); }
    void scrollTo(int position) override { scrolled.push_back(position); }

    const QStringList& texts() const { return texts_; }

    int writes = 0;
    std::vector<int> selected;
    std::vector<int> scrolled;

private:
    QStringList texts_;
};

const QStringList kABCD = {"A", "B", "C", "D"};

// ---- Move Up and Move Down ---------------------------------------------------------------

TEST(EntryMoves, TheNewEntryGoesPastTheNeighbourAndTheOldOneIsRemoved) {
    const auto up = moveUpOf(3, 4);
    ASSERT_TRUE(up);
    EXPECT_EQ((std::vector<int>{up->insertAt, up->removeAt, up->newPosition}), (std::vector<int>{2, 4, 2}));
    const auto down = moveDownOf(2, 4);
    ASSERT_TRUE(down);
    EXPECT_EQ((std::vector<int>{down->insertAt, down->removeAt, down->newPosition}), (std::vector<int>{4, 2, 3}));
    // The last but one entry: the new entry is appended at the end.
    const auto lastButOne = moveDownOf(3, 4);
    ASSERT_TRUE(lastButOne);
    EXPECT_EQ((std::vector<int>{lastButOne->insertAt, lastButOne->removeAt, lastButOne->newPosition}),
              (std::vector<int>{5, 3, 4}));
}

TEST(EntryMoves, NothingMovesAtTheEndsOnASingleEntryOrWithoutSelection) {
    EXPECT_FALSE(moveUpOf(1, 4));
    EXPECT_FALSE(moveDownOf(4, 4));
    EXPECT_FALSE(moveUpOf(1, 1));
    EXPECT_FALSE(moveDownOf(1, 1));
    EXPECT_FALSE(moveUpOf(0, 4));
    EXPECT_FALSE(moveDownOf(0, 4));
    EXPECT_FALSE(moveUpOf(5, 4));
    EXPECT_FALSE(moveDownOf(5, 4));
    EXPECT_FALSE(moveUpOf(0, 0));
    EXPECT_FALSE(moveDownOf(0, 0));
}

// ---- Scrolling after an exchange ----------------------------------------------------------

TEST(DragScroll, TheFirstRowShownShowsTheEntryBeforeAndTheLastTheEntryAfter) {
    struct Case {
        int hover, count;
        DragEdge edge;
        int target;
    };
    for (const Case c : {Case{3, 10, DragEdge::First, 2}, Case{3, 10, DragEdge::None, 0}, Case{3, 10, DragEdge::Last, 4},
                         Case{2, 10, DragEdge::First, 1}, Case{9, 10, DragEdge::Last, 10},
                         // Nothing lies beyond the first or the last entry.
                         Case{1, 10, DragEdge::First, 0}, Case{10, 10, DragEdge::Last, 0}, Case{1, 1, DragEdge::First, 0},
                         Case{1, 1, DragEdge::Last, 0}}) {
        SCOPED_TRACE(c.hover);
        EXPECT_EQ(dragScrollTarget(c.hover, c.count, c.edge), c.target);
    }
}

// ---- The movement step --------------------------------------------------------------------

// One movement from `drag` to `hover` over a list, with what it leaves behind.
struct StepCase {
    QStringList before;
    int drag, hover;
    DragEdge edge;
    QStringList after;
    int now;                    // where the path stands then
    std::vector<int> selected;  // every entry the path stopped at, in order
    std::vector<int> scrolled;
};

TEST(DragStep, ThePathTravelsThroughEveryEntryUpToTheHoveredOne) {
    const auto none = DragEdge::None;
    const std::vector<StepCase> cases = {
        // One row at a time, down and up.
        {kABCD, 2, 3, none, {"A", "C", "B", "D"}, 3, {3}, {}},
        {kABCD, 3, 2, none, {"A", "C", "B", "D"}, 2, {2}, {}},
        // A jump of several rows moves the path step by step: the entries between move up by one.
        {kABCD, 1, 4, none, {"B", "C", "D", "A"}, 4, {2, 3, 4}, {}},
        {kABCD, 4, 1, none, {"D", "A", "B", "C"}, 1, {3, 2, 1}, {}},
        // Entries with the dragged path are passed over as a slow drag passes them.
        {{"A", "X", "X", "D"}, 2, 3, none, {"A", "X", "X", "D"}, 2, {}, {}},
        {{"A", "X", "X", "D"}, 2, 4, none, {"A", "D", "X", "X"}, 4, {4}, {}},
        {{"X", "B", "X", "D"}, 1, 4, none, {"B", "D", "X", "X"}, 4, {2, 4}, {}},
        // The pointer on the dragged entry itself; the comparison is case-sensitive.
        {kABCD, 2, 2, DragEdge::First, kABCD, 2, {}, {}},
        {{"a", "A"}, 1, 2, none, {"A", "a"}, 2, {2}, {}},
        // Scrolling once, after the exchanges, and only at an edge with something beyond it.
        {kABCD, 4, 2, DragEdge::First, {"A", "D", "B", "C"}, 2, {3, 2}, {1}},
        {kABCD, 1, 3, DragEdge::Last, {"B", "C", "A", "D"}, 3, {2, 3}, {4}},
        {kABCD, 2, 1, DragEdge::First, {"B", "A", "C", "D"}, 1, {1}, {}},
        {kABCD, 3, 4, DragEdge::Last, {"A", "B", "D", "C"}, 4, {4}, {}},
        {{"A", "X", "X", "D"}, 2, 3, DragEdge::Last, {"A", "X", "X", "D"}, 2, {}, {}},
        // Positions outside the list change nothing.
        {kABCD, 0, 2, none, kABCD, 0, {}, {}},
        {kABCD, 2, 0, none, kABCD, 2, {}, {}},
        {kABCD, 5, 2, none, kABCD, 5, {}, {}},
        {kABCD, 2, 5, none, kABCD, 2, {}, {}},
        {{}, 1, 1, none, {}, 1, {}, {}},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.before.join(QLatin1Char(',')).toStdString() + " " + std::to_string(c.drag) + "->" +
                     std::to_string(c.hover));
        TextList list(c.before);
        EXPECT_EQ(dragStep(list, c.drag, c.hover, c.edge), c.now);
        EXPECT_EQ(list.texts(), c.after);
        EXPECT_EQ(list.selected, c.selected);
        EXPECT_EQ(list.scrolled, c.scrolled);
    }
}

}  // namespace
}  // namespace quorrix::filelist
