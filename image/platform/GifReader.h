#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/platform/DecodedImage.h"

namespace brevanto::image::platform {

// What a walk over a GIF's block structure finds without decoding any pixel data.
struct GifLayout {
  std::int32_t screenWidth = 0;
  std::int32_t screenHeight = 0;
  // The canvas every frame is composed on: the logical screen, or the largest frame extent
  // when the screen has a zero side.
  std::int32_t canvasWidth = 0;
  std::int32_t canvasHeight = 0;
  std::size_t frameCount = 0;     // image descriptors reached
  bool restoresPrevious = false;  // some frame uses disposal 3
  // Each image descriptor's delay in hundredths of a second, from the graphic control extension
  // before it (-1 without one), as the decoder times the frames it delivers.
  std::vector<int> delays;
  // The repeat count of the first looping application extension (NETSCAPE2.0 or ANIMEXTS1.0,
  // sub-block 1): 0 repeats forever. None without such an extension.
  std::optional<int> loopCount;
};

// Walks the blocks of a GIF (header, screen, colour tables, extensions, image descriptors and
// their data sub-blocks) up to the trailer or the first fault. False when the header or the
// screen descriptor is missing or the signature is not a GIF's.
bool scanGifLayout(std::span<const std::uint8_t> data, GifLayout& layout);

// Decodes and composes an animated GIF the way browsers show it: every frame delivered is a
// 32-bit ARGB canvas of the layout's canvas size; disposal 0/1 keeps the frame, 2 clears its
// rectangle to transparent, 3 restores what was under it; a frame's transparent index (and a
// palette index beyond the colour table) leaves the canvas pixel as it was; interlaced frames
// are de-interlaced; a local colour table wins over the global one; frames are clipped to the
// canvas. A transparent pixel is white with alpha 0.
//
// Frames decoded before a fault in the file are kept: a frame whose pixel data breaks off is
// delivered with the rows decoded so far, and decoding stops there. The properties are the
// frame delays (0x5100, LONG per delivered frame, hundredths of a second) and the loop count
// (0x5101, SHORT) when the file has one.
//
// Resource limits are checked from the block walk before any canvas is allocated: a canvas
// of more than 2^28 pixels, or frames x canvas bytes beyond the memory budget, fail with a
// reason naming the limit.
//
// Each frame carries the delay (-1 without a graphic control extension) and the disposal of
// the graphic control extension that precedes its image.
DecodeResult decodeGif(std::span<const std::uint8_t> data, const FrameSink& sink);

// Whether decodeGif would deliver at least one frame, found by the same walk stopped at the
// first decoded row of the first frame: no canvas is allocated and nothing is composed. The
// layout (canvas size included) when it would, nullopt when not.
std::optional<GifLayout> probeGif(std::span<const std::uint8_t> data);

// True when the bytes start with a GIF signature (the codec factory's content table).
bool looksLikeGif(std::span<const std::uint8_t> data);

}  // namespace brevanto::image::platform
