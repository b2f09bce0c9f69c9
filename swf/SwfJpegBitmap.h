#pragma once

#include "swf/SwfCharacter.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace brevanto::swf {

// A DefineBitsJPEG2 tag embedding one JPEG file unchanged:
// long header (code 21), id, FF D9 FF D8, the JPEG bytes, FF D9. Built completely at construction.
class SwfJpegBitmap final : public SwfCharacter {
 public:
  // Reads the whole file. A file that cannot be read gives an empty tag (length 0).
  SwfJpegBitmap(std::uint16_t id, const std::filesystem::path& jpegFilePath);
  // Embeds the given bytes; an empty span gives the 14-byte tag of an empty picture.
  SwfJpegBitmap(std::uint16_t id, std::span<const std::uint8_t> jpegBytes);

  const std::vector<std::uint8_t>& tagBytes() override { return tag_; }
  // False when the file given to the constructor could not be read.
  bool isValid() const { return !tag_.empty(); }

 private:
  void build(std::span<const std::uint8_t> jpegBytes);

  std::vector<std::uint8_t> tag_;
};

}  // namespace brevanto::swf
