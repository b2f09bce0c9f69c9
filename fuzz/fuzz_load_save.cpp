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
#include "image/ImageProperties.h"

using namespace brevanto;

namespace {

// Keep in step with LOAD_SAVE_EXTENSIONS in make_seeds.py.
constexpr std::array<const char*, 8> kInputExtensions = {"bmp", "jpg", "gif", "tga",
                                                         "tif", "png", "ico", "pcx"};
constexpr std::array<const char*, 7> kOutputExtensions = {"bmp", "tga", "gif", "jpg",
                                                          "png", "tif", "ico"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string ext = kInputExtensions[data[0] % kInputExtensions.size()];
  const int quality = static_cast<int>(data[1]) - 20;  // -20 .. 235: out-of-range texts too
  const auto& folder = fuzz::workFolder();
  const auto input = folder / ("input." + ext);
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));
  }

  image::AnimatedImage animation;
  image::ImageProperties properties;
  const bool loaded = animation.load(input, &properties);
  if (!loaded) {
    FUZZ_CHECK(animation.frameCount() == 0);
    FUZZ_CHECK(!animation.lastError().empty());
    return 0;
  }
  FUZZ_CHECK(animation.frameCount() > 0);
  const std::string delays = properties.get(image::ImageProperties::FrameDelaysKey);
  FUZZ_CHECK(delays.size() % 16 == 0);
  for (std::size_t i = 0; i < animation.frameCount(); ++i) fuzz::exerciseImage(animation.frame(i));

  const image::RasterImage& first = animation.frame(0);
  if (static_cast<std::int64_t>(first.width()) * first.height() > fuzz::kHeavyWorkPixels) return 0;

  image::ImageProperties saveOptions;
  saveOptions.set(image::ImageProperties::QualityKey, std::to_string(quality));
  for (const char* outExt : kOutputExtensions) {
    const auto output = folder / (std::string("output.") + outExt);
    const bool saved = first.save(output, saveOptions);
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
