#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "convert/ConversionRun.h"
#include "convert/HeadlessConverter.h"
#include "swf/MovieAssembly.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"
#include "tests/support/SwfReader.h"
#include "tests/support/WindowStandIn.h"

namespace brevanto::convert {
namespace {

using testing::GifBuilder;
using testing::ScratchFolder;

// A GIF of `delays.size()` full-size frames of alternating colours.
std::vector<std::uint8_t> gifWithDelays(int width, int height, const std::vector<int>& delays) {
  GifBuilder gif(width, height);
  std::uint8_t color = 1;
  for (int delay : delays) {
    gif.frame(delay, width, height, color);
    color = static_cast<std::uint8_t>(color % 3 + 1);
  }
  gif.trailer();
  return gif.bytes();
}

std::vector<int> distinct(const std::vector<int>& values) {
  std::vector<int> out;
  for (int v : values) {
    if (out.empty() || out.back() != v) out.push_back(v);
  }
  return out;
}

bool captureFolderIsEmpty(const std::string& outputFolder) {
  const std::filesystem::path folder = captureFolder(outputFolder);
  return std::filesystem::is_directory(folder) && std::filesystem::is_empty(folder);
}

class ConversionRunTest : public ::testing::Test, protected testing::RunHarness {
 protected:
  ConversionRunTest() { settings.outputFolder = scratch.folder("out"); }
  std::string addFile(const std::string& name, const std::vector<std::uint8_t>& bytes, int w, int h) {
    const std::string path = scratch.write("gifs/" + name, bytes);
    list.add(path, w, h);
    return path;
  }

  ScratchFolder scratch;
};

TEST_F(ConversionRunTest, ConvertShowsItsShareOfTheListAndOpensTheFinishedMovie) {
  for (int i = 0; i < 4; ++i) addFile("f" + std::to_string(i) + ".gif", gifWithDelays(6, 4, {10, 10, 10}), 6, 4);
  run.setCurrentFile(list.items[2].filePath);
  settings.outputWidth = 6;
  settings.outputHeight = 4;
  window.perform(run.convert());
  EXPECT_EQ(window.frameCountLabel, "/3");
  window.runUntilIdle();

  EXPECT_EQ(distinct(window.percents), std::vector<int>{25});
  const std::string movie = settings.outputFolder + "f2.swf";
  EXPECT_EQ(window.openedMovies, std::vector<std::string>{movie});
  EXPECT_TRUE(window.openedFolders.empty());
  EXPECT_TRUE(window.problems.empty());
  EXPECT_EQ(testing::readSwfFile(movie).frameCount, 3);
  EXPECT_TRUE(captureFolderIsEmpty(settings.outputFolder));
  EXPECT_FALSE(run.isConverting());
  EXPECT_FALSE(window.controlsLocked);
  EXPECT_TRUE(window.playEnabled);
  EXPECT_FALSE(window.pauseEnabled);
}

TEST_F(ConversionRunTest, ConvertAllWalksTheListAppliesTheSizeModeToEachRowAndOpensTheFolderOnce) {
  addFile("a.gif", gifWithDelays(5, 3, {10, 10}), 5, 3);
  addFile("b.gif", gifWithDelays(7, 2, {10, 20}), 7, 2);
  addFile("c.gif", gifWithDelays(4, 4, {10}), 4, 4);
  settings.sizeMode = SizeMode::Double;  // applied to each row's own size
  window.perform(run.convertAll());
  window.runUntilIdle();

  EXPECT_EQ(distinct(window.percents), (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(window.selectedRows, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(window.openedFolders, std::vector<std::string>{settings.outputFolder});
  EXPECT_TRUE(window.openedMovies.empty());
  ASSERT_EQ(window.movies.size(), 3u);
  const auto b = testing::readSwfFile(settings.outputFolder + "b.swf");
  EXPECT_EQ(std::pair(b.stageWidth, b.stageHeight), std::pair(14, 4));
  EXPECT_EQ(b.frameCount, 3);
  // The one-frame file is played and captured as two frames.
  const auto c = testing::readSwfFile(settings.outputFolder + "c.swf");
  EXPECT_EQ(c.frameCount, 2);
  EXPECT_EQ(c.bitmapIds, (std::vector<int>{2, 4}));
  EXPECT_FALSE(run.isConvertAll());
  EXPECT_FALSE(window.controlsLocked);
}

TEST_F(ConversionRunTest, FramesOfThreeTwoAndOneSlotsGiveTheTimelineMovie) {
  // 300, 100 and 250 ms: pictures at slots 0, 3 and 4 of 6.
  run.setCurrentFile(addFile("t.gif", gifWithDelays(8, 8, {30, 10, 25}), 8, 8));
  settings.outputWidth = settings.outputHeight = 8;
  window.perform(run.convert());
  EXPECT_EQ(player.slotCount(), 6);
  window.runUntilIdle();
  const auto movie = testing::readSwfFile(settings.outputFolder + "t.swf");
  EXPECT_TRUE(movie.valid);
  EXPECT_EQ(movie.frameCount, 6);
  EXPECT_EQ(movie.showFrames, 6);
  EXPECT_EQ(movie.bitmapIds, (std::vector<int>{2, 8, 10}));
}

TEST_F(ConversionRunTest, FileFinishesEvenWhenTheWindowWasTooBusyToSeeTheLastFrame) {
  run.setCurrentFile(addFile("busy.gif", gifWithDelays(4, 4, {10, 10, 10}), 4, 4));
  settings.outputWidth = settings.outputHeight = 4;
  window.perform(run.convert());
  // The window neither handles frames nor ticks until playback has ended and rewound.
  while (player.playbackRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(player.currentFrame(), 0);
  window.perform(run.tick(kPlaybackTimer));
  EXPECT_FALSE(run.isConverting());
  const auto movie = testing::readSwfFile(settings.outputFolder + "busy.swf");
  EXPECT_EQ(movie.bitmapIds, (std::vector<int>{2, 4, 6}));
}

TEST_F(ConversionRunTest, CommandsReportMissingFilesAndFoldersAndNeverDivideByZero) {
  window.perform(run.convert());
  window.perform(run.convertAll());
  window.perform(run.play());
  window.perform(run.pause());
  const RunActions idle = run.tick(kPlaybackTimer);
  EXPECT_EQ(idle.progressPercent, 0);
  EXPECT_EQ(idle.sliderPosition, 0);
  EXPECT_EQ(window.messages, (std::vector<std::string>{std::string(kNoFilesMessage), std::string(kNoFilesMessage),
                                                       std::string(kSelectFileMessage)}));

  addFile("x.gif", gifWithDelays(2, 2, {10, 10}), 2, 2);
  window.messages.clear();
  window.perform(run.convert());
  settings.outputFolder = "/";
  window.perform(run.convertAll());
  EXPECT_EQ(window.messages,
            (std::vector<std::string>{std::string(kSelectFileToConvertMessage), std::string(kSelectDirectoryMessage)}));
  EXPECT_FALSE(run.isConverting());
}

TEST_F(ConversionRunTest, UndecodableFileEndsWithAProblemAndNoMovie) {
  run.setCurrentFile(addFile("broken.gif", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, 0, 0));
  window.perform(run.convert());
  window.runUntilIdle();
  ASSERT_EQ(window.problems.size(), 1u);
  EXPECT_NE(window.problems[0].find("broken.gif"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(settings.outputFolder + "broken.swf"));
  EXPECT_FALSE(run.isConverting());
  EXPECT_EQ(run.sliderPosition(), 0);
}

TEST_F(ConversionRunTest, MoviesSureToBeRefusedAreReportedBeforeTheFileIsPlayed) {
  // Claims an 11390 x 12595 screen in 26 bytes; playing it would decode a 570 MB canvas.
  addFile("big.gif", testing::hugeScreenGif(), 11390, 12595);
  // 6 frames of 655.35 s: 39321 slots, more than character ids allow (and an hour to play).
  addFile("long.gif", gifWithDelays(2, 2, {65535, 65535, 65535, 65535, 65535, 65535}), 2, 2);
  addFile("fine.gif", gifWithDelays(3, 3, {10, 10}), 3, 3);
  settings.sizeMode = SizeMode::Original;
  window.perform(run.convertAll());
  EXPECT_EQ(player.frameCount(), 0);  // refused before anything was loaded
  window.runUntilIdle();
  ASSERT_EQ(window.problems.size(), 2u);
  EXPECT_NE(window.problems[0].find("The movie size 11390 x 12595 cannot be used"), std::string::npos);
  EXPECT_NE(window.problems[1].find("The animation is too long for one movie: it runs 39321 steps"), std::string::npos)
      << window.problems[1];
  EXPECT_EQ(window.movies.size(), 1u);
}

TEST_F(ConversionRunTest, ConvertAllEndsCleanlyWhenRowsDisappearMidRun) {
  for (const char* name : {"a.gif", "b.gif", "c.gif"}) addFile(name, gifWithDelays(3, 3, {10, 10}), 3, 3);
  window.perform(run.convertAll());
  window.run([&] { return run.runIndex() == 1; });
  list.items.resize(1);
  window.runUntilIdle();
  EXPECT_FALSE(run.isConvertAll());
  EXPECT_FALSE(window.timer1 || window.timer2);
  EXPECT_EQ(window.openedFolders.size(), 1u);
}

TEST_F(ConversionRunTest, PlainPlaybackPlaysOnceAndRestoresTheButtons) {
  run.setCurrentFile(addFile("p.gif", gifWithDelays(3, 3, {10, 10, 10}), 3, 3));
  window.perform(run.play());
  EXPECT_FALSE(window.playEnabled);
  EXPECT_TRUE(window.pauseEnabled);
  window.run([&] { return !run.isPlaying(); }, std::chrono::seconds(5));
  EXPECT_FALSE(run.isPlaying());
  EXPECT_TRUE(window.playEnabled);
  EXPECT_FALSE(window.pauseEnabled);
  EXPECT_EQ(player.currentFrame(), 0);
  EXPECT_FALSE(player.playbackRunning());
  EXPECT_TRUE(window.movies.empty());
}

}  // namespace
}  // namespace brevanto::convert
