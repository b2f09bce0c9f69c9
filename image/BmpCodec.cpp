#include "image/BmpCodec.h"

namespace brevanto::image {

bool BmpCodec::loadFromMemory(std::span<const std::uint8_t>, FrameList&, std::optional<ImageProperties>&) {
  return fail("not yet");
}
bool BmpCodec::saveToFile(const std::filesystem::path&, std::span<const RasterImage>, const ImageProperties&) {
  return fail("not yet");
}
std::vector<std::uint8_t> BmpCodec::encode(const RasterImage&) { return {}; }

}  // namespace brevanto::image
