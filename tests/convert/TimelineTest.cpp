#include <gtest/gtest.h>

#include "convert/Timeline.h"

#include <numeric>
#include <random>

#include "swf/MovieAssembly.h"

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

TEST(GifTiming, BrowserDelaysAtTheirGreatestCommonRate) {
  // 3 hundredths is 33.33 fps, stored as 0x2155.
  const Timeline thirds = buildTimeline(3, {3, 6, 3}, Timing::AsGif);
  EXPECT_EQ(thirds.frameRate88, 0x2155);
  EXPECT_EQ(thirds.firstSlots, (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(thirds.slotCount, 4);
  // 0 and 1 hundredth (and none) play 100 ms; 10 is no multiple of 3, so the rate is 100 fps.
  const Timeline t = buildTimeline(4, {3, 6, 1, -1}, Timing::AsGif);
  EXPECT_EQ(t.displayTimes, (std::vector<int>{30, 60, 100, 100}));
  EXPECT_EQ(t.firstSlots, (std::vector<int>{0, 3, 9, 19}));
  EXPECT_EQ(t.frameRate88, 100 << 8);
  EXPECT_EQ(buildTimeline(2, {4, 6}, Timing::AsGif).frameRate88, 50 << 8);
  EXPECT_EQ(rateText(0x2155), "33.33 fps");
  EXPECT_EQ(rateText(50 << 8), "50 fps");
  // One frame plays once; a very long delay still gets a rate the header can store.
  EXPECT_EQ(playedFrameCount(1, Timing::AsGif), 1);
  EXPECT_EQ(playedFrameCount(1, Timing::Steps), 2);
  const GifRate slow = gifRateFor({65535});
  EXPECT_GT(slow.rate88, 0);
  EXPECT_EQ(65535 % slow.hundredths, 0);
}

// Random delay lists: no zero rate, every frame starts exactly where the GIF shows it, the
// movie is as long as the GIF within half a movie frame at the stored rate, and passes fit.
TEST(GifTiming, RandomDelayListsMoveNoFrame) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<int> delays(1 + random() % 40);
    const int spread = round % 3 == 0 ? 65536 : 40;
    for (int& d : delays) d = static_cast<int>(random() % spread) - 1;
    const Timeline t = buildTimeline(static_cast<int>(delays.size()), delays, Timing::AsGif);
    const GifRate rate = gifRateFor(delays);
    ASSERT_GT(t.frameRate88, 0);
    std::int64_t start = 0;
    for (std::size_t i = 0; i < delays.size(); ++i) {
      ASSERT_EQ(start % rate.hundredths, 0);
      ASSERT_EQ(t.firstSlots[i], start / rate.hundredths);
      start += gifHundredths(delays[i]);
    }
    ASSERT_EQ(t.slotCount, start / rate.hundredths);
    const double movieSeconds = t.slotCount / (t.frameRate88 / 256.0);
    ASSERT_LE(std::abs(movieSeconds - start / 100.0), 0.5 * rate.hundredths / 100.0 + 1e-9);
    const Passes passes = passesFor(LoopMode::AsGif, static_cast<int>(random() % 70000), t.slotCount);
    ASSERT_LE(std::int64_t{passes.passes} * t.slotCount, std::max(t.slotCount, swf::kMaxMovieFrames));
  }
}

TEST(GifTiming, LoopCountsBecomePasses) {
  EXPECT_EQ(passesFor(LoopMode::AsGif, std::nullopt, 10).passes, 1);
  EXPECT_TRUE(passesFor(LoopMode::AsGif, std::nullopt, 10).stopAtEnd);
  EXPECT_FALSE(passesFor(LoopMode::AsGif, 0, 10).stopAtEnd);
  EXPECT_EQ(passesFor(LoopMode::AsGif, 2, 10).passes, 3);
  EXPECT_TRUE(passesFor(LoopMode::AsGif, 2, 10).stopAtEnd);
  EXPECT_EQ(passesFor(LoopMode::Forever, 2, 10).passes, 1);
  const Passes tooLong = passesFor(LoopMode::AsGif, 9, 10000);
  EXPECT_EQ(tooLong.passes, 1);
  EXPECT_FALSE(tooLong.stopAtEnd);
  EXPECT_TRUE(tooLong.tooLongToRepeat);
}

}  // namespace
}  // namespace brevanto::convert
