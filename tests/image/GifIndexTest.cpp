#include <gtest/gtest.h>

#include "image/GifIndex.h"
#include "tests/support/GifBuilder.h"

namespace brevanto::image {
namespace {

using testing::GifBuilder;

std::vector<int> delaysUnder(const std::vector<std::uint8_t>& data, GifRules rules) {
  return indexGif(data, rules).delays();
}

// The places where the decoder's walk and the frame table's walk count the same bytes
// differently; each rule is what keeps one of them as it always was.
TEST(GifIndex, DecoderAndFrameTableRulesDiffer) {
  // Of two controls before one image the decoder takes the last, the table the first.
  GifBuilder twoControls(4, 4);
  twoControls.control({.delay = 10}).frame(20, 4, 4, 1).frame(30, 4, 4, 2).trailer();
  EXPECT_EQ(delaysUnder(twoControls.bytes(), GifRules::Decoder), (std::vector<int>{20, 30}));
  EXPECT_EQ(delaysUnder(twoControls.bytes(), GifRules::FrameTable), (std::vector<int>{10, 30}));

  // An extension of an unknown label is stepped over by the decoder and ends the table.
  GifBuilder unknown(4, 4);
  unknown.frame(10, 4, 4, 1).raw({0x21, 0x02, 0x01, 0x00, 0x00}).frame(20, 4, 4, 2).trailer();
  EXPECT_EQ(delaysUnder(unknown.bytes(), GifRules::Decoder), (std::vector<int>{10, 20}));
  EXPECT_EQ(delaysUnder(unknown.bytes(), GifRules::FrameTable), (std::vector<int>{10}));

  // The table counts a graphic control as 8 bytes: one of 5 data bytes throws it off.
  GifBuilder longControl(4, 4);
  longControl.frame(10, 4, 4, 1).raw({0x21, 0xF9, 0x05, 0x00, 40, 0x00, 0x00, 0x00, 0x00}).frame(-1, 4, 4, 2).trailer();
  EXPECT_EQ(delaysUnder(longControl.bytes(), GifRules::Decoder), (std::vector<int>{10, 40}));
  EXPECT_EQ(delaysUnder(longControl.bytes(), GifRules::FrameTable), (std::vector<int>{10}));

  // A plain text extension is a frame of the table only.
  GifBuilder text(4, 4);
  text.frame(10, 4, 4, 1).control({.delay = 20}).plainText("t").frame(30, 4, 4, 2).trailer();
  EXPECT_EQ(delaysUnder(text.bytes(), GifRules::Decoder), (std::vector<int>{10, 30}));
  EXPECT_EQ(delaysUnder(text.bytes(), GifRules::FrameTable), (std::vector<int>{10, 20, 30}));

  // An image whose data breaks off: the decoder keeps it (incomplete), the table leaves it out.
  std::vector<std::uint8_t> cut = twoControls.bytes();
  cut.resize(cut.size() - 3);
  const GifIndex decoded = indexGif(cut, GifRules::Decoder);
  ASSERT_EQ(decoded.frames.size(), 2u);
  EXPECT_FALSE(decoded.frames[1].complete);
  EXPECT_EQ(indexGif(cut, GifRules::FrameTable).frames.size(), 1u);
}

TEST(GifIndex, FrameTableRunsMakeStandaloneGifs) {
  GifBuilder gif(4, 4);
  gif.loop().frame(10, 4, 4, 1).comment("c").frame(20, 4, 4, 2).trailer();
  const GifIndex index = indexGif(gif.bytes(), GifRules::FrameTable);
  ASSERT_EQ(index.frames.size(), 2u);
  std::vector<std::uint8_t> one;
  standaloneFrame(gif.bytes(), index, index.frames[1], one);
  // The comment lies before the second frame's control, so it is not part of its run.
  const GifIndex alone = indexGif(one, GifRules::Decoder);
  ASSERT_EQ(alone.frames.size(), 1u);
  EXPECT_EQ(alone.frames[0].delay, 20);
  EXPECT_EQ(one.back(), 0x3B);
  EXPECT_EQ(one.size(), index.firstBlock() + (index.frames[1].end - index.frames[1].begin) + 1);
}

}  // namespace
}  // namespace brevanto::image
