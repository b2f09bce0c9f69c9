#pragma once

// The GIF frame table of a picture file: how many animated frames it has and each frame's delay,
// geometry and disposal, read from the GIF's own block structure. The preview player uses it
// for the frame delays only; the picture is never drawn or animated from here.
//
// A GIF with more than one frame is split into standalone one-frame GIFs (header, logical screen
// descriptor and global colour table, the frame's blocks, a trailer). Each is checked by the
// picture decoder; a frame it cannot decode is left out, so the table can have fewer entries
// than the file has frames. Data that is not a GIF, and a GIF with exactly one frame, is checked
// whole as the single picture instead.
//
// The table is the block walk under its frame-table rules (image::GifRules::FrameTable):
// the decoder stops at the first frame whose data is damaged, while the table goes on and keeps
// every later frame that decodes on its own. The decoder is asked only whether a frame decodes
// (its first row), so no frame is decoded twice.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/RasterImage.h"

namespace brevanto::controls {

// Natural size of a picture the decoder could read.
struct PictureSize {
  int width = 0;
  int height = 0;
};

// Decodes a picture held in memory (a GIF or another format the imaging layer reads) far enough
// to know it is sound; nullopt when it cannot be decoded. The span is valid during the call only.
using PictureDecoder = std::function<std::optional<PictureSize>(std::span<const std::uint8_t>)>;

// The default decoder: the program's imaging layer (a GIF up to the first row of its first
// frame, other formats in full).
std::optional<PictureSize> decodePictureSize(std::span<const std::uint8_t> data);
// Decodes a picture held in memory into its first frame; empty when it cannot be decoded.
image::RasterImage decodePicture(std::span<const std::uint8_t> data);

struct PictureFrame {
  PictureSize pictureSize;  // the size the decoder gave the standalone frame
  int width = 0;            // image descriptor geometry (0 for a frame made of a plain text extension)
  int height = 0;
  int left = 0;
  int top = 0;
  int delay = -1;    // hundredths of a second; -1 without a graphic control extension
  int disposal = 0;  // 0 without a graphic control extension
};

class AnimatedPicture {
 public:
  explicit AnimatedPicture(PictureDecoder decoder = decodePictureSize);

  // Reads the whole file and calls loadMemory. False when the file cannot be read (nothing is
  // loaded then) or loadMemory fails.
  bool load(const std::string& path);
  // Discards what was loaded before, then parses the data: true when something was decoded.
  bool loadMemory(std::span<const std::uint8_t> data);
  // Empties the table.
  void clear();

  // The number of frame entries when the data is a GIF with more than one of them; else 0.
  int animatedFrameCount() const;

  bool isGif() const { return isGif_; }
  int screenWidth() const { return screenWidth_; }
  int screenHeight() const { return screenHeight_; }
  std::size_t globalColorTableSize() const { return globalColorTableSize_; }
  // Frames counted by the block walk (decodable or not).
  int countedFrames() const { return countedFrames_; }
  const std::vector<PictureFrame>& frames() const { return frames_; }
  // The data decoded whole (not a GIF, or a GIF with one frame); nullopt otherwise.
  const std::optional<PictureSize>& singlePicture() const { return singlePicture_; }

 private:
  PictureDecoder decoder_;
  bool isGif_ = false;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  std::size_t globalColorTableSize_ = 0;
  int countedFrames_ = 0;
  std::vector<PictureFrame> frames_;
  std::optional<PictureSize> singlePicture_;
};

}  // namespace brevanto::controls
