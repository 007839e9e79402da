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

auto row(int y) {
    return [y] { return y; };
}

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

// ---- Scroll rows after an exchange -------------------------------------------------------

TEST(DragScroll, RowsAbove305ShowTheEntryBeforeAndRowsFrom365TheEntryAfter) {
    EXPECT_EQ(dragScrollTarget(3, 10, 304), 2);
    EXPECT_EQ(dragScrollTarget(3, 10, 0), 2);
    EXPECT_EQ(dragScrollTarget(3, 10, -20), 2);
    EXPECT_EQ(dragScrollTarget(3, 10, 305), 0);
    EXPECT_EQ(dragScrollTarget(3, 10, 330), 0);
    EXPECT_EQ(dragScrollTarget(3, 10, 364), 0);
    EXPECT_EQ(dragScrollTarget(3, 10, 365), 4);
    EXPECT_EQ(dragScrollTarget(3, 10, 2000), 4);
}

TEST(DragScroll, NoScrollBeyondTheFirstOrTheLastEntry) {
    EXPECT_EQ(dragScrollTarget(1, 10, 304), 0);
    EXPECT_EQ(dragScrollTarget(10, 10, 365), 0);
    EXPECT_EQ(dragScrollTarget(9, 10, 365), 10);
    EXPECT_EQ(dragScrollTarget(2, 10, 304), 1);
    EXPECT_EQ(dragScrollTarget(1, 1, 304), 0);
    EXPECT_EQ(dragScrollTarget(1, 1, 365), 0);
}

// ---- The exchange step --------------------------------------------------------------------

TEST(DragStep, EqualTextsLeaveEverythingAlone) {
    TextList list({"A", "X", "X", "D"});
    bool rowRead = false;
    const int drag = dragStep(list, 2, 3, [&] {
        rowRead = true;
        return 0;
    });
    EXPECT_EQ(drag, 2);
    EXPECT_EQ(list.writes, 0);
    EXPECT_TRUE(list.selected.empty());
    EXPECT_TRUE(list.scrolled.empty());
    EXPECT_FALSE(rowRead);

    // The pointer on the dragged entry itself.
    EXPECT_EQ(dragStep(list, 2, 2, row(0)), 2);
    EXPECT_EQ(list.writes, 0);

    // The path moves on at the next entry with another text; the comparison is case-sensitive.
    TextList cased({"a", "A"});
    EXPECT_EQ(dragStep(cased, 1, 2, row(330)), 2);
    EXPECT_EQ(cased.texts(), (QStringList{"A", "a"}));
}

TEST(DragStep, ScrollsOnlyAfterAnExchangeAndOnlyOutsideTheBand) {
    TextList up(kABCD);
    dragStep(up, 4, 3, row(304));
    EXPECT_EQ(up.scrolled, (std::vector<int>{2}));

    TextList band(kABCD);
    dragStep(band, 4, 3, row(305));
    dragStep(band, 3, 2, row(364));
    EXPECT_TRUE(band.scrolled.empty());
    EXPECT_EQ(band.texts(), (QStringList{"A", "D", "B", "C"}));

    TextList down(kABCD);
    dragStep(down, 1, 2, row(365));
    EXPECT_EQ(down.scrolled, (std::vector<int>{3}));

    TextList ends(kABCD);
    dragStep(ends, 2, 1, row(304));
    dragStep(ends, 3, 4, row(365));
    EXPECT_TRUE(ends.scrolled.empty());
    EXPECT_EQ(ends.texts(), (QStringList{"B", "A", "D", "C"}));
}

TEST(DragStep, PositionsOutsideTheListChangeNothing) {
    TextList list(kABCD);
    EXPECT_EQ(dragStep(list, 0, 2, row(330)), 0);
    EXPECT_EQ(dragStep(list, 2, 0, row(330)), 2);
    EXPECT_EQ(dragStep(list, 5, 2, row(330)), 5);
    EXPECT_EQ(dragStep(list, 2, 5, row(330)), 2);
    EXPECT_EQ(list.writes, 0);
    EXPECT_EQ(list.texts(), kABCD);

    TextList empty({});
    EXPECT_EQ(dragStep(empty, 1, 1, row(330)), 1);
    EXPECT_EQ(empty.writes, 0);
}

}  // namespace
}  // namespace quorrix::filelist
