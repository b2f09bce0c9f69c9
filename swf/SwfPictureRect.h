#pragma once

#include "swf/SwfShape.h"
#include "util/BgraView.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace brevanto::swf {

// A DefineShape3 rectangle that shows a bitmap of rect's size over part of the stage: the
// bitmap's pixel (0, 0) lands on stage pixel (scale * rect.x, scale * rect.y) and each bitmap
// pixel covers scale x scale stage pixels (fill type 0x41, fill scale scale x 20, no line
// style, four straight edges, a short tag header). The picture below stays visible around it.
//   - A changed rectangle of a picture drawn at a whole-number scale: rect in picture pixels,
//     scale 1, 2 or 3 (the stage is that multiple of the picture).
//   - A picture already made at the stage's size: rect in stage pixels, scale 1.
// Lossless movies place their whole pictures with the same shape (at the picture's scale on a
// stage of a whole multiple of its size), without the JPEG movies' invisible line style and long
// headers, which cost 15 bytes a picture. std::nullopt for an empty rect, a negative corner, a scale
// below 1, or a far edge beyond what the movie's 16-bit twips can hold (1638 pixels).
std::optional<SwfShape> pictureRectShape(std::uint16_t shapeId, std::uint16_t depth, std::uint16_t bitmapId,
                                         const util::PixelRect& rect, int scale);

// A DoAction tag holding ActionStop and the end of the actions: the movie stops in the frame
// whose tags include it (short header of code 12, then 07 00).
std::vector<std::uint8_t> doActionStopTag();

}  // namespace brevanto::swf
