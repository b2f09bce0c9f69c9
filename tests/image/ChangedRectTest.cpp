#include "image/ChangedRect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace brevanto::image {
namespace {

struct Picture {
  int width, height;
  std::vector<std::uint8_t> bytes;
  Picture(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4, 0xFF) {}
  std::uint8_t* at(int x, int y) { return bytes.data() + (static_cast<std::size_t>(y) * width + x) * 4; }
  util::BgraView view() const { return {bytes.data(), width * 4, width, height}; }
};

TEST(ChangedRect, BoundingBoxOfTheChangedPixels) {
  const Picture before(9, 7);
  Picture after = before;
  EXPECT_EQ(changedRect(before.view(), after.view()), std::nullopt);

  after.at(2, 5)[0] = 0;  // blue of one pixel
  after.at(6, 1)[2] = 0;  // red of another
  EXPECT_EQ(changedRect(before.view(), after.view()), (util::PixelRect{2, 1, 5, 5}));

  // Corners reach the edges; a change in the fourth byte alone is no change.
  Picture corners = before;
  corners.at(0, 6)[1] = 1;
  corners.at(8, 0)[1] = 1;
  corners.at(4, 3)[3] = 0;
  EXPECT_EQ(changedRect(before.view(), corners.view()), (util::PixelRect{0, 0, 9, 7}));
  Picture alphaOnly = before;
  alphaOnly.at(4, 3)[3] = 0;
  EXPECT_EQ(changedRect(before.view(), alphaOnly.view()), std::nullopt);
}

TEST(ChangedRect, DifferentSizesOrNoPreviousPictureChangeEverything) {
  const Picture small(3, 2), large(4, 2);
  EXPECT_EQ(changedRect(small.view(), large.view()), (util::PixelRect{0, 0, 4, 2}));
  EXPECT_EQ(changedRect(util::BgraView{}, large.view()), (util::PixelRect{0, 0, 4, 2}));
  EXPECT_EQ(changedRect(large.view(), util::BgraView{}), std::nullopt);
}

}  // namespace
}  // namespace brevanto::image
