#pragma once

// The per-slot picture step: turns one frame into the encoded picture its slot of the movie
// embeds. A pure function of the frame and the quality, independent of the movie being built,
// so frames may be encoded ahead or on other threads and handed to the movie builder in slot
// order. A second picture kind (a lossless bitmap) is another SlotPicture::Kind made here.

#include "swf/MovieAssembly.h"

namespace brevanto::image {
class RasterImage;
namespace platform {
struct DecodedFrame;
}
}

namespace brevanto::convert {

// The JPEG picture of a decoded GIF canvas at jpegQualityFor(qualitySetting); no picture
// (SlotPicture::Kind::None) when it cannot be encoded.
swf::SlotPicture encodePicture(const image::platform::DecodedFrame& frame, int qualitySetting);
// The same for a frame held as a RasterImage (other formats; the window's capture).
swf::SlotPicture encodePicture(const image::RasterImage& frame, int qualitySetting);

}  // namespace brevanto::convert
