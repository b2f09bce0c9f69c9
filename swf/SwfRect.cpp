#include "swf/SwfRect.h"

#include "swf/SwfBitWriter.h"
#include "swf/Twips.h"

namespace brevanto::swf {

namespace {

std::int16_t toTwips16(float pixels)
{
    return static_cast<std::int16_t>(Twips::fromPixels(pixels).value);
}

} // namespace

SwfRect::SwfRect(float xmin, float ymin, float xmax, float ymax)
    : m_xmin(xmin), m_ymin(ymin), m_xmax(xmax), m_ymax(ymax),
      m_xminTwips(toTwips16(xmin)), m_yminTwips(toTwips16(ymin)),
      m_xmaxTwips(toTwips16(xmax)), m_ymaxTwips(toTwips16(ymax))
{
}

std::vector<std::uint8_t> SwfRect::encode() const
{
    const int n = signedBitWidth({m_xminTwips, m_xmaxTwips, m_yminTwips, m_ymaxTwips});
    SwfBitWriter bits;
    bits.writeUnsigned(static_cast<std::uint32_t>(n), 5);
    bits.writeSigned(m_xminTwips, n);
    bits.writeSigned(m_xmaxTwips, n);
    bits.writeSigned(m_yminTwips, n);
    bits.writeSigned(m_ymaxTwips, n);
    return bits.take();
}

} // namespace brevanto::swf
