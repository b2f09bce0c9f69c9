// Memory of a headless conversion: the movie being built and about one frame, not the movie
// twice (pictures held apart from it, or a tag buffer copied as it grows).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "Resources.h"
#include "convert/HeadlessConverter.h"
#include "tests/support/Files.h"
#include "tests/support/GifBuilder.h"

using namespace brevanto;
using namespace brevanto::hardening;
using namespace brevanto::testing;

namespace {

// Frames of pseudo-random pixels in four colours: small as a GIF, large as JPEG pictures.
Bytes noisyAnimation(int width, int height, int frames) {
  GifBuilder gif(width, height, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
  std::uint32_t state = 12345;
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int f = 0; f < frames; ++f) {
    for (auto& index : indices) {
      state = state * 1664525u + 1013904223u;
      index = static_cast<std::uint8_t>(state >> 30);
    }
    gif.control({.delay = 10}).image(0, 0, width, height, indices, {.minCodeSize = 2});
  }
  gif.trailer();
  return gif.bytes();
}

}  // namespace

TEST(HeadlessMemory, PeakIsAboutTheMovieNotTwice) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer keeps freed memory in quarantine";
#endif
  ScratchFolder dir;
  const Bytes gif = noisyAnimation(320, 240, 60);
  const std::string gifPath = dir.write("noise.gif", gif);

  convert::OutputSettings options;
  options.outputFolder = dir.path().string() + "/";
  std::optional<util::Result<convert::ConvertedMovie, convert::RunProblem>> result;
  const Cost cost = measure([&] { result.emplace(convert::convertFile(gifPath, options)); });
  ASSERT_TRUE(result->ok()) << result->error().reason;
  const double movieMib = static_cast<double>(std::filesystem::file_size((*result)->moviePath)) / 1048576.0;
  const double gifMib = static_cast<double>(gif.size()) / 1048576.0;

  // The file is read whole and its frame table copies it once more; the movie is built whole;
  // a few frames (300 KB canvases) besides.
  ASSERT_GT(movieMib, 12.0) << "the pictures should make a sizeable movie";
  EXPECT_LT(cost.peakGrowthMib, movieMib + 2 * gifMib + 6.0)
      << "movie " << movieMib << " MiB, GIF " << gifMib << " MiB";
}
