#include "image/ImageCodec.h"

#include "image/ImageLimits.h"
#include "util/File.h"

namespace brevanto::image {

util::Result<std::vector<std::uint8_t>> readPictureFile(const std::filesystem::path& path) {
  return util::readWholeFile(path, [&path](std::uint64_t size) -> util::Result<void> {
    if (size == 0) return util::fail("empty or unreadable file " + path.string());
    return checkByteAllocation(size);
  });
}

util::Result<void> ImageCodec::loadFromFile(const std::filesystem::path& path, FrameList& frames,
                              std::optional<ImageProperties>& properties) {
  auto data = readPictureFile(path);
  if (!data) return util::fail(std::move(data.error()));
  return loadFromMemory(*data, frames, properties);
}

util::Result<void> ImageCodec::loadFromMemory(std::span<const std::uint8_t>, FrameList&, std::optional<ImageProperties>&) {
  return util::fail("this format cannot be read");
}

util::Result<void> ImageCodec::saveToFile(const std::filesystem::path&, std::span<const RasterImage>, const ImageProperties&) {
  return util::fail("this format cannot be written");
}

}  // namespace brevanto::image
