#include "swf/SwfShape.h"

#include "swf/SwfBitWriter.h"
#include "swf/SwfTagCode.h"
#include "swf/Twips.h"

#include <algorithm>
#include <cmath>

namespace brevanto::swf {

namespace {

// Edge widths are stored as NumBits - 2 in UB[4], so a delta may use at most 17 bits.
constexpr std::int32_t kMaxEdgeDelta = (1 << 16) - 1;
// Move widths are UB[5]: at most 31 bits.
constexpr std::int32_t kMaxMoveDelta = (1 << 30) - 1;

std::int32_t clampTwips(float pixels, std::int32_t limit) {
  return std::clamp(Twips::fromPixels(pixels).value, -limit, limit);
}

// The smallest b >= 0 with 2^b >= count + 1.
int indexBits(std::size_t count) {
  int b = 0;
  while ((std::size_t{1} << b) < count + 1) ++b;
  return b;
}

void appendStyleCount(std::vector<std::uint8_t>& out, std::size_t count) {
  if (count < 0xFF) {
    appendU8(out, static_cast<std::uint8_t>(count));
  } else {
    appendU8(out, 0xFF);
    appendU16(out, static_cast<std::uint16_t>(count));
  }
}

}  // namespace

SwfShape::SwfShape(std::uint16_t id, float xmin, float ymin, float xmax, float ymax, std::uint16_t depth)
    : SwfCharacter(id, depth, Kind::Shape), bounds_(xmin, ymin, xmax, ymax) {}

void SwfShape::addLineStyle(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  if (built_ || lines_.size() >= kMaxStyles) return;
  const auto twips = static_cast<std::uint16_t>(width * Twips::perPixel);
  lines_.push_back({twips, r, g, b, a});
}

bool SwfShape::addBitmapFill(std::uint16_t bitmapId, std::uint8_t fillType, float srcX0, float srcY0, float srcX1,
                             float srcY1, float dstX0, float dstY0, float dstX1, float dstY1) {
  if (built_ || fills_.size() >= kMaxStyles) return false;
  if (fillType < kRepeatingBitmap || fillType > kNonSmoothedClippedBitmap) return false;
  const float scaleX = (dstX1 - dstX0) / (srcX1 - srcX0) * static_cast<float>(Twips::perPixel);
  const float scaleY = (dstY1 - dstY0) / (srcY1 - srcY0) * static_cast<float>(Twips::perPixel);
  if (!std::isfinite(scaleX) || !std::isfinite(scaleY)) return false;
  fills_.push_back({fillType, bitmapId, SwfMatrix(scaleX, scaleY, 0, 0, dstX0, dstY0)});
  return true;
}

void SwfShape::styleChange(std::uint16_t lineStyle, std::uint16_t fillStyle0, std::uint16_t fillStyle1,
                           std::optional<Point> moveTo) {
  if (built_) return;
  Record record{Record::Type::StyleChange};
  record.lineStyle = lineStyle;
  record.fillStyle0 = fillStyle0;
  record.fillStyle1 = fillStyle1;
  if (moveTo) {
    record.hasMove = true;
    record.moveX = clampTwips(moveTo->x, kMaxMoveDelta);
    record.moveY = clampTwips(moveTo->y, kMaxMoveDelta);
  }
  records_.push_back(record);
}

void SwfShape::straightEdge(float dx, float dy) {
  if (built_) return;
  Record record{Record::Type::StraightEdge};
  record.dx = clampTwips(dx, kMaxEdgeDelta);
  record.dy = clampTwips(dy, kMaxEdgeDelta);
  if (record.dx == 0 && record.dy == 0) return;
  records_.push_back(record);
}

const std::vector<std::uint8_t>& SwfShape::tagBytes() {
  if (!built_) build();
  return tag_;
}

void SwfShape::build() {
  built_ = true;
  const int fillBits = indexBits(fills_.size());
  const int lineBits = indexBits(lines_.size());

  std::vector<std::uint8_t> body;
  appendU16(body, id());
  appendBytes(body, bounds_.encode());
  appendStyleCount(body, fills_.size());
  for (const FillStyle& fill : fills_) {
    appendU8(body, fill.type);
    appendU16(body, fill.bitmapId);
    appendBytes(body, fill.matrix.encode());
  }
  appendStyleCount(body, lines_.size());
  for (const LineStyle& line : lines_) {
    appendU16(body, line.width);
    appendU8(body, line.r);
    appendU8(body, line.g);
    appendU8(body, line.b);
    appendU8(body, line.a);
  }
  appendU8(body, static_cast<std::uint8_t>((fillBits << 4) | lineBits));

  // All records form one continuous bit run, padded once at the end.
  SwfBitWriter bits;
  for (const Record& record : records_) {
    if (record.type == Record::Type::StyleChange) {
      bits.writeUnsigned(0, 1);  // not an edge
      bits.writeUnsigned(0, 1);  // StateNewStyles
      bits.writeUnsigned(1, 1);  // StateLineStyle
      bits.writeUnsigned(1, 1);  // StateFillStyle1
      bits.writeUnsigned(1, 1);  // StateFillStyle0
      bits.writeUnsigned(record.hasMove ? 1 : 0, 1);
      if (record.hasMove) {
        const int moveBits = signedBitWidth({record.moveX, record.moveY});
        bits.writeUnsigned(static_cast<std::uint32_t>(moveBits), 5);
        bits.writeSigned(record.moveX, moveBits);
        bits.writeSigned(record.moveY, moveBits);
      }
      bits.writeUnsigned(record.fillStyle0, fillBits);
      bits.writeUnsigned(record.fillStyle1, fillBits);
      bits.writeUnsigned(record.lineStyle, lineBits);
    } else {
      const int numBits = signedBitWidth({record.dx, record.dy});
      bits.writeUnsigned(1, 1);  // edge
      bits.writeUnsigned(1, 1);  // straight
      bits.writeUnsigned(static_cast<std::uint32_t>(numBits - 2), 4);
      bits.writeUnsigned(1, 1);  // general line: both deltas follow
      bits.writeSigned(record.dx, numBits);
      bits.writeSigned(record.dy, numBits);
    }
  }
  bits.writeUnsigned(0, 6);  // end of shape
  appendBytes(body, bits.bytes());

  tag_.reserve(6 + body.size());
  appendTagHeader(tag_, SwfTagCode::DefineShape3, body.size(),
                  shortHeader_ ? TagHeader::ShortWhenItFits : TagHeader::Long);
  appendBytes(tag_, body);
}

}  // namespace brevanto::swf
