#include "image/AnimatedImage.h"

#include <optional>

#include "image/ImageCodecFactory.h"

namespace brevanto::image {

namespace {

bool finishLoad(bool ok, FrameList& local, FrameList& frames, std::optional<ImageProperties>& holder,
                ImageProperties* properties) {
  if (!ok) return false;
  local.moveAllTo(frames);
  if (holder && properties) *properties = std::move(*holder);
  return true;
}

}  // namespace

bool AnimatedImage::load(const std::filesystem::path& path, ImageProperties* properties) {
  auto codec = ImageCodecFactory::createCodecForPath(path);
  if (!codec) {
    lastError_ = "no codec for " + path.string();
    return false;
  }
  FrameList local;
  std::optional<ImageProperties> holder;
  const bool ok = codec->loadFromFile(path, local, holder);
  lastError_ = ok ? std::string() : codec->lastError();
  return finishLoad(ok, local, frames_, holder, properties);
}

bool AnimatedImage::loadFromMemory(std::span<const std::uint8_t> data, ImageFormat format,
                                   ImageProperties* properties) {
  auto codec = ImageCodecFactory::createCodec(format);
  if (!codec) {
    lastError_ = "no codec for this format";
    return false;
  }
  FrameList local;
  std::optional<ImageProperties> holder;
  const bool ok = codec->loadFromMemory(data, local, holder);
  lastError_ = ok ? std::string() : codec->lastError();
  return finishLoad(ok, local, frames_, holder, properties);
}

}  // namespace brevanto::image
