#include "image/platform/PlatformCodec.h"

namespace brevanto::image {

bool PlatformCodec::loadFromMemory(std::span<const std::uint8_t>, FrameList&,
                                   std::optional<ImageProperties>&) {
  return fail("imaging layer not available");
}

bool PlatformCodec::saveToFile(const std::filesystem::path&, std::span<const RasterImage>,
                               const ImageProperties&) {
  return fail("imaging layer not available");
}

}  // namespace brevanto::image
