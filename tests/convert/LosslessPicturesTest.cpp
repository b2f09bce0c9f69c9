#include <gtest/gtest.h>

#include <filesystem>

#include "convert/FrameCapture.h"
#include "convert/HeadlessConverter.h"
#include "convert/PreviewPlayer.h"
#include "convert/SlotPictureMaker.h"
#include "image/platform/DecodedImage.h"
#include "swf/MovieAssembly.h"
#include "swf/PictureStack.h"

#include <map>
#include <random>
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

// A player's view of the plans: each picture placed on the display list as swf::PictureStack
// places it (a rectangle takes off those it covers), drawn bottom to top, transparent pixels
// (alpha 0) showing what lies under them. After every frame it must show that frame exactly.
TEST(SlotPictureMaker, TransparentPixelsShowExactlyThePreviousFrameEvenWhereCoveredRectanglesComeOff) {
  constexpr int w = 30, h = 8;
  SlotPictureMaker maker(PictureKind::Lossless, 100, {w, h}, {w, h});
  swf::PictureStack stack(w, h);
  std::map<std::uint16_t, std::shared_ptr<const SlotPictureMaker::LosslessPlan>> shown;  // by depth
  std::mt19937 random(7);
  image::RasterImage frame = picture(w, h, 200);
  int transparent = 0, uncovering = 0;
  for (int n = 0; n < 300; ++n) {
    // A few pixels change to one of three greys, in a box somewhere; now and then none.
    const int x0 = static_cast<int>(random() % w), y0 = static_cast<int>(random() % h);
    for (int k = static_cast<int>(random() % 6); k > 0; --k) {
      std::uint8_t* p = frame.pixel(std::min(w - 1, x0 + static_cast<int>(random() % 16)),
                                    std::min(h - 1, y0 + static_cast<int>(random() % 3)));
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(40 + 80 * (random() % 3));
    }
    const std::shared_ptr<const SlotPictureMaker::LosslessPlan> plan = maker.planLossless(frame);
    if (plan->kind == Kind::None) continue;
    ASSERT_EQ(plan->kind, Kind::Lossless);
    const swf::SlotPicture made = SlotPictureMaker::compressLossless(*plan);
    EXPECT_EQ(made.transparent, plan->transparent);
    if (plan->rect == util::PixelRect{0, 0, w, h}) {
      ASSERT_FALSE(plan->transparent);  // a whole picture covers the stage's background
      stack.placeWhole();
      shown = {{swf::PictureStack::kWholeDepth, plan}};
    } else {
      const swf::PictureStack::Placement placed = stack.placeRect(plan->rect);
      for (const std::uint16_t depth : placed.removed) shown.erase(depth);
      shown[placed.depth] = plan;
      transparent += plan->transparent ? 1 : 0;
      uncovering += plan->transparent && !placed.removed.empty() ? 1 : 0;
    }
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        std::uint8_t seen[4] = {0, 0, 0, 0};
        for (const auto& [depth, p] : shown) {
          const util::PixelRect& r = p->rect;
          if (x < r.x || y < r.y || x >= r.x + r.width || y >= r.y + r.height) continue;
          const std::uint8_t* px = p->pixels.data() + (static_cast<std::size_t>(y - r.y) * r.width + (x - r.x)) * 4;
          if (px[3] != 0) std::copy(px, px + 4, seen);
        }
        ASSERT_EQ(seen[0], frame.pixel(x, y)[0]) << "frame " << n << " at " << x << "," << y;
      }
    }
  }
  EXPECT_GT(transparent, 50);
  EXPECT_GT(uncovering, 5);  // the case where the previous frame is not what lies under
}

}  // namespace
}  // namespace brevanto::convert
