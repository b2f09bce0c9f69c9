#include "image/ImageCodec.h"

#include "image/ImageLimits.h"
#include "util/File.h"

namespace brevanto::image {

bool readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out, std::string* reason) {
  auto bytes = util::readWholeFile(path, [&path](std::uint64_t size) {
    std::string refusal;
    if (size == 0) return "empty or unreadable file " + path.string();
    checkByteAllocation(size, &refusal);
    return refusal;
  });
  if (!bytes) {
    if (reason) *reason = bytes.error();
    return false;
  }
  out = std::move(*bytes);
  return true;
}

bool ImageCodec::loadFromFile(const std::filesystem::path& path, FrameList& frames,
                              std::optional<ImageProperties>& properties) {
  std::vector<std::uint8_t> data;
  std::string reason;
  if (!readWholeFile(path, data, &reason)) return fail(std::move(reason));
  return loadFromMemory(data, frames, properties);
}

bool ImageCodec::loadFromMemory(std::span<const std::uint8_t>, FrameList&, std::optional<ImageProperties>&) {
  return fail("this format cannot be read");
}

bool ImageCodec::saveToFile(const std::filesystem::path&, std::span<const RasterImage>, const ImageProperties&) {
  return fail("this format cannot be written");
}

}  // namespace brevanto::image
