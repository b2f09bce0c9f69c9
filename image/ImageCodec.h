#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "image/FrameList.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"
#include "util/Result.h"

namespace brevanto::image {

// One codec object serves one load or one save; the factory creates it and the caller drops
// it right after use. Each operation succeeds or fails with the reason.
//
// The properties holder of a load is an owning slot: a codec that produces metadata puts a new
// list into it (replacing what it held).
class ImageCodec {
 public:
  ImageCodec() = default;
  ImageCodec(const ImageCodec&) = delete;
  ImageCodec& operator=(const ImageCodec&) = delete;
  virtual ~ImageCodec() = default;

  // Default: reads the whole file (failing when it is missing, empty or beyond the memory
  // budget) and returns loadFromMemory on its bytes.
  virtual util::Result<void> loadFromFile(const std::filesystem::path& path, FrameList& frames,
                                          std::optional<ImageProperties>& properties);
  // Default: fails, the format cannot be read.
  virtual util::Result<void> loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                                            std::optional<ImageProperties>& properties);
  // Writes the first frame of `frames` to path. Default: fails, the format cannot be written.
  virtual util::Result<void> saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                                        const ImageProperties& properties);
};

// A whole picture file's bytes (util::readWholeFile), refusing empty files and files beyond the
// memory budget before anything is allocated.
util::Result<std::vector<std::uint8_t>> readPictureFile(const std::filesystem::path& path);

}  // namespace brevanto::image
