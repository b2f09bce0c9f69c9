// The block-wise tag buffer and a movie spread over several of its blocks.

#include "swf/ChunkedBytes.h"
#include "swf/SwfJpegBitmap.h"
#include "swf/SwfMovie.h"
#include "swf/SwfShape.h"
#include "SwfTestSupport.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace brevanto::swf {
namespace {

using test::Bytes;

Bytes counting(std::size_t size, std::uint8_t start) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(start + i * 7);
  return bytes;
}

TEST(ChunkedBytes, AppendsAcrossBlocksKeepOrderAndNeverMoveStoredBytes) {
  ChunkedBytes buffer(16);
  Bytes expected;
  const std::uint8_t* firstBlock = nullptr;
  std::uint8_t start = 0;
  for (std::size_t size : {0, 1, 15, 16, 3, 40, 0, 13, 56, 2}) {
    const Bytes piece = counting(size, start++);
    buffer.append(piece);
    expected.insert(expected.end(), piece.begin(), piece.end());
    if (!firstBlock && !buffer.blocks().empty()) firstBlock = buffer.blocks().front().data();
  }
  ASSERT_EQ(buffer.size(), expected.size());
  EXPECT_EQ(buffer.blocks().front().data(), firstBlock);  // filled in place, never reallocated
  for (std::size_t i = 0; i + 1 < buffer.blocks().size(); ++i)
    EXPECT_EQ(buffer.blocks()[i].size(), 16u) << "block " << i;
  EXPECT_FALSE(buffer.blocks().back().empty());
  EXPECT_LE(buffer.blocks().back().size(), 16u);
  EXPECT_EQ(buffer.joined(), expected);

  // Gathered into one block, then appended to again.
  EXPECT_EQ(buffer.join(), expected);
  EXPECT_EQ(buffer.blocks().size(), 1u);
  const Bytes tail = counting(20, 99);
  buffer.append(tail);
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(buffer.joined(), expected);
  EXPECT_EQ(buffer.join(), expected);

  ChunkedBytes empty;
  EXPECT_TRUE(empty.join().empty());
  EXPECT_TRUE(empty.blocks().empty());
}

TEST(ChunkedBytes, MovieLargerThanSeveralBlocksIsWrittenWhole) {
  const brevanto::testing::ScratchFolder scratch;
  const auto path = scratch / "chunked.swf";
  // A 2.5-block picture between small tags, so tags straddle block boundaries.
  const Bytes jpeg = counting(ChunkedBytes::kDefaultBlockSize * 5 / 2, 3);
  SwfMovie movie;
  ASSERT_TRUE(movie.open(path.string(), 40, 30, 10));
  movie.setBackgroundColor(1, 2, 3);
  for (std::uint16_t n = 0; n < 3; ++n) {
    SwfJpegBitmap bitmap(static_cast<std::uint16_t>(2 * n + 2), jpeg);
    movie.addCharacter(bitmap, 0, false);
    SwfShape shape(static_cast<std::uint16_t>(2 * n + 1), 0, 0, 40, 30, static_cast<std::uint16_t>(n + 1));
    shape.addBitmapFill(static_cast<std::uint16_t>(2 * n + 2), SwfShape::kClippedBitmap, 0, 0, 40, 30, 0, 0, 40, 30);
    movie.addCharacter(shape, static_cast<std::uint16_t>(n + 1), true);
    movie.showFrame();
  }
  const Bytes inMemory = movie.fileBytes();
  ASSERT_TRUE(movie.close());
  const Bytes written = brevanto::testing::readFile(path);

  EXPECT_EQ(written, inMemory);
  const test::ParsedMovie parsed = test::parseMovie(written);
  ASSERT_TRUE(parsed.valid);
  EXPECT_EQ(parsed.frameCount, 3);
  int pictures = 0;
  for (const test::Tag& tag : parsed.tags) {
    if (tag.code != 21) continue;
    ++pictures;
    ASSERT_EQ(tag.body.size(), jpeg.size() + 8);
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), tag.body.begin() + 6));
  }
  EXPECT_EQ(pictures, 3);
}

}  // namespace
}  // namespace brevanto::swf
