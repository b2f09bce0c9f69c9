#pragma once

#include "swf/SwfCharacter.h"
#include "swf/SwfMatrix.h"
#include "swf/SwfRect.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace brevanto::swf {

// A DefineShape3 tag: bounds, bitmap fill styles, line styles and a run of style-change and
// straight-edge records. Open for additions until the tag is first requested.
class SwfShape final : public SwfCharacter {
 public:
  // Bitmap fill types.
  static constexpr std::uint8_t kRepeatingBitmap = 0x40;
  static constexpr std::uint8_t kClippedBitmap = 0x41;
  static constexpr std::uint8_t kNonSmoothedRepeatingBitmap = 0x42;
  static constexpr std::uint8_t kNonSmoothedClippedBitmap = 0x43;

  // More styles than this could not be indexed by the 4-bit style index widths.
  static constexpr std::size_t kMaxStyles = 32767;

  struct Point {
    float x = 0;
    float y = 0;
  };

  // Bounds in pixels.
  SwfShape(std::uint16_t id, float xmin, float ymin, float xmax, float ymax, std::uint16_t depth);

  // A line style of width pixels (stored as width x 20 twips, u16) and colour R, G, B, A.
  void addLineStyle(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);

  // A bitmap fill whose matrix maps the bitmap rectangle (src) onto the shape rectangle (dst):
  // scale = dst extent / src extent x 20 on each axis, translation = dst origin. Returns false
  // and adds nothing for a type other than 0x40..0x43, an empty source rectangle, or a shape
  // that is already closed.
  bool addBitmapFill(std::uint16_t bitmapId, std::uint8_t fillType, float srcX0, float srcY0, float srcX1, float srcY1,
                     float dstX0, float dstY0, float dstX1, float dstY1);

  // A style-change record selecting the three styles (indices from 1; 0 is none), with an
  // optional move to a point in pixels.
  void styleChange(std::uint16_t lineStyle, std::uint16_t fillStyle0, std::uint16_t fillStyle1,
                   std::optional<Point> moveTo);

  // A short tag header when the body is below 63 bytes, instead of the long header JPEG movies
  // have always had.
  void useShortHeader() { shortHeader_ = true; }

  // A straight edge by (dx, dy) pixels, always in the general form with both deltas. An edge
  // with both deltas zero draws nothing and is not recorded.
  void straightEdge(float dx, float dy);

  const std::vector<std::uint8_t>& tagBytes() override;

  struct FillStyle {
    std::uint8_t type;
    std::uint16_t bitmapId;
    SwfMatrix matrix;
  };
  struct LineStyle {
    std::uint16_t width;  // twips
    std::uint8_t r, g, b, a;
  };
  const std::vector<FillStyle>& fillStyles() const { return fills_; }
  const std::vector<LineStyle>& lineStyles() const { return lines_; }

 private:
  struct Record {
    enum class Type { StyleChange, StraightEdge } type;
    // Style change:
    bool hasMove = false;
    std::int32_t moveX = 0, moveY = 0;
    std::uint16_t fillStyle0 = 0, fillStyle1 = 0, lineStyle = 0;
    // Straight edge:
    std::int32_t dx = 0, dy = 0;
  };

  void build();

  SwfRect bounds_;
  std::vector<FillStyle> fills_;
  std::vector<LineStyle> lines_;
  std::vector<Record> records_;
  bool built_ = false;
  bool shortHeader_ = false;
  std::vector<std::uint8_t> tag_;
};

}  // namespace brevanto::swf
