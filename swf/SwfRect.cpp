#include "swf/SwfRect.h"

#include "swf/SwfBitWriter.h"
#include "swf/Twips.h"

namespace brevanto::swf {

namespace {

std::int16_t toTwips16(float pixels) { return static_cast<std::int16_t>(Twips::fromPixels(pixels).value); }

}  // namespace

SwfRect::SwfRect(float xmin, float ymin, float xmax, float ymax)
    : xmin_(xmin),
      ymin_(ymin),
      xmax_(xmax),
      ymax_(ymax),
      xminTwips_(toTwips16(xmin)),
      yminTwips_(toTwips16(ymin)),
      xmaxTwips_(toTwips16(xmax)),
      ymaxTwips_(toTwips16(ymax)) {}

std::vector<std::uint8_t> SwfRect::encode() const {
  const int n = signedBitWidth({xminTwips_, xmaxTwips_, yminTwips_, ymaxTwips_});
  SwfBitWriter bits;
  bits.writeUnsigned(static_cast<std::uint32_t>(n), 5);
  bits.writeSigned(xminTwips_, n);
  bits.writeSigned(xmaxTwips_, n);
  bits.writeSigned(yminTwips_, n);
  bits.writeSigned(ymaxTwips_, n);
  return bits.take();
}

}  // namespace brevanto::swf
