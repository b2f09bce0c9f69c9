// Bicubic scaling of a 2000 x 1500 32-bit picture to twice and to half its size, side by side
// with ImageMagick's Catmull-Rom resize of the same picture, both single-threaded.
//
// BM_ScaleImage times our scaleImage (CPU time). BM_ImageMagickResize runs
//   MAGICK_THREAD_LIMIT=1 convert scale-input.bmp -filter Catrom -resize P% null:
// and reports the child's CPU time minus that of reading the same file without resizing, so
// only the resize is compared. It is skipped when ImageMagick's convert is not installed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/BicubicScaler.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"

namespace {

using brevanto::image::RasterImage;

constexpr int kWidth = 2000;
constexpr int kHeight = 1500;

// A busy, deterministic picture: gradients, a hashed texture and opaque alpha.
RasterImage makePicture(int width, int height) {
  RasterImage image;
  if (!image.create(width, height, 32)) return {};
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image.row(y);
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      row[4 * x] = static_cast<std::uint8_t>(x * 255 / width);
      row[4 * x + 1] = static_cast<std::uint8_t>(y * 255 / height);
      row[4 * x + 2] = static_cast<std::uint8_t>(seed >> 24);
      row[4 * x + 3] = 255;
    }
  }
  return image;
}

const RasterImage& picture() {
  static const RasterImage image = makePicture(kWidth, kHeight);
  return image;
}

void BM_ScaleImage(benchmark::State& state) {
  const int percent = static_cast<int>(state.range(0));
  const int width = kWidth * percent / 100;
  const int height = kHeight * percent / 100;
  for (auto _ : state) {
    state.PauseTiming();
    RasterImage image = picture();
    state.ResumeTiming();
    brevanto::image::scaleImage(image, width, height);
    benchmark::DoNotOptimize(image.pixels().data());
  }
  state.counters["MPix/s"] = benchmark::Counter(
      static_cast<double>(width) * height, benchmark::Counter::kIsIterationInvariantRate, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_ScaleImage)->Arg(200)->Arg(50)->Unit(benchmark::kMillisecond);

// CPU seconds (user + system) a shell command's children used; negative when it failed.
double childCpuSeconds(const std::string& command) {
  rusage before{}, after{};
  getrusage(RUSAGE_CHILDREN, &before);
  const int status = std::system(command.c_str());
  getrusage(RUSAGE_CHILDREN, &after);
  if (status != 0) return -1.0;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
}

void BM_ImageMagickResize(benchmark::State& state) {
  const int percent = static_cast<int>(state.range(0));
  const char* tmp = std::getenv("TMPDIR");
  const std::filesystem::path input = std::filesystem::path(tmp ? tmp : "/tmp") / "brevanto-scale-input.bmp";
  if (!std::filesystem::exists(input) &&
      !brevanto::image::ImageCodecFactory::save(picture(), input, brevanto::image::ImageProperties{})) {
    state.SkipWithError("cannot write the input picture");
    return;
  }
  const std::string convert = "MAGICK_THREAD_LIMIT=1 convert '" + input.string() + "'";
  // Reading the file alone: the least of three runs.
  double readOnly = 1e9;
  for (int i = 0; i < 3; ++i) {
    const double t = childCpuSeconds(convert + " null: 2>/dev/null");
    if (t < 0) {
      state.SkipWithError("ImageMagick's convert is not available");
      return;
    }
    readOnly = std::min(readOnly, t);
  }
  const std::string resize = convert + " -filter Catrom -resize " + std::to_string(percent) + "% null:";
  for (auto _ : state) {
    const double t = childCpuSeconds(resize);
    if (t < 0) {
      state.SkipWithError("ImageMagick resize failed");
      return;
    }
    state.SetIterationTime(std::max(t - readOnly, 1e-6));
  }
}
BENCHMARK(BM_ImageMagickResize)->Arg(200)->Arg(50)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
