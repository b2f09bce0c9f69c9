#include <gtest/gtest.h>

#include <filesystem>

#include "convert/FrameCapture.h"
#include "convert/HeadlessConverter.h"
#include "convert/PreviewPlayer.h"
#include "convert/SlotPictureMaker.h"
#include "image/platform/DecodedImage.h"
#include "swf/MovieAssembly.h"
#include "tests/support/Files.h"

namespace brevanto::convert {
namespace {

namespace fs = std::filesystem;
using Kind = swf::SlotPicture::Kind;

// A 24-bit picture of one colour with an optional different pixel.
image::RasterImage picture(int width, int height, std::uint8_t grey, int dotX = -1, int dotY = -1) {
  image::RasterImage image;
  image.create(width, height, 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      p[0] = p[1] = p[2] = (x == dotX && y == dotY) ? std::uint8_t(grey ^ 0xFF) : grey;
    }
  }
  return image;
}

TEST(SlotPictureMaker, RectanglesOnlyOnWholeMultiplesAndNothingForAnUnchangedPicture) {
  SlotPictureMaker atTwice(PictureKind::Lossless, 100, {6, 4}, {12, 8});
  EXPECT_EQ(atTwice.make(picture(6, 4, 200)).rect, (util::PixelRect{0, 0, 6, 4}));  // the first is whole
  EXPECT_EQ(atTwice.make(picture(6, 4, 200)).kind, Kind::None);
  const swf::SlotPicture dot = atTwice.make(picture(6, 4, 200, 4, 1));
  EXPECT_EQ(dot.kind, Kind::Lossless);
  EXPECT_EQ(dot.rect, (util::PixelRect{4, 1, 1, 1}));

  SlotPictureMaker wider(PictureKind::Lossless, 100, {6, 4}, {13, 8});
  wider.make(picture(6, 4, 200));
  EXPECT_EQ(wider.make(picture(6, 4, 200, 4, 1)).rect, (util::PixelRect{0, 0, 6, 4}));

  // A smaller stage in one direction: pictures are made at the stage's size.
  EXPECT_EQ(pictureSizeFor({6, 4}, {12, 2}), (PixelSize{12, 2}));
  SlotPictureMaker shrunk(PictureKind::Lossless, 100, {6, 4}, {3, 2});
  EXPECT_EQ(shrunk.make(picture(6, 4, 200)).rect, (util::PixelRect{0, 0, 3, 2}));
  EXPECT_EQ(wholeScaleOf({6, 4}, {18, 12}), 3);
  EXPECT_EQ(wholeScaleOf({6, 4}, {18, 8}), 0);
}

// For every valid GIF of the shared corpus, at the GIF's size and at half size: the window's
// pieces (capture of every frame as a lossless picture, movie from the capture folder) and the
// headless converter write the same lossless movie.
TEST(LosslessCorpus, CaptureFolderPathAndHeadlessPathAgree) {
  const fs::path valid = fs::path(BREVANTO_TESTDATA) / "gif" / "valid";
  if (!fs::is_directory(valid)) GTEST_SKIP() << "the shared corpus is not available";
  testing::ScratchFolder scratch;
  const std::string played = scratch.folder("played");
  const std::string headless = scratch.folder("headless");
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(valid)) {
    const std::string gif = entry.path().string();
    if (entry.path().extension() != ".gif") continue;
    PreviewPlayer player;
    player.load(gif);
    if (player.frameCount() == 1) player.load(gif);
    const image::RasterImage* first = player.frameAt(0);
    ASSERT_NE(first, nullptr) << gif;
    const PixelSize source{first->width(), first->height()};
    if (source.width > swf::kMaxStageSide || source.height > swf::kMaxStageSide) continue;
    for (const SizeMode mode : {SizeMode::Original, SizeMode::Half}) {
      const PixelSize stage = stageSizeFor(mode, source, {});
      if (stage.width < 1 || stage.height < 1) continue;
      FrameCapture& capture = player.capture();
      capture.outputFolder = played;
      capture.captureEnabled = true;
      capture.captureCounter = 0;
      capture.capturePictures = PictureKind::Lossless;
      capture.captureStage = stage;
      emptyCaptureFolder(played);
      for (int i = 0; i < player.frameCount(); ++i) {
        capture.captureFrame(*player.frameAt(i), gif, player.displayTimes()[static_cast<std::size_t>(i)]);
      }
      const PixelSize size = pictureSizeFor(source, stage);
      swf::MovieAssemblyInput input;
      input.gifPath = gif;
      input.outputFolder = played;
      input.stageWidth = stage.width;
      input.stageHeight = stage.height;
      input.sourceWidth = size.width;
      input.sourceHeight = size.height;
      input.slotCount = player.slotCount();
      input.lossless = true;
      input.stopAtEnd = !player.declaresLooping();
      SlotPictureMaker maker(PictureKind::Lossless, 100, size, stage);
      const auto fromFolder =
          swf::writeMovie(input, [&](int slot) { return capture.losslessPictureAt(gif, slot, maker); });
      ASSERT_TRUE(fromFolder.ok()) << gif << ": " << fromFolder.error().detail;

      OutputSettings options;
      options.outputFolder = headless;
      options.sizeMode = mode;
      options.pictures = PictureKind::Lossless;
      options.loop = LoopMode::AsGif;
      const auto direct = convertFile(gif, options);
      ASSERT_TRUE(direct.ok()) << gif << ": " << direct.error().reason;
      EXPECT_TRUE(testing::readFile(*fromFolder) == testing::readFile(direct->moviePath)) << gif;
      fs::remove(*fromFolder);
      fs::remove(direct->moviePath);
      ++compared;
    }
  }
  EXPECT_GT(compared, 200);
}

}  // namespace
}  // namespace brevanto::convert
