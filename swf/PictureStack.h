#pragma once

// What a movie with a bounded display list keeps on it: at most one whole picture at depth 1
// and the changed rectangles drawn over it at the depths above, in the order they came.
//
// A player keeps every object on the display list and the decoded bitmap of each, so a movie
// that only ever adds objects costs it more with every frame. Here a whole picture replaces
// everything below it, a rectangle takes off the rectangles it covers completely (they can no
// longer be seen), and a rectangle that would pass the bounds (kMaxObjects objects, or decoded
// bitmaps of more than kMaxPictureAreas whole pictures) does not fit: the picture maker then
// gives a whole picture instead. The picture maker and the movie builder each keep one stack
// fed with the same pictures, so both agree on what fits.

#include <cstdint>
#include <vector>

#include "util/BgraView.h"

namespace brevanto::swf {

class PictureStack {
 public:
  // Objects on the display list at most, the whole picture included.
  static constexpr int kMaxObjects = 32;
  // Decoded bitmap pixels drawn at most, in whole pictures.
  static constexpr int kMaxPictureAreas = 4;
  static constexpr std::uint16_t kWholeDepth = 1;

  // pictureWidth x pictureHeight: the size of a whole picture.
  PictureStack(int pictureWidth, int pictureHeight);

  // Whether the rectangle can go on the stack within the bounds; false without a whole picture.
  bool fits(const util::PixelRect& rect) const;

  struct Placement {
    std::uint16_t depth = kWholeDepth;
    bool replaces = false;               // an object is at that depth already
    std::vector<std::uint16_t> removed;  // depths to take off first, in increasing order
  };
  // A whole picture: every rectangle comes off, the picture goes to depth 1.
  Placement placeWhole();
  // A rectangle: the rectangles it covers come off, it goes one depth above the top one.
  Placement placeRect(const util::PixelRect& rect);

  int objects() const { return static_cast<int>(rects_.size()) + (hasWhole_ ? 1 : 0); }

 private:
  struct Entry {
    std::uint16_t depth;
    util::PixelRect rect;
  };
  std::uint16_t nextDepth() const;

  std::int64_t pictureArea_;
  bool hasWhole_ = false;
  std::vector<Entry> rects_;  // in increasing depth
};

}  // namespace brevanto::swf
