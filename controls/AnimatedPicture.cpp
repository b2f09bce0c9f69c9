#include "controls/AnimatedPicture.h"

#include <utility>

#include "controls/GifBlockParser.h"
#include "image/AnimatedImage.h"
#include "image/ImageCodec.h"
#include "image/ImageFormat.h"
#include "image/ImageLimits.h"
#include "image/platform/GifReader.h"

namespace brevanto::controls {

namespace {

// The imaging layer picks codecs by extension; data in memory is recognised by its signature.
image::ImageFormat sniffFormat(std::span<const std::uint8_t> data) {
  auto startsWith = [&](std::initializer_list<std::uint8_t> magic) {
    if (data.size() < magic.size()) return false;
    std::size_t i = 0;
    for (std::uint8_t byte : magic) {
      if (data[i++] != byte) return false;
    }
    return true;
  };
  if (startsWith({'G', 'I', 'F'})) return image::ImageFormat::Gif;
  if (startsWith({0xFF, 0xD8, 0xFF})) return image::ImageFormat::Jpeg;
  if (startsWith({0x89, 'P', 'N', 'G'})) return image::ImageFormat::Png;
  if (startsWith({'B', 'M'})) return image::ImageFormat::Bmp;
  if (startsWith({'I', 'I', 42, 0}) || startsWith({'M', 'M', 0, 42})) return image::ImageFormat::Tiff;
  if (startsWith({0, 0, 1, 0})) return image::ImageFormat::Ico;
  return image::ImageFormat::Unknown;
}

} // namespace

std::optional<PictureSize> decodePictureSize(std::span<const std::uint8_t> data) {
  if (data.empty()) return std::nullopt;
  if (sniffFormat(data) == image::ImageFormat::Gif) {
    // Only the first frame matters: stop the decoder as soon as it has delivered one.
    std::optional<PictureSize> size;
    image::platform::decodeGif(data, [&](const image::platform::DecodedFrame& frame) {
      size = PictureSize{frame.width, frame.height};
      return false;
    });
    return size;
  }
  const image::RasterImage picture = decodePicture(data);
  if (picture.isEmpty()) return std::nullopt;
  return PictureSize{picture.width(), picture.height()};
}

image::RasterImage decodePicture(std::span<const std::uint8_t> data) {
  const image::ImageFormat format = sniffFormat(data);
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
  std::vector<std::uint8_t> data;
  if (!image::readWholeFile(path, data)) {
    clear();
    return false;
  }
  return loadMemory(data);
}

bool AnimatedPicture::loadMemory(std::span<const std::uint8_t> data) {
  clear();
  const GifBlockParser parser(data);
  if (!parser.isGif()) {
    singlePicture_ = decoder_(data);
    if (!singlePicture_) return false;
    screenWidth_ = singlePicture_->width;
    screenHeight_ = singlePicture_->height;
    return true;
  }

  isGif_ = true;
  screenWidth_ = parser.screenWidth();
  screenHeight_ = parser.screenHeight();
  globalColorTableSize_ = parser.globalColorTableSize();
  const std::vector<GifGraphicBlock> blocks = parser.graphicBlocks();
  countedFrames_ = static_cast<int>(blocks.size());
  if (blocks.empty()) return false;
  if (blocks.size() == 1) {
    singlePicture_ = decoder_(data);
    return singlePicture_.has_value();
  }

  // Each split frame is decoded on its own canvas of the full logical screen. A GIF that the
  // frame decoder refuses as a whole (beyond the pixel limit or the memory budget) is not split:
  // decoding its frames one by one would cost seconds per frame and a canvas each.
  image::platform::GifLayout layout;
  if (image::platform::scanGifLayout(data, layout)) {
    const std::uint64_t canvasBytes = std::uint64_t{static_cast<std::uint32_t>(layout.canvasWidth)} *
                                      static_cast<std::uint32_t>(layout.canvasHeight) * 4;
    if (!image::checkImageAllocation(layout.canvasWidth, layout.canvasHeight, canvasBytes) ||
        canvasBytes * layout.frameCount > image::memoryBudgetBytes()) {
      return false;
    }
  }

  const std::size_t prefix = parser.firstBlock();  // within the data: a block was found after it
  frames_.reserve(blocks.size());
  for (const GifGraphicBlock& block : blocks) {
    PictureFrame frame;
    frame.delay = block.delay;
    frame.disposal = block.disposal;
    frame.left = block.left;
    frame.top = block.top;
    frame.width = block.width;
    frame.height = block.height;
    frame.picture.reserve(prefix + (block.end - block.begin) + 1);
    frame.picture.insert(frame.picture.end(), data.begin(),
                         data.begin() + static_cast<std::ptrdiff_t>(prefix));
    frame.picture.insert(frame.picture.end(), data.begin() + static_cast<std::ptrdiff_t>(block.begin),
                         data.begin() + static_cast<std::ptrdiff_t>(block.end));
    frame.picture.push_back(0x3B);
    const auto size = decoder_(frame.picture);
    if (!size) continue;  // a frame that cannot be decoded is left out
    frame.pictureSize = *size;
    frames_.push_back(std::move(frame));
  }
  return !frames_.empty();
}

int AnimatedPicture::animatedFrameCount() const {
  return isGif_ && frames_.size() > 1 ? static_cast<int>(frames_.size()) : 0;
}

image::RasterImage AnimatedPicture::framePicture(std::size_t index) const {
  if (index >= frames_.size()) return {};
  return decodePicture(frames_[index].picture);
}

} // namespace brevanto::controls
