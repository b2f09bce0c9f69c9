#include <gtest/gtest.h>

#include "convert/Timeline.h"

namespace brevanto::convert {
namespace {

TEST(Timeline, DelaysBecomeDisplayTimesAndEveryCapturedSlotIsInTheMovie) {
  // Delays 4, 5, 20, 150 hundredths: 100, 50, 200, 1500 ms. The frames occupy slots 0, 1,
  // 2-3 and 4-18, so the movie needs 19 slots even though 1850 ms is only 18 of them.
  const Timeline t = buildTimeline(4, {4, 5, 20, 150});
  EXPECT_EQ(t.displayTimes, (std::vector<int>{100, 50, 200, 1500}));
  EXPECT_EQ(t.firstSlots, (std::vector<int>{0, 1, 2, 4}));
  EXPECT_EQ(t.slotCount, 19);
}

TEST(Timeline, FramesOfAtLeastOneSlotKeepTheTotalTime) {
  const Timeline t = buildTimeline(3, {30, 10, 25});
  EXPECT_EQ(t.firstSlots, (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(t.slotCount, 6);  // 650 ms div 100
}

TEST(Timeline, ShortFramesAreNotDropped) {
  EXPECT_EQ(buildTimeline(4, {5, 5, 5, 5}).slotCount, 4);
  const Timeline sixty = buildTimeline(100, std::vector<int>(100, 6));
  EXPECT_EQ(sixty.slotCount, 100);
  EXPECT_EQ(sixty.firstSlots.back(), 99);
}

TEST(Timeline, MissingOrTinyDelaysShowForOneSlot) {
  const Timeline t = buildTimeline(5, {-1, 0, 4, 65535});
  EXPECT_EQ(t.displayTimes, (std::vector<int>{100, 100, 100, 655350, 100}));
  EXPECT_EQ(t.slotCount, 3 + 6553 + 1);
  EXPECT_EQ(buildTimeline(3, std::vector<int>{}).slotCount, 3);
  EXPECT_EQ(buildTimeline(0, {10, 10}).slotCount, 0);
  EXPECT_EQ(slotsForDisplayTime(199), 1);
  EXPECT_EQ(slotsForDisplayTime(300), 3);
}

}  // namespace
}  // namespace brevanto::convert
