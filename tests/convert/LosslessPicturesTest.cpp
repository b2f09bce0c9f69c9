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
  EXPECT_TRUE(image.create(width, height, 24));
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

}  // namespace
}  // namespace brevanto::convert
