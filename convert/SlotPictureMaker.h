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
//    Inside a rectangle the pixels equal to what the display list shows under it are left
//    fully transparent (a DefineBitsLossless2 bitmap), so they compress to almost nothing.
//    What shows under it is the previous picture, except where rectangles it covers come off
//    the list: there it is what lay under those, which the maker composes from the pixels of
//    the pictures still listed.
//  - A lossless picture is made in two steps: planLossless, in slot order (it finds what
//    changed and keeps the display list), then compressLossless, which depends on nothing else
//    and may run on any thread.
// One maker per movie, fed its frames in slot order (it keeps the previous lossless picture).
// The window's capture and the headless converter use the same steps, so their movies match.

#include <cstdint>
#include <memory>
#include <vector>

#include "convert/OutputSettings.h"
#include "image/RasterImage.h"
#include "swf/MovieAssembly.h"
#include "swf/PictureStack.h"
#include "util/Result.h"

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
  // stage shrinks it; the reason when it cannot be made.
  util::Result<image::RasterImage> preparedPicture(const image::platform::ImageView& frame) const;
  // The lossless step for a picture already prepared (any 24-bit picture of pictureSize()):
  // compressLossless(planLossless(prepared)).
  swf::SlotPicture nextLossless(const image::RasterImage& prepared);

  // What the next lossless picture stores, decided in slot order.
  struct LosslessPlan {
    swf::SlotPicture::Kind kind = swf::SlotPicture::Kind::None;  // None, Unreadable or Lossless
    util::PixelRect rect;
    bool transparent = false;          // some pixels of the rectangle are left transparent
    std::vector<std::uint8_t> pixels;  // the rectangle as B, G, R, A rows (A 0: all zero)
  };
  // Shared: the maker keeps the pixels of the pictures on the display list.
  std::shared_ptr<const LosslessPlan> planLossless(const image::RasterImage& prepared);
  std::shared_ptr<const LosslessPlan> planLossless(const image::platform::DecodedFrame& frame);
  // The picture of a plan; the same plan always gives the same bytes.
  static swf::SlotPicture compressLossless(const LosslessPlan& plan);

  PixelSize pictureSize() const { return pictureSize_; }

 private:
  swf::SlotPicture makeFromView(const image::platform::ImageView& frame);
  // planLossless once current_ holds the picture (B, G, R, 0xFF rows of `size`).
  std::shared_ptr<const LosslessPlan> planCurrent(PixelSize size);
  // Leaves transparent the pixels of a rectangle just placed that equal what shows under it.
  void makeTransparent(LosslessPlan& plan, bool overPrevious);

  struct Stacked {
    std::uint16_t depth;
    std::shared_ptr<const LosslessPlan> plan;
  };

  PictureKind kind_;
  int qualitySetting_;
  PixelSize stage_;
  PixelSize pictureSize_;
  bool shrinks_;
  bool rectangles_;
  swf::PictureStack stack_;             // the movie's display list, as its builder keeps it
  std::vector<std::uint8_t> previous_;  // the last lossless picture as B, G, R, X rows
  std::vector<std::uint8_t> current_;
  // The pictures on the display list: the whole one and the rectangles over it, by depth.
  std::shared_ptr<const LosslessPlan> whole_;
  std::vector<Stacked> stacked_;
  std::vector<std::uint8_t> below_;  // what shows under a rectangle that uncovers others
};

}  // namespace brevanto::convert
