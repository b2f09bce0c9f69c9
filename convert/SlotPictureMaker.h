#pragma once

// The pictures of one movie, slot by slot, for both picture kinds and every stage size:
//  - On a stage smaller than the GIF in either direction each frame is flattened over white and
//    scaled to the stage with the bicubic scaler, so the movie draws it 1:1 (a player samples a
//    bitmap fill without filtering, which would make a shrunk picture ragged).
//  - Otherwise JPEG pictures are the per-frame pictures of encodePicture.
//  - Lossless pictures hold only the bounding box of the pixels changed since the previous
//    picture when the stage is 1, 2, 3... times the picture in both directions (no seam can
//    appear there); on any other stage each is whole. A picture equal to the previous one gives
//    no picture (SlotPicture::Kind::None, which adds no characters to a lossless movie). The
//    first picture is whole, and so is every picture whose rectangle would pass the bounds of
//    the movie's display list (swf::PictureStack): it then replaces the rectangles stacked.
// One maker per movie, fed its frames in slot order (it keeps the previous lossless picture).
// The window's capture and the headless converter use the same steps, so their movies match.

#include <cstdint>
#include <vector>

#include "convert/OutputSettings.h"
#include "image/RasterImage.h"
#include "swf/MovieAssembly.h"
#include "swf/PictureStack.h"

namespace brevanto::image::platform {
struct DecodedFrame;
struct ImageView;
}

namespace brevanto::convert {

// True when the stage is smaller than the GIF in either direction.
bool shrinksPictures(PixelSize source, PixelSize stage);
// The size pictures are made at: the stage when it shrinks them, else the GIF's own size.
PixelSize pictureSizeFor(PixelSize source, PixelSize stage);
// 1, 2, 3... when the stage is that multiple of the picture in both directions, else 0.
int wholeScaleOf(PixelSize picture, PixelSize stage);

class SlotPictureMaker {
 public:
  SlotPictureMaker(PictureKind kind, int qualitySetting, PixelSize source, PixelSize stage);

  // The picture of the next frame. A frame of another size than `source` is taken as it is.
  swf::SlotPicture make(const image::platform::DecodedFrame& frame);
  swf::SlotPicture make(const image::RasterImage& frame);

  // The frame as the movie shows it: flattened over white (24-bit), scaled to the stage when the
  // stage shrinks it. Empty when it cannot be made.
  image::RasterImage preparedPicture(const image::platform::ImageView& frame) const;
  // The lossless step for a picture already prepared (any 24-bit picture of pictureSize()).
  swf::SlotPicture nextLossless(const image::RasterImage& prepared);

  PixelSize pictureSize() const { return pictureSize_; }

 private:
  swf::SlotPicture makeFromView(const image::platform::ImageView& frame);

  PictureKind kind_;
  int qualitySetting_;
  PixelSize stage_;
  PixelSize pictureSize_;
  bool shrinks_;
  bool rectangles_;
  swf::PictureStack stack_;            // the movie's display list, as its builder keeps it
  std::vector<std::uint8_t> previous_;  // the last lossless picture as B, G, R, X rows
  std::vector<std::uint8_t> current_;
};

}  // namespace brevanto::convert
