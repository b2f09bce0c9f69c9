#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "image/FrameList.h"
#include "image/ImageFormat.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"
#include "util/Result.h"

namespace brevanto::image {

// An image file's frames, in file order. Delays, when the file has them, come only in the
// properties a load returns (ImageProperties::frameDelaysMs).
class AnimatedImage {
 public:
  AnimatedImage() = default;
  AnimatedImage(AnimatedImage&&) noexcept = default;
  AnimatedImage& operator=(AnimatedImage&&) noexcept = default;

  // Loads every frame of the file through the codec its extension selects and appends them
  // after the frames already held. When `properties` is given and the codec produced metadata,
  // *properties is replaced by it. Fails with the reason (frames unchanged) when there is no
  // codec or the file cannot be decoded.
  util::Result<void> load(const std::filesystem::path& path, ImageProperties* properties = nullptr);
  // The same from bytes already in memory, with the format given.
  util::Result<void> loadFromMemory(std::span<const std::uint8_t> data, ImageFormat format,
                                    ImageProperties* properties = nullptr);

  std::size_t frameCount() const { return frames_.size(); }
  // Frame at a 0-based index below frameCount(); it stays owned by this object.
  RasterImage& frame(std::size_t index) { return frames_[index]; }
  const RasterImage& frame(std::size_t index) const { return frames_[index]; }
  FrameList& frames() { return frames_; }
  const FrameList& frames() const { return frames_; }
  // Destroys every frame, last first.
  void clear() { frames_.clear(); }

 private:
  FrameList frames_;
};

}  // namespace brevanto::image
