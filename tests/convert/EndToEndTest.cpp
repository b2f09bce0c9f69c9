#include <gtest/gtest.h>

#include "convert/ConversionRun.h"
#include "convert/HeadlessConverter.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"
#include "tests/support/SwfReader.h"
#include "tests/support/WindowStandIn.h"

namespace brevanto::convert {
namespace {

using testing::GifBuilder;
using testing::ScratchFolder;

// Plays the file through the preview player with capture on, at real speed, exactly as the
// window converts it, and returns the movie's bytes.
std::vector<std::uint8_t> convertThroughPlayback(const std::string& gif, int width, int height,
                                                 const OutputSettings& chosen, const std::string& folder) {
  testing::RunHarness harness;
  harness.settings = chosen;
  harness.settings.outputFolder = folder;
  harness.list.add(gif, width, height);
  // The window hands shown frames over on its own thread; here the event loop polls.
  harness.run.setCurrentFile(gif);
  testing::WindowStandIn& window = harness.window;
  window.perform(harness.run.convert());
  window.runUntilIdle();
  EXPECT_TRUE(window.problems.empty()) << (window.problems.empty() ? "" : window.problems[0]);
  EXPECT_EQ(window.movies.size(), 1u);
  return window.movies.empty() ? std::vector<std::uint8_t>{} : testing::readFile(window.movies[0]);
}

std::vector<std::uint8_t> convertHeadless(const std::string& gif, const OutputSettings& chosen,
                                          const std::string& folder) {
  OutputSettings options = chosen;
  options.outputFolder = folder;
  const auto result = convertFile(gif, options);
  EXPECT_TRUE(result.ok()) << (result ? "" : result.error().reason);
  return result ? testing::readFile(result->moviePath) : std::vector<std::uint8_t>{};
}

TEST(EndToEnd, PlaybackWithCaptureAndTheHeadlessConverterWriteTheSameMovie) {
  ScratchFolder scratch;
  // Short and long frames, a frame without delay, a transparent sub-frame over the canvas.
  GifBuilder animated(12, 9);
  animated.loop().comment("end to end");
  animated.frame(5, 12, 9, 1).frame(-1, 12, 9, 2);
  animated.control({.delay = 22, .disposal = 1, .transparent = 0})
      .image(2, 3, 5, 4, std::vector<std::uint8_t>{0, 3, 3, 0, 3, 3, 0, 3, 3, 0, 3, 3, 0, 3, 3, 0, 3, 3, 0, 3});
  animated.frame(3, 12, 9, 3).trailer();
  const std::string animatedPath = scratch.write("in/anim.gif", animated.bytes());

  GifBuilder still(7, 5);
  still.image(0, 0, 7, 5, 2).trailer();
  const std::string stillPath = scratch.write("in/still.gif", still.bytes());

  struct Case {
    std::string path;
    int width, height;
    SizeMode mode;
    int quality, fps;
  };
  const Case cases[] = {
      {animatedPath, 12, 9, SizeMode::Double, 85, 12},
      {stillPath, 7, 5, SizeMode::Original, 100, 10},
  };
  for (const Case& c : cases) {
    OutputSettings settings;
    settings.sizeMode = c.mode;
    settings.applySizeMode(c.mode, c.width, c.height);
    settings.jpegQuality = c.quality;
    settings.frameRate = c.fps;
    const auto played = convertThroughPlayback(c.path, c.width, c.height, settings, scratch.folder("played"));
    const auto headless = convertHeadless(c.path, settings, scratch.folder("headless"));
    ASSERT_FALSE(played.empty());
    EXPECT_EQ(played, headless) << c.path;
  }
  const auto movie = testing::readSwfFile(scratch.path().generic_string() + "/headless/anim.swf");
  // 50, 100, 220 and 100 ms: slots 0, 1, 2-3, 4, and no frame lost at the end.
  EXPECT_EQ(movie.frameCount, 5);
  EXPECT_EQ(movie.bitmapIds, (std::vector<int>{2, 4, 6, 10}));
  EXPECT_EQ(movie.stageWidth, 24);
}

// A GIF whose passes would not fit in one movie loops forever: its movie holds one pass and no
// stop, although the passes were planned before the frames were counted.
TEST(EndToEnd, PassesTooLongForOneMovieLoopWithoutAStop) {
  ScratchFolder scratch;
  GifBuilder gif(1, 1);
  gif.loop(100);  // 101 passes of 700 movie frames
  for (int i = 0; i < 700; ++i) gif.frame(2, 1, 1, static_cast<std::uint8_t>(i % 2));
  OutputSettings settings;
  settings.timing = Timing::AsGif;
  settings.loop = LoopMode::AsGif;
  settings.outputFolder = scratch.folder("out");
  const auto result = convertFile(scratch.write("long.gif", gif.trailer().bytes()), settings);
  ASSERT_TRUE(result.ok()) << result.error().reason;
  EXPECT_TRUE(result->passes.tooLongToRepeat);
  const auto movie = testing::readSwfFile(result->moviePath);
  EXPECT_EQ(movie.frameCount, 700);
  for (const auto& tag : movie.tags) EXPECT_NE(tag.code, 12) << "a DoAction stops the movie";
}

}  // namespace
}  // namespace brevanto::convert
