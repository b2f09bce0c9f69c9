#include "swf/PictureStack.h"

#include <algorithm>

namespace brevanto::swf {

namespace {

// Depths above this are not used, so depth numbers never run out however long the movie.
constexpr std::uint16_t kTopDepth = 16000;

std::int64_t areaOf(const util::PixelRect& r) { return std::int64_t{r.width} * r.height; }

bool covers(const util::PixelRect& outer, const util::PixelRect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

}  // namespace

PictureStack::PictureStack(int pictureWidth, int pictureHeight)
    : pictureArea_(std::max<std::int64_t>(1, std::int64_t{pictureWidth} * pictureHeight)) {}

std::uint16_t PictureStack::nextDepth() const {
  return rects_.empty() ? kWholeDepth + 1 : static_cast<std::uint16_t>(rects_.back().depth + 1);
}

bool PictureStack::fits(const util::PixelRect& rect) const {
  if (!hasWhole_ || nextDepth() > kTopDepth) return false;
  int objects = 2;  // the whole picture and the new rectangle
  std::int64_t area = pictureArea_ + areaOf(rect);
  for (const Entry& entry : rects_) {
    if (covers(rect, entry.rect)) continue;
    ++objects;
    area += areaOf(entry.rect);
  }
  return objects <= kMaxObjects && area <= kMaxPictureAreas * pictureArea_;
}

PictureStack::Placement PictureStack::placeWhole() {
  Placement placement;
  placement.replaces = hasWhole_;
  for (const Entry& entry : rects_) placement.removed.push_back(entry.depth);
  rects_.clear();
  hasWhole_ = true;
  return placement;
}

PictureStack::Placement PictureStack::placeRect(const util::PixelRect& rect) {
  Placement placement;
  placement.depth = nextDepth();
  std::erase_if(rects_, [&](const Entry& entry) {
    if (!covers(rect, entry.rect)) return false;
    placement.removed.push_back(entry.depth);
    return true;
  });
  rects_.push_back({placement.depth, rect});
  return placement;
}

}  // namespace brevanto::swf
