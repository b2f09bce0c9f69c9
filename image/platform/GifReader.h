#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/GifIndex.h"
#include "image/platform/DecodedImage.h"

namespace brevanto::image::platform {

// Decodes and composes an animated GIF the way browsers show it: every frame delivered is a
// 32-bit ARGB canvas of the layout's canvas size; disposal 0/1 keeps the frame, 2 clears its
// rectangle to transparent, 3 restores what was under it; a frame's transparent index (and a
// palette index beyond the colour table) leaves the canvas pixel as it was; interlaced frames
// are de-interlaced; a local colour table wins over the global one; frames are clipped to the
// canvas. A transparent pixel is white with alpha 0.
//
// Frames decoded before a fault in the file are kept: a frame whose pixel data breaks off is
// delivered with the rows decoded so far, and decoding stops there. The result holds each
// delivered frame's delay (hundredths of a second, as the block walk read it) and, as a
// property, the loop count (0x5101, SHORT) when the file has one.
//
// The frames are those the block walk finds under the decoder's rules (indexGif). Resource
// limits are checked from that walk before any canvas is allocated (gifMemoryRefusal).
DecodeResult decodeGif(std::span<const std::uint8_t> data, const FrameSink& sink);

// Whether decodeGif would deliver at least one frame, found by the same walk stopped at the
// first decoded row of the first frame: no canvas is allocated and nothing is composed. The
// walk's index (canvas size included) when it would, nullopt when not.
std::optional<GifIndex> probeGif(std::span<const std::uint8_t> data);

// True when the bytes start with a GIF signature (the codec factory's content table).
bool looksLikeGif(std::span<const std::uint8_t> data);

}  // namespace brevanto::image::platform
