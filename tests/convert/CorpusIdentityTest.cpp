#include <gtest/gtest.h>

#include <filesystem>

#include "convert/ConversionRun.h"
#include "convert/FrameCapture.h"
#include "convert/HeadlessConverter.h"
#include "convert/PreviewPlayer.h"
#include "swf/MovieAssembly.h"
#include "tests/support/Files.h"

namespace brevanto::convert {
namespace {

namespace fs = std::filesystem;

struct Configuration {
  const char* name;
  PictureKind pictures;
  Timing timing;
  LoopMode loop;
  SizeMode size;
};

// For every valid GIF of the shared corpus and each setup: the window's pieces (player load,
// capture of every frame played to the capture folder, assembly from that folder) and the
// headless converter write the same bytes. The real-speed playback itself is covered by the
// end-to-end test.
TEST(CorpusIdentity, CaptureFolderPathAndHeadlessPathAgreeOnEveryCorpusFile) {
  REQUIRE_SAMPLE_DATA("gif/valid");
  testing::ScratchFolder scratch;
  const std::string played = scratch.folder("played");
  const std::string headless = scratch.folder("headless");
  const Configuration configurations[] = {
      {"jpeg steps", PictureKind::Jpeg, Timing::Steps, LoopMode::Forever, SizeMode::Original},
      {"lossless steps", PictureKind::Lossless, Timing::Steps, LoopMode::AsGif, SizeMode::Original},
      {"lossless steps half", PictureKind::Lossless, Timing::Steps, LoopMode::AsGif, SizeMode::Half},
      {"jpeg as the gif", PictureKind::Jpeg, Timing::AsGif, LoopMode::AsGif, SizeMode::Original},
      {"lossless as the gif 2x", PictureKind::Lossless, Timing::AsGif, LoopMode::AsGif, SizeMode::Double},
  };
  int compared = 0;
  for (const fs::path& path : testing::sampleFiles("gif/valid", ".gif")) {
    const std::string gif = path.string();
    for (const Configuration& setup : configurations) {
      PreviewPlayer player;
      player.setTiming(setup.timing);
      (void)player.load(gif);  // an undecodable sample holds no frame, which the comparison shows
      if (playedFrameCount(player.frameCount(), setup.timing) > player.frameCount()) (void)player.load(gif);
      const image::RasterImage* first = player.frameAt(0);
      ASSERT_NE(first, nullptr) << gif;
      const PixelSize stage = stageSizeFor(setup.size, {first->width(), first->height()}, {});
      if (stage.width < 1 || stage.height < 1 || stage.width > swf::kMaxStageSide || stage.height > swf::kMaxStageSide)
        continue;

      OutputSettings options;
      options.jpegQuality = 90;
      options.pictures = setup.pictures;
      options.timing = setup.timing;
      options.loop = setup.loop;
      options.sizeMode = setup.size;
      options.outputFolder = played;
      options.outputWidth = stage.width;
      options.outputHeight = stage.height;
      FrameCapture& capture = player.capture();
      capture.outputFolder = played;
      capture.captureEnabled = true;
      capture.captureQuality = options.jpegQuality;
      capture.capturePictures = setup.pictures;
      capture.captureStage = stage;
      emptyCaptureFolder(played);
      for (int i = 0; i < player.frameCount(); ++i) {
        capture.captureFrame(*player.frameAt(i), gif, player.timeline().slotsOf(static_cast<std::size_t>(i)));
      }
      const AssembledMovie fromFolder = assembleMovie(player, options, gif);
      ASSERT_TRUE(fromFolder.written.ok()) << gif << ": " << fromFolder.written.error().detail;

      options.outputFolder = headless;
      const auto direct = convertFile(gif, options);
      ASSERT_TRUE(direct.ok()) << gif << ": " << direct.error().reason;
      EXPECT_EQ(direct->slotCount, player.slotCount()) << gif;
      EXPECT_TRUE(testing::readFile(*fromFolder.written) == testing::readFile(direct->moviePath))
          << setup.name << ": " << gif;
      fs::remove(*fromFolder.written);
      fs::remove(direct->moviePath);
      ++compared;
    }
  }
  EXPECT_GT(compared, 500);
}

}  // namespace
}  // namespace brevanto::convert
