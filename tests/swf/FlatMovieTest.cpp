#include <gtest/gtest.h>

#include <map>

#include "swf/PictureStack.h"
#include "swf/SwfLosslessBitmap.h"
#include "tests/swf/SwfTestSupport.h"

namespace brevanto::swf {
namespace {

using test::Bytes;

// The display list after each frame of a movie: depth -> character id, replayed from its
// PlaceObject2 and RemoveObject2 tags. A placement on a taken depth without the move flag, or a
// move onto an empty depth, fails the test (players ignore both).
std::vector<std::map<int, int>> displayLists(const test::ParsedMovie& movie) {
  std::vector<std::map<int, int>> frames;
  std::map<int, int> list;
  for (const auto& tag : movie.tags) {
    if (tag.code == 26) {
      const bool move = tag.body[0] & 1;
      const int depth = test::u16At(tag.body, 1);
      EXPECT_EQ(move, list.count(depth) == 1) << "depth " << depth;
      list[depth] = test::u16At(tag.body, 3);
    } else if (tag.code == 28) {
      EXPECT_EQ(list.erase(test::u16At(tag.body, 0)), 1u);
    } else if (tag.code == 1) {
      frames.push_back(list);
    }
  }
  return frames;
}

MovieAssemblyInput flatInput(int width, int height) {
  MovieAssemblyInput input = test::movieInput(width, height);
  input.flat = true;
  return input;
}

SlotPicture rectPicture(const util::BgraView& picture, const util::PixelRect& rect) {
  return SlotPicture::lossless(losslessBitmapFields(picture.sub(rect)), rect);
}

TEST(PictureStack, CoveredRectanglesComeOffAndTheBoundsHold) {
  PictureStack stack(10, 10);
  EXPECT_FALSE(stack.fits({0, 0, 1, 1}));  // nothing to draw over yet
  EXPECT_EQ(stack.placeWhole().replaces, false);
  EXPECT_EQ(stack.placeRect({2, 2, 2, 2}).depth, 2);
  const auto cover = stack.placeRect({1, 1, 4, 4});
  EXPECT_EQ(cover.depth, 3);
  EXPECT_EQ(cover.removed, std::vector<std::uint16_t>{2});
  for (int i = 0; i < 29; ++i) stack.placeRect({i % 10, 5 + i / 10, 1, 1});  // none covers another
  EXPECT_EQ(stack.objects(), PictureStack::kMaxObjects - 1);
  EXPECT_TRUE(stack.fits({9, 9, 1, 1}));
  stack.placeRect({9, 9, 1, 1});
  EXPECT_FALSE(stack.fits({8, 8, 1, 1}));   // a 33rd object
  EXPECT_TRUE(stack.fits({0, 0, 10, 10}));  // covers them all
  const auto whole = stack.placeWhole();
  EXPECT_TRUE(whole.replaces);
  EXPECT_EQ(whole.removed.size(), 31u);

  PictureStack area(10, 10);
  area.placeWhole();
  area.placeRect({0, 0, 10, 9});
  area.placeRect({0, 1, 10, 9});
  area.placeRect({0, 0, 9, 10});
  EXPECT_FALSE(area.fits({1, 0, 9, 10}));  // a fifth picture's worth of pixels
}

TEST(FlatMovie, FramesWithoutAPictureAreBareAndLaterPassesPlaceWhatIsDefined) {
  MovieAssemblyInput input = flatInput(2, 2);
  input.frameRate88 = 0x2155;
  const std::uint8_t pixels[2 * 2 * 4] = {};
  const util::BgraView picture{pixels, 8, 2, 2};
  MovieBuilder builder(input);
  builder.add(rectPicture(picture, {0, 0, 2, 2}));
  builder.add(SlotPicture{});
  builder.add(rectPicture(picture, {0, 0, 2, 2}));
  builder.setPasses(2);
  builder.stopAtEnd();
  const auto bytes = builder.fileBytes();
  ASSERT_TRUE(bytes);
  const auto movie = test::parseMovie(*bytes);
  ASSERT_TRUE(movie.valid);
  EXPECT_EQ(movie.frameRate, 0x2155);
  EXPECT_EQ(movie.frameCount, 6);
  EXPECT_EQ(test::tagCodes(movie), (std::vector<int>{9, 20, 32, 26, 1, 1, 20, 32, 26, 1, 26, 1, 1, 26, 12, 1, 0}));
  const auto lists = displayLists(movie);
  ASSERT_EQ(lists.size(), 6u);
  EXPECT_EQ(lists[1], (std::map<int, int>{{1, 1}}));
  EXPECT_EQ(lists[2], (std::map<int, int>{{1, 3}}));
  EXPECT_EQ(lists[3], (std::map<int, int>{{1, 1}}));
  EXPECT_EQ(lists[5], (std::map<int, int>{{1, 3}}));
}

// A long movie of small changes keeps at most kMaxObjects objects and four pictures' worth of
// bitmaps on its display list, whatever its length.
TEST(FlatMovie, ALongMovieOfChangedRectanglesKeepsItsDisplayListBounded) {
  constexpr int kSide = 40;
  std::vector<std::uint8_t> pixels(kSide * kSide * 4, 0x80);
  const util::BgraView picture{pixels.data(), kSide * 4, kSide, kSide};
  MovieBuilder builder(flatInput(kSide, kSide));
  PictureStack maker(kSide, kSide);  // the picture maker's side of the bargain
  maker.placeWhole();
  builder.add(rectPicture(picture, {0, 0, kSide, kSide}));
  std::map<int, util::PixelRect> rects;  // bitmap id -> rect
  for (int i = 1; i < 600; ++i) {
    util::PixelRect rect{(i * 7) % 30, (i * 13) % 30, 3 + i % 9, 2 + i % 11};
    if (!maker.fits(rect)) rect = {0, 0, kSide, kSide};
    if (rect.width == kSide) maker.placeWhole(); else maker.placeRect(rect);
    builder.add(rectPicture(picture, rect));
    rects[2 * i + 2] = rect;
  }
  const auto bytes = builder.fileBytes();
  ASSERT_TRUE(bytes);
  for (const auto& list : displayLists(test::parseMovie(*bytes))) {
    ASSERT_LE(list.size(), static_cast<std::size_t>(PictureStack::kMaxObjects));
    std::int64_t area = 0;
    for (const auto& [depth, shape] : list) {
      const auto r = rects.find(shape + 1);
      area += r == rects.end() ? kSide * kSide : std::int64_t{r->second.width} * r->second.height;
    }
    ASSERT_LE(area, PictureStack::kMaxPictureAreas * kSide * kSide);
  }
}

}  // namespace
}  // namespace brevanto::swf
