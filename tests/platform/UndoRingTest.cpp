#include "UndoRing.h"

#include <QString>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// States are the numbers 0..pushes, each recorded at the position equal to itself.
UndoRing<int> ringWithPushes(int slotCount, int pushes)
{
    UndoRing<int> ring(slotCount);
    ring.reset(0);
    for (int i = 1; i <= pushes; ++i)
        ring.push(i);
    return ring;
}

// The current state, then each state reached by undoing until nothing is left.
std::vector<int> walkBack(UndoRing<int>& ring)
{
    std::vector<int> states{ring.currentState()};
    while (ring.undo())
        states.push_back(ring.currentState());
    return states;
}

TEST(UndoRingTest, KeepsOneStateFewerThanSlots)
{
    UndoRing<int> ring = ringWithPushes(21, 25);
    EXPECT_EQ(ring.last(), 25);
    EXPECT_EQ(ring.first(), 5);
    EXPECT_EQ(ring.label(), 4);
    EXPECT_FALSE(ring.canRedo());
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(ring.undo()) << i;
    EXPECT_FALSE(ring.undo());
    EXPECT_EQ(ring.current(), 5);
    EXPECT_EQ(ring.label(), 5);
    EXPECT_EQ(ring.currentState(), 5);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(ring.redo()) << i;
    EXPECT_FALSE(ring.redo());
    EXPECT_EQ(ring.currentState(), 25);
}

TEST(UndoRingTest, PushAfterUndoAppendsUndoneStatesNewestFirst)
{
    UndoRing<int> ring = ringWithPushes(21, 5);
    for (int i = 0; i < 3; ++i)
        ring.undo();
    ASSERT_EQ(ring.current(), 2);
    ring.push(99);
    EXPECT_EQ(ring.current(), 9);
    EXPECT_FALSE(ring.canRedo());
    EXPECT_FALSE(ring.redo());
    EXPECT_EQ(ring.at(6), 4);
    EXPECT_EQ(ring.at(7), 3);
    EXPECT_EQ(ring.at(8), 2);
    EXPECT_EQ(walkBack(ring), (std::vector<int>{99, 2, 3, 4, 5, 4, 3, 2, 1, 0}));
}

TEST(UndoRingTest, ResetLeavesOnlyTheGivenState)
{
    UndoRing<QString> ring(21);
    ring.reset(u"a"_s);
    for (int i = 0; i < 30; ++i)
        ring.push(QString::number(i));
    ring.undo();
    ring.reset(u"fresh"_s);
    EXPECT_EQ(ring.current(), 0);
    EXPECT_EQ(ring.label(), 0);
    EXPECT_FALSE(ring.canUndo());
    EXPECT_FALSE(ring.canRedo());
    EXPECT_EQ(ring.currentState(), u"fresh"_s);
    for (int p = 1; p < ring.size(); ++p)
        EXPECT_TRUE(ring.at(p).isEmpty()) << p;
}

struct PushAfterUndoCase {
    int slotCount;
    int pushes;
    int undos;
    int redos;
    std::vector<int> walk; // from the new state (99) back to the oldest kept
};

void PrintTo(const PushAfterUndoCase& c, std::ostream* out)
{
    *out << c.slotCount << " slots, " << c.pushes << " pushes, " << c.undos << " undos, " << c.redos
         << " redos";
}

class PushAfterUndoTest : public ::testing::TestWithParam<PushAfterUndoCase> {};

TEST_P(PushAfterUndoTest, WalksBackThroughEveryState)
{
    const PushAfterUndoCase& c = GetParam();
    UndoRing<int> ring = ringWithPushes(c.slotCount, c.pushes);
    for (int i = 0; i < c.undos; ++i)
        ASSERT_TRUE(ring.undo());
    for (int i = 0; i < c.redos; ++i)
        ASSERT_TRUE(ring.redo());
    ring.push(99);
    EXPECT_EQ(walkBack(ring), c.walk);
}

// Five slots: four steps back. Undoing three or four means the appended states land on slots that
// still hold states to be copied.
INSTANTIATE_TEST_SUITE_P(FiveSlots, PushAfterUndoTest,
                         ::testing::Values(PushAfterUndoCase{5, 3, 0, 0, {99, 3, 2, 1, 0}},
                                           PushAfterUndoCase{5, 4, 1, 0, {99, 3, 4, 3, 2}},
                                           PushAfterUndoCase{5, 4, 2, 0, {99, 2, 3, 4, 3}},
                                           PushAfterUndoCase{5, 4, 3, 0, {99, 1, 2, 3, 4}},
                                           PushAfterUndoCase{5, 4, 4, 0, {99, 0, 1, 2, 3}},
                                           PushAfterUndoCase{5, 4, 3, 1, {99, 2, 3, 4, 3}},
                                           PushAfterUndoCase{5, 2, 2, 0, {99, 0, 1, 2, 1}},
                                           PushAfterUndoCase{5, 10, 4, 0, {99, 6, 7, 8, 9}},
                                           PushAfterUndoCase{5, 12, 3, 0, {99, 9, 10, 11, 12}}));

// Undoing more than half of a 21-slot ring (15 of 20) is where overwriting while copying shows.
INSTANTIATE_TEST_SUITE_P(
    TwentyOneSlots, PushAfterUndoTest,
    ::testing::Values(PushAfterUndoCase{21, 20, 15, 0, {99, 5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                                        15, 16, 17, 18, 19, 20, 19, 18, 17, 16}},
                      PushAfterUndoCase{21, 30, 15, 0, {99, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                                        25, 26, 27, 28, 29, 30, 29, 28, 27, 26}},
                      PushAfterUndoCase{21, 20, 20, 0, {99, 0,  1,  2,  3,  4,  5,  6,  7,  8, 9,
                                                        10, 11, 12, 13, 14, 15, 16, 17, 18, 19}}));

// Every depth of undo on a full ring, against the rule: the undone states oldest first, then
// the newest state and back down the history, as far as the ring holds.
TEST(UndoRingTest, PushAfterAnyDepthOfUndo)
{
    for (int slotCount : {5, 21}) {
        for (int pushes : {slotCount - 1, 3 * slotCount + 2}) {
            for (int undos = 0; undos < slotCount; ++undos) {
                UndoRing<int> ring = ringWithPushes(slotCount, pushes);
                for (int i = 0; i < undos; ++i)
                    ring.undo();
                ring.push(-1);
                std::vector<int> expected{-1};
                for (int s = pushes - undos; s <= pushes; ++s)
                    expected.push_back(s);
                for (int s = pushes - 1; int(expected.size()) < slotCount; --s)
                    expected.push_back(s);
                expected.resize(size_t(slotCount));
                EXPECT_EQ(walkBack(ring), expected)
                    << slotCount << " slotCount, " << pushes << " pushes, " << undos << " undos";
            }
        }
    }
}

} // namespace
