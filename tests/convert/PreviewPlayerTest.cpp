#include <gtest/gtest.h>

#include <chrono>

#include "convert/PreviewPlayer.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"
#include "tests/support/ManualClock.h"

namespace brevanto::convert {
namespace {

using namespace std::chrono_literals;
using testing::GifBuilder;
using testing::ManualClock;
using testing::ScratchFolder;
using testing::waitUntil;

std::vector<std::uint8_t> framesOf(int count, int delay) {
  GifBuilder gif(3, 2);
  for (int i = 0; i < count; ++i) gif.frame(delay, 3, 2, static_cast<std::uint8_t>(i % 4));
  gif.trailer();
  return gif.bytes();
}

TEST(PreviewPlayer, LoadReleasesOrAppendsFramesByTheReloadRule) {
  ScratchFolder scratch;
  const std::string one = scratch.write("one.gif", framesOf(1, 10));
  const std::string three = scratch.write("three.gif", framesOf(3, 10));
  PreviewPlayer player;
  EXPECT_FALSE(player.hasLoaded());
  EXPECT_TRUE(player.load(one));
  EXPECT_EQ(player.frameCount(), 1);
  EXPECT_TRUE(player.load(one));  // the same one-frame file again: held twice
  EXPECT_EQ(player.frameCount(), 2);
  EXPECT_EQ(player.slotCount(), 2);
  EXPECT_TRUE(player.load(one));  // more than one frame held: released first
  EXPECT_EQ(player.frameCount(), 1);
  EXPECT_TRUE(player.load(three));
  EXPECT_EQ(player.frameCount(), 3);
  const auto missing = player.load(scratch.path().generic_string() + "/missing.gif");
  ASSERT_FALSE(missing);
  EXPECT_FALSE(missing.error().empty());
  EXPECT_EQ(player.frameCount(), 0);
  EXPECT_EQ(player.frameAt(0), nullptr);
}

TEST(PreviewPlayer, AnyNumberOfFramesAndACurrentFrameBeyondThemStartsAtZero) {
  ScratchFolder scratch;
  const std::string many = scratch.write("many.gif", framesOf(1200, 2));
  const std::string few = scratch.write("few.gif", framesOf(3, 2));
  PreviewPlayer player;
  ManualClock clock;
  player.setClock(clock);
  ASSERT_TRUE(player.load(many));
  EXPECT_EQ(player.frameCount(), 1200);
  EXPECT_EQ(player.displayTimes().size(), 1200u);
  EXPECT_EQ(player.slotCount(), 1200);
  EXPECT_EQ(player.delayTable().animatedFrameCount(), 1200);
  clock.advance(400ms);  // four frames of 100 ms each
  player.startPlayback();
  ASSERT_TRUE(waitUntil([&] { return player.pendingShownFrames() == 5; }));
  player.stopPlayback();  // paused far into a long file: the frame shown stays current
  EXPECT_EQ(player.currentFrame(), 4);
  ASSERT_TRUE(player.load(few));
  EXPECT_EQ(player.currentFrame(), 0);
}

TEST(PreviewPlayer, StopInterruptsALongWaitAtOnce) {
  ScratchFolder scratch;
  const std::string slow = scratch.write("slow.gif", framesOf(3, 1000));  // 10 s per frame
  PreviewPlayer player;
  ASSERT_TRUE(player.load(slow));
  player.startPlayback();
  EXPECT_TRUE(player.playbackRunning());
  ASSERT_TRUE(waitUntil([&] { return player.pendingShownFrames() == 1; }));
  const auto before = std::chrono::steady_clock::now();
  player.stopPlayback();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);  // the 10 s wait was interrupted
  EXPECT_FALSE(player.playbackRunning());
  EXPECT_FALSE(player.playedToEnd());
  EXPECT_EQ(player.currentFrame(), 0);
  EXPECT_EQ(player.pendingShownFrames(), 1);  // nothing further was shown
  EXPECT_EQ(player.handleShownFrames(), 1);
}

TEST(PreviewPlayer, PlaysOnceShowingEveryFrameInOrderThenRewinds) {
  ScratchFolder scratch;
  const std::string file = scratch.write("quick.gif", framesOf(4, 3));  // 30 ms, waits 100 ms
  PreviewPlayer player;
  ManualClock clock;
  clock.run();
  player.setClock(clock);
  ASSERT_TRUE(player.load(file));
  std::atomic<int> shown{0};
  player.setFrameShown([&] { ++shown; });
  player.capture().captureEnabled = true;
  player.capture().outputFolder = scratch.folder("out");
  player.startPlayback();
  ASSERT_TRUE(waitUntil([&] { return !player.playbackRunning(); }));
  EXPECT_EQ(clock.waited(), 400ms);  // 100 ms per frame, the shortest a frame shows
  EXPECT_TRUE(player.playedToEnd());
  EXPECT_EQ(player.currentFrame(), 0);
  EXPECT_EQ(shown.load(), 4);
  EXPECT_FALSE(player.lastFrameHandled());
  EXPECT_EQ(player.handleShownFrames(), 4);
  EXPECT_TRUE(player.lastFrameHandled());
  EXPECT_EQ(player.capture().captureCounter, 4);

  // A one-frame file starts no thread.
  const std::string single = scratch.write("single.gif", framesOf(1, 3));
  ASSERT_TRUE(player.load(single));
  player.startPlayback();
  EXPECT_FALSE(player.playbackRunning());
}

}  // namespace
}  // namespace brevanto::convert
