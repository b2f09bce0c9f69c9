// The movie container: header, tag stream, placement and writing the file.

#include "swf/SwfJpegBitmap.h"
#include "swf/SwfMovie.h"
#include "swf/SwfShape.h"
#include "SwfTestSupport.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace brevanto::swf {
namespace {

using test::Bytes;
using test::hex;

using brevanto::testing::readFile;

class SwfMovieTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return (scratch / name).string(); }
  brevanto::testing::ScratchFolder scratch;
  const std::filesystem::path& dir = scratch.path();
};

TEST_F(SwfMovieTest, MovieWithoutFramesIsHeaderBackgroundAndEnd) {
  SwfMovie movie;
  ASSERT_TRUE(movie.open(path("empty.swf"), 320, 240, 10));
  EXPECT_EQ(readFile(path("empty.swf")).size(), 0u);  // nothing is written before close
  movie.setBackgroundColor(255, 255, 255);
  ASSERT_TRUE(movie.close());
  EXPECT_FALSE(movie.isOpen());
  EXPECT_EQ(readFile(path("empty.swf")),
            hex("46 57 53 03 1B 00 00 00 70 00 0C 80 00 00 96 00 00 0A 00 00 43 02 FF FF FF 00 00"));
}

TEST_F(SwfMovieTest, HeaderOf320By240At10Fps) {
  SwfMovie movie;
  ASSERT_TRUE(movie.open(path("h.swf"), 320, 240, 10));
  movie.showFrame();
  movie.showFrame();
  ASSERT_TRUE(movie.close());
  const Bytes file = readFile(path("h.swf"));
  EXPECT_EQ(file, hex("46 57 53 03 1A 00 00 00 70 00 0C 80 00 00 96 00 00 0A 02 00 40 00 40 00 00 00"));
  EXPECT_EQ(file, movie.fileBytes());
}

TEST_F(SwfMovieTest, FrameRateKeepsLowEightBits) {
  SwfMovie movie;
  movie.setFrameRate(300);
  EXPECT_EQ(movie.frameRate(), 0x2C00);  // 44.0
  movie.setFrameRate(10);
  EXPECT_EQ(movie.frameRate(), 0x0A00);
}

TEST_F(SwfMovieTest, WithoutAFileTheDefaultsStayAndNothingIsWritten) {
  SwfMovie movie;
  EXPECT_FALSE(movie.open(path("no/such/folder/x.swf"), 320, 240, 10));
  movie.showFrame();  // tags are kept without a file
  EXPECT_FALSE(movie.close());
  EXPECT_FALSE(std::filesystem::exists(path("no")));
  // 200 x 200 at 12 frames per second.
  EXPECT_EQ(movie.fileBytes(), hex("46 57 53 03 18 00 00 00 68 00 1F 40 00 07 D0 00 00 0C 01 00 40 00 00 00"));
}

TEST_F(SwfMovieTest, SecondOpenIsRefusedAndFirstFileKept) {
  SwfMovie movie;
  ASSERT_TRUE(movie.open(path("first.swf"), 100, 100, 12));
  EXPECT_FALSE(movie.open(path("second.swf"), 200, 200, 24));
  EXPECT_FALSE(std::filesystem::exists(path("second.swf")));
  EXPECT_EQ(movie.frameSize().xmaxTwips(), 2000);
  ASSERT_TRUE(movie.close());
  EXPECT_EQ(test::parseMovie(readFile(path("first.swf"))).valid, true);
}

TEST_F(SwfMovieTest, PlaceObject2IsTwelveBytesWithLongHeader) {
  SwfMovie movie;
  SwfShape shape(1, 0, 0, 10, 10, 1);
  movie.placeObject(shape, 1);
  EXPECT_EQ(movie.tags(), hex("BF 06 06 00 00 00 06 01 00 01 00 00"));
}

TEST_F(SwfMovieTest, AddCharacterPlacesShapesButNeverBitmaps) {
  SwfMovie movie;
  SwfJpegBitmap bitmap(2, Bytes{});
  movie.addCharacter(bitmap, 5, true);
  EXPECT_EQ(movie.tags(), bitmap.tagBytes());

  SwfShape shape(3, 0, 0, 10, 10, 2);
  movie.addCharacter(shape, 2, true);
  const Bytes expectedTail = hex("BF 06 06 00 00 00 06 02 00 03 00 00");
  ASSERT_GE(movie.tags().size(), 14 + shape.tagLength() + 12);
  EXPECT_EQ(Bytes(movie.tags().end() - 12, movie.tags().end()), expectedTail);

  SwfJpegBitmap unreadable(4, dir / "missing.jpg");
  const std::size_t before = movie.tags().size();
  movie.addCharacter(unreadable, 0, false);
  EXPECT_EQ(movie.tags().size(), before);
}

TEST_F(SwfMovieTest, CloseReportsWriteErrors) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "/dev/full is not available";
  SwfMovie movie;
  ASSERT_TRUE(movie.open("/dev/full", 10, 10, 10));
  SwfJpegBitmap big(2, Bytes(1 << 20, 0xAB));  // beyond any stdio buffer
  movie.addCharacter(big, 0, false);
  EXPECT_FALSE(movie.close());
  EXPECT_FALSE(movie.isOpen());
}

TEST_F(SwfMovieTest, CloseSucceedsOnDevicesWithoutSync) {
  if (!std::filesystem::exists("/dev/null")) GTEST_SKIP() << "/dev/null is not available";
  SwfMovie movie;
  ASSERT_TRUE(movie.open("/dev/null", 10, 10, 10));
  EXPECT_TRUE(movie.close());
}

}  // namespace
}  // namespace brevanto::swf
