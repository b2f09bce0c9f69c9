#include <gtest/gtest.h>

#include <filesystem>

#include "convert/FrameCapture.h"
#include "convert/HeadlessConverter.h"
#include "convert/PreviewPlayer.h"
#include "swf/MovieAssembly.h"
#include "tests/support/Files.h"

namespace brevanto::convert {
namespace {

namespace fs = std::filesystem;

// For every valid GIF of the shared corpus: the window's pieces (player load, capture of every
// frame to the capture folder, assembly from that folder) and the headless converter write the
// same bytes. The real-speed playback itself is covered by the end-to-end test.
TEST(CorpusIdentity, CaptureFolderPathAndHeadlessPathAgreeOnEveryCorpusFile) {
  REQUIRE_SAMPLE_DATA("gif/valid");
  testing::ScratchFolder scratch;
  const std::string played = scratch.folder("played");
  const std::string headless = scratch.folder("headless");
  int compared = 0;
  for (const fs::path& path : testing::sampleFiles("gif/valid", ".gif")) {
    const std::string gif = path.string();
    PreviewPlayer player;
    player.load(gif);
    if (player.frameCount() == 1) player.load(gif);
    const image::RasterImage* first = player.frameAt(0);
    ASSERT_NE(first, nullptr) << gif;
    if (first->width() > swf::kMaxStageSide || first->height() > swf::kMaxStageSide) continue;

    FrameCapture& capture = player.capture();
    capture.outputFolder = played;
    capture.captureEnabled = true;
    capture.captureQuality = 90;
    emptyCaptureFolder(played);
    for (int i = 0; i < player.frameCount(); ++i) {
      capture.captureFrame(*player.frameAt(i), gif, player.displayTimes()[static_cast<std::size_t>(i)]);
    }
    swf::MovieAssemblyInput input;
    input.gifPath = gif;
    input.outputFolder = played;
    input.stageWidth = input.sourceWidth = first->width();
    input.stageHeight = input.sourceHeight = first->height();
    input.frameRate = 10;
    input.slotCount = player.slotCount();
    const auto fromFolder = swf::writeMovie(input, [&](int slot) { return capture.pictureAt(gif, slot); });
    ASSERT_TRUE(fromFolder.ok()) << gif << ": " << fromFolder.error().detail;

    OutputSettings options;
    options.outputFolder = headless;
    options.jpegQuality = 90;
    const auto direct = convertFile(gif, options);
    ASSERT_TRUE(direct.ok()) << gif << ": " << direct.error().reason;
    EXPECT_EQ(direct->slotCount, player.slotCount()) << gif;
    EXPECT_TRUE(testing::readFile(*fromFolder) == testing::readFile(direct->moviePath)) << gif;
    fs::remove(*fromFolder);
    fs::remove(direct->moviePath);
    ++compared;
  }
  EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace brevanto::convert
