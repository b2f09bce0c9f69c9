#include "image/TgaCodec.h"

namespace brevanto::image {

bool TgaCodec::loadFromMemory(std::span<const std::uint8_t>, FrameList&, std::optional<ImageProperties>&) {
  return fail("not yet");
}
bool TgaCodec::saveToFile(const std::filesystem::path&, std::span<const RasterImage>, const ImageProperties&) {
  return fail("not yet");
}
std::vector<std::uint8_t> TgaCodec::encode(const RasterImage&) { return {}; }

}  // namespace brevanto::image
