// Loads any file through the codec factory, as the batch list and the player do, then saves its
// first frame in every format the program writes and reads each written file back.
// Input: the first byte picks the file-name extension (and so the codec), the second the JPEG
// quality; the rest is the file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>

#include "FuzzCommon.h"
#include "image/AnimatedImage.h"
#include "image/ImageCodecFactory.h"
#include "image/GifIndex.h"
#include "image/ImageLimits.h"
#include "image/ImageProperties.h"
#include "image/platform/GifReader.h"

using namespace brevanto;

namespace {

// Keep in step with LOAD_SAVE_EXTENSIONS in make_seeds.py.
constexpr std::array<const char*, 8> kInputExtensions = {"bmp", "jpg", "gif", "tga", "tif", "png", "ico", "pcx"};
constexpr std::array<const char*, 7> kOutputExtensions = {"bmp", "tga", "gif", "jpg", "png", "tif", "ico"};

std::int64_t readBe32(const std::uint8_t* p) { return (std::int64_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

// Skips files whose headers claim a large accepted size (see fuzz::worthDecoding).
bool worthLoading(const std::string& ext, const std::uint8_t* data, std::size_t size) {
  if (ext == "bmp") return fuzz::bmpWorthDecoding(data, size);
  if (ext == "tga") return fuzz::tgaWorthDecoding(data, size);
  if (ext == "png" && size >= 24) return fuzz::worthDecoding(readBe32(data + 16), readBe32(data + 20), 32);
  if (ext == "gif") {
    const image::GifIndex index = image::indexGif(std::span(data, size), image::GifRules::Decoder);
    if (!index.hasScreen) return true;
    const std::uint64_t area =
        static_cast<std::uint64_t>(index.canvasWidth) * static_cast<std::uint64_t>(index.canvasHeight);
    const std::uint64_t total = area * 4 * (index.frames.size() + 1);
    return area > image::kMaxImagePixels || total > image::memoryBudgetBytes() || total <= (std::uint64_t{16} << 20);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string ext = kInputExtensions[data[0] % kInputExtensions.size()];
  const int quality = static_cast<int>(data[1]) - 20;  // -20 .. 235: out-of-range texts too
  if (!worthLoading(ext, data + 2, size - 2)) return 0;
  const auto& folder = fuzz::workFolder();
  const auto input = folder / ("input." + ext);
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));
  }

  image::AnimatedImage animation;
  image::ImageProperties properties;
  const auto loaded = animation.load(input, &properties);
  if (!loaded) {
    FUZZ_CHECK(animation.frameCount() == 0);
    FUZZ_CHECK(!loaded.error().empty());
    return 0;
  }
  FUZZ_CHECK(animation.frameCount() > 0);
  FUZZ_CHECK(properties.frameDelaysMs().size() <= animation.frameCount());
  for (std::size_t i = 0; i < animation.frameCount(); ++i) fuzz::exerciseImage(animation.frame(i));

  const image::RasterImage& first = animation.frame(0);
  if (static_cast<std::int64_t>(first.width()) * first.height() > fuzz::kHeavyWorkPixels) return 0;

  image::ImageProperties saveOptions;
  saveOptions.set(image::ImageProperties::QualityKey, std::to_string(quality));
  for (const char* outExt : kOutputExtensions) {
    const auto output = folder / (std::string("output.") + outExt);
    const bool saved = image::ImageCodecFactory::save(first, output, saveOptions).ok();
    if (std::string(outExt) == "ico") {
      FUZZ_CHECK(!saved);
      continue;
    }
    if (!saved) continue;
    image::AnimatedImage reread;
    FUZZ_CHECK(reread.load(output));
    FUZZ_CHECK(reread.frameCount() == 1);
    FUZZ_CHECK(reread.frame(0).width() == first.width());
    FUZZ_CHECK(reread.frame(0).height() == first.height());
  }
  return 0;
}
