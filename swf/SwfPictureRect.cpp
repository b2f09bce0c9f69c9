#include "swf/SwfPictureRect.h"

#include "swf/SwfTagCode.h"
#include "swf/Twips.h"

namespace brevanto::swf {

namespace {

// The largest stage coordinate a RECT's signed 16-bit twips can hold.
constexpr long long kMaxCoordinate = 32767 / Twips::perPixel;

constexpr std::uint8_t kActionStop = 0x07;
constexpr std::uint8_t kActionEnd = 0x00;

}  // namespace

std::optional<SwfShape> pictureRectShape(std::uint16_t shapeId, std::uint16_t depth, std::uint16_t bitmapId,
                                         const util::PixelRect& rect, int scale) {
  if (rect.isEmpty() || rect.x < 0 || rect.y < 0 || scale < 1) return std::nullopt;
  const long long right = (static_cast<long long>(rect.x) + rect.width) * scale;
  const long long bottom = (static_cast<long long>(rect.y) + rect.height) * scale;
  if (right > kMaxCoordinate || bottom > kMaxCoordinate) return std::nullopt;

  // Every value is a whole number of at most 1638, exact in a float.
  const auto x0 = static_cast<float>(rect.x * scale);
  const auto y0 = static_cast<float>(rect.y * scale);
  const auto x1 = static_cast<float>(right);
  const auto y1 = static_cast<float>(bottom);
  SwfShape shape(shapeId, x0, y0, x1, y1, depth);
  shape.useShortHeader();
  shape.addBitmapFill(bitmapId, SwfShape::kClippedBitmap, 0, 0, static_cast<float>(rect.width),
                      static_cast<float>(rect.height), x0, y0, x1, y1);
  shape.styleChange(0, 1, 0, SwfShape::Point{x0, y0});
  shape.straightEdge(x1 - x0, 0);
  shape.straightEdge(0, y1 - y0);
  shape.straightEdge(x0 - x1, 0);
  shape.straightEdge(0, y0 - y1);
  return shape;
}

std::vector<std::uint8_t> doActionStopTag() {
  constexpr std::uint16_t header = shortTagHeader(SwfTagCode::DoAction, 2);
  return {static_cast<std::uint8_t>(header & 0xFF), static_cast<std::uint8_t>(header >> 8), kActionStop, kActionEnd};
}

}  // namespace brevanto::swf
