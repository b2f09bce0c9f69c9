#include "controls/AnimatedPicture.h"

#include <utility>

#include "image/AnimatedImage.h"
#include "image/ImageCodec.h"
#include "image/GifIndex.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageFormat.h"
#include "image/platform/GifReader.h"

namespace brevanto::controls {

std::optional<PictureSize> decodePictureSize(std::span<const std::uint8_t> data) {
  if (data.empty()) return std::nullopt;
  if (image::ImageCodecFactory::formatFromContent(data) == image::ImageFormat::Gif) {
    // Whether the GIF decoder delivers a frame is known from its first decoded row: nothing
    // is composed, and the frames are decoded once, by whoever shows them.
    const auto layout = image::platform::probeGif(data);
    if (!layout) return std::nullopt;
    return PictureSize{layout->canvasWidth, layout->canvasHeight};
  }
  const image::RasterImage picture = decodePicture(data);
  if (picture.isEmpty()) return std::nullopt;
  return PictureSize{picture.width(), picture.height()};
}

image::RasterImage decodePicture(std::span<const std::uint8_t> data) {
  const image::ImageFormat format = image::ImageCodecFactory::formatFromContent(data);
  if (format == image::ImageFormat::Unknown) return {};
  image::AnimatedImage decoded;
  if (!decoded.loadFromMemory(data, format) || decoded.frameCount() == 0) return {};
  return std::move(decoded.frame(0));
}

AnimatedPicture::AnimatedPicture(PictureDecoder decoder) : decoder_(std::move(decoder)) {
  if (!decoder_) decoder_ = decodePictureSize;
}

void AnimatedPicture::clear() {
  frames_.clear();
  singlePicture_.reset();
  isGif_ = false;
  screenWidth_ = 0;
  screenHeight_ = 0;
  globalColorTableSize_ = 0;
  countedFrames_ = 0;
}

bool AnimatedPicture::load(const std::string& path) {
  const auto data = image::readPictureFile(path);
  if (!data) {
    clear();
    return false;
  }
  return loadMemory(*data);
}

bool AnimatedPicture::loadMemory(std::span<const std::uint8_t> data) {
  clear();
  const image::GifIndex index = image::indexGif(data, image::GifRules::FrameTable);
  if (!index.isGif) {
    singlePicture_ = decoder_(data);
    if (!singlePicture_) return false;
    screenWidth_ = singlePicture_->width;
    screenHeight_ = singlePicture_->height;
    return true;
  }

  isGif_ = true;
  screenWidth_ = index.screenWidth;
  screenHeight_ = index.screenHeight;
  globalColorTableSize_ = index.globalTableBytes;
  countedFrames_ = static_cast<int>(index.frames.size());
  if (index.frames.empty()) return false;
  if (index.frames.size() == 1) {
    singlePicture_ = decoder_(data);
    return singlePicture_.has_value();
  }

  // A GIF that the frame decoder refuses as a whole (beyond the pixel limit or the memory
  // budget) is not split: it has no frames to time.
  const image::GifIndex decoded = image::indexGif(data, image::GifRules::Decoder);
  if (decoded.hasScreen && image::gifMemoryRefusal(decoded)) return false;

  // Each frame's run of blocks is handed to the decoder as a standalone GIF. One buffer serves all.
  std::vector<std::uint8_t> standalone;
  frames_.reserve(index.frames.size());
  for (const image::GifFrame& block : index.frames) {
    image::standaloneFrame(data, index, block, standalone);
    const auto size = decoder_(standalone);
    if (!size) continue;  // a frame that cannot be decoded is left out
    PictureFrame frame;
    frame.pictureSize = *size;
    frame.delay = block.delay;
    frame.disposal = block.disposal;
    frame.left = block.left;
    frame.top = block.top;
    frame.width = block.width;
    frame.height = block.height;
    frames_.push_back(frame);
  }
  return !frames_.empty();
}

int AnimatedPicture::animatedFrameCount() const {
  return isGif_ && frames_.size() > 1 ? static_cast<int>(frames_.size()) : 0;
}

}  // namespace brevanto::controls
