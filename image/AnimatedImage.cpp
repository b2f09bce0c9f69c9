#include "image/AnimatedImage.h"

#include <optional>

#include "image/ImageCodecFactory.h"

namespace brevanto::image {

namespace {

util::Result<void> finishLoad(util::Result<void> loaded, FrameList& local, FrameList& frames,
                              std::optional<ImageProperties>& holder, ImageProperties* properties) {
  if (!loaded) return loaded;
  local.moveAllTo(frames);
  if (holder && properties) *properties = std::move(*holder);
  return {};
}

}  // namespace

util::Result<void> AnimatedImage::load(const std::filesystem::path& path, ImageProperties* properties) {
  auto codec = ImageCodecFactory::createCodecForPath(path);
  if (!codec) return util::fail("no codec for " + path.string());
  FrameList local;
  std::optional<ImageProperties> holder;
  return finishLoad(codec->loadFromFile(path, local, holder), local, frames_, holder, properties);
}

util::Result<void> AnimatedImage::loadFromMemory(std::span<const std::uint8_t> data, ImageFormat format,
                                                 ImageProperties* properties) {
  auto codec = ImageCodecFactory::createCodec(format);
  if (!codec) return util::fail("no codec for this format");
  FrameList local;
  std::optional<ImageProperties> holder;
  return finishLoad(codec->loadFromMemory(data, local, holder), local, frames_, holder, properties);
}

}  // namespace brevanto::image
