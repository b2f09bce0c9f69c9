#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "convert/HeadlessConverter.h"
#include "convert/OrderedEncoder.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"
#include "tests/support/SwfReader.h"

namespace brevanto::convert {
namespace {

using testing::GifBuilder;
using testing::ScratchFolder;

swf::SlotPicture numbered(int n) { return swf::SlotPicture::jpeg({static_cast<std::uint8_t>(n)}); }

TEST(OrderedEncoder, DeliversInSubmissionOrderAndRethrowsAFailedJobInItsTurn) {
  for (const int threads : {1, 3}) {
    std::vector<int> seen;
    OrderedEncoder encoder(
        threads, [&](swf::SlotPicture p) { seen.push_back(p.bytes.at(0)); }, 4);
    for (int n = 0; n < 40; ++n) {
      // Later jobs often finish first.
      encoder.submit([n] {
        std::this_thread::sleep_for(std::chrono::microseconds((n * 7919) % 13 * 100));
        return numbered(n);
      });
    }
    encoder.finish();
    ASSERT_EQ(seen.size(), 40u) << threads;
    for (int n = 0; n < 40; ++n) EXPECT_EQ(seen[static_cast<std::size_t>(n)], n) << threads;
  }

  std::vector<int> seen;
  OrderedEncoder encoder(
      2, [&](swf::SlotPicture p) { seen.push_back(p.bytes.at(0)); }, 8);
  EXPECT_THROW(
      {
        for (int n = 0; n < 6; ++n) {
          encoder.submit([n]() -> swf::SlotPicture {
            if (n == 3) throw std::runtime_error("encoder failed");
            return numbered(n);
          });
        }
        encoder.finish();
      },
      std::runtime_error);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));  // the pictures before it, none after
}

TEST(ParallelConvert, EncodingOnSeveralThreadsWritesTheSingleThreadMovie) {
  ScratchFolder scratch;
  // Frames of different sizes, colours and delays, some sub-frames, a dropped short delay.
  GifBuilder gif(40, 30);
  for (int n = 0; n < 60; ++n) {
    gif.control({.delay = n % 7 == 0 ? 2 : 10 + n % 30, .disposal = n % 3 == 2 ? 2 : 0});
    gif.image(n % 11, n % 5, 40 - n % 11, 30 - n % 5, static_cast<std::uint8_t>(n % 4));
  }
  gif.trailer();
  const std::string path = scratch.write("in/long.gif", gif.bytes());
  OutputSettings options;
  options.jpegQuality = 90;
  options.sizeMode = SizeMode::Double;
  // Lossless pictures are planned in frame order and compressed on the threads.
  for (const PictureKind kind : {PictureKind::Jpeg, PictureKind::Lossless}) {
    options.pictures = kind;
    std::vector<std::vector<std::uint8_t>> movies;
    for (const int threads : {1, 2, 5}) {
      options.outputFolder = scratch.folder("out" + std::to_string(threads) + (kind == PictureKind::Jpeg ? "j" : "l"));
      const auto result = convertFile(path, options, threads);
      ASSERT_TRUE(result.ok()) << result.error().reason;
      movies.push_back(testing::readFile(result->moviePath));
      // Nothing but the movie stays in the folder (the streamed temporary file was renamed).
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(options.outputFolder),
                              std::filesystem::directory_iterator()),
                1);
    }
    EXPECT_GT(movies[0].size(), 60u * 20u);
    EXPECT_EQ(movies[0], movies[1]);
    EXPECT_EQ(movies[0], movies[2]);
  }
}

// The movie of the 26-byte file would be refused for its stage size: it is refused from the
// screen alone, in a child process whose peak memory shows that no canvas was allocated.
TEST(ParallelConvertDeathTest, HugeScreenIsRefusedBeforeAnyPixelIsDecoded) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScratchFolder scratch;
  const std::string path = scratch.write("in/big.gif", testing::hugeScreenGif());
  OutputSettings options;
  options.outputFolder = scratch.folder("out");
  EXPECT_EXIT(
      {
        const auto result = convertFile(path, options);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const bool refused = !result && result.error().reason ==
                                            "The movie size 11390 x 12595 cannot be used: width and height "
                                            "must be between 1 and 1638 pixels.";
        std::fprintf(stderr, "refused %d, peak %ld KB\n", refused ? 1 : 0, usage.ru_maxrss);
        std::exit(refused && usage.ru_maxrss < 200 * 1024 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "refused 1");
}

}  // namespace
}  // namespace brevanto::convert
