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
// it right after use. Failures are reported by a false result, with a reason in lastError().
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
  virtual bool loadFromFile(const std::filesystem::path& path, FrameList& frames,
                            std::optional<ImageProperties>& properties);
  // Default: false.
  virtual bool loadFromMemory(std::span<const std::uint8_t> data, FrameList& frames,
                              std::optional<ImageProperties>& properties);
  // Writes the first frame of `frames` to path. Default: false.
  virtual bool saveToFile(const std::filesystem::path& path, std::span<const RasterImage> frames,
                          const ImageProperties& properties);

  const std::string& lastError() const { return lastError_; }

 protected:
  // Records a failure reason and returns false, so that `return fail("...");` reads naturally.
  bool fail(std::string reason) {
    lastError_ = std::move(reason);
    return false;
  }
  void clearError() { lastError_.clear(); }

 private:
  std::string lastError_;
};

// A whole picture file's bytes (util::readWholeFile), refusing empty files and files beyond the
// memory budget before anything is allocated.
util::Result<std::vector<std::uint8_t>> readPictureFile(const std::filesystem::path& path);

}  // namespace brevanto::image
