// Memory of a headless conversion: the movie being built and about one frame, not the movie
// twice (pictures held apart from it, or a tag buffer copied as it grows).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "GifBytes.h"
#include "Resources.h"
#include "convert/HeadlessConverter.h"

using namespace brevanto;
using namespace brevanto::hardening;

namespace {

// Frames of pseudo-random pixels in four colours: small as a GIF, large as JPEG pictures.
Bytes noisyAnimation(int width, int height, int frames) {
  Bytes gif = gifHeader(width, height);
  std::uint32_t state = 12345;
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int f = 0; f < frames; ++f) {
    for (auto& index : indices) {
      state = state * 1664525u + 1013904223u;
      index = static_cast<std::uint8_t>(state >> 30);
    }
    appendControl(gif, 10);
    appendImage(gif, 0, 0, width, height, lzwLiterals(indices));
  }
  appendTrailer(gif);
  return gif;
}

}  // namespace

TEST(HeadlessMemory, PeakIsAboutTheMovieNotTwice) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer keeps freed memory in quarantine";
#endif
  const auto dir = std::filesystem::temp_directory_path() / "brevanto-hardening-memory";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const Bytes gif = noisyAnimation(320, 240, 60);
  const auto gifPath = dir / "noise.gif";
  std::ofstream(gifPath, std::ios::binary)
      .write(reinterpret_cast<const char*>(gif.data()), static_cast<std::streamsize>(gif.size()));

  convert::OutputSettings options;
  options.outputFolder = dir.string() + "/";
  std::optional<util::Result<convert::ConvertedMovie, convert::RunProblem>> result;
  const Cost cost = measure([&] { result.emplace(convert::convertFile(gifPath.string(), options)); });
  ASSERT_TRUE(result->ok()) << result->error().reason;
  const double movieMib = static_cast<double>(std::filesystem::file_size((*result)->moviePath)) / 1048576.0;
  const double gifMib = static_cast<double>(gif.size()) / 1048576.0;
  std::filesystem::remove_all(dir);

  // The file is read whole and its frame table copies it once more; the movie is built whole;
  // a few frames (300 KB canvases) besides.
  ASSERT_GT(movieMib, 12.0) << "the pictures should make a sizeable movie";
  EXPECT_LT(cost.peakGrowthMib, movieMib + 2 * gifMib + 6.0)
      << "movie " << movieMib << " MiB, GIF " << gifMib << " MiB";
}
