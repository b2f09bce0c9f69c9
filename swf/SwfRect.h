#pragma once

#include <cstdint>
#include <vector>

namespace brevanto::swf {

// The RECT record: a rectangle given in pixels and stored as signed 16-bit twips, so every
// coordinate is limited to 32767 twips (1638 pixels); larger values wrap.
class SwfRect {
 public:
  SwfRect() = default;
  SwfRect(float xmin, float ymin, float xmax, float ymax);

  float xmin() const { return xmin_; }
  float ymin() const { return ymin_; }
  float xmax() const { return xmax_; }
  float ymax() const { return ymax_; }

  std::int16_t xminTwips() const { return xminTwips_; }
  std::int16_t yminTwips() const { return yminTwips_; }
  std::int16_t xmaxTwips() const { return xmaxTwips_; }
  std::int16_t ymaxTwips() const { return ymaxTwips_; }

  // UB[5] n, then SB[n] xmin, xmax, ymin, ymax (twips), padded: ceil((5 + 4n) / 8) bytes.
  std::vector<std::uint8_t> encode() const;

 private:
  float xmin_ = 0, ymin_ = 0, xmax_ = 0, ymax_ = 0;
  std::int16_t xminTwips_ = 0, yminTwips_ = 0, xmaxTwips_ = 0, ymaxTwips_ = 0;
};

}  // namespace brevanto::swf
