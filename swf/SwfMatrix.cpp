#include "swf/SwfMatrix.h"

#include "swf/SwfBitWriter.h"
#include "swf/Twips.h"

#include <algorithm>
#include <cmath>

namespace brevanto::swf {

namespace {

// Bit-count fields are UB[5], so no field may be wider than 31 bits; values that would need more
// are clamped to the 31-bit signed range instead of being written corrupt.
constexpr int kMaxFieldBits = 31;
constexpr std::int32_t kMaxField = (1 << 30) - 1;

std::int32_t clampField(double value)
{
    return static_cast<std::int32_t>(std::clamp(value, -static_cast<double>(kMaxField),
                                                static_cast<double>(kMaxField)));
}

// 16.16 fixed point, truncated toward zero.
std::int32_t toFixed(float factor)
{
    if (std::isnan(factor))
        return 0;
    return clampField(std::trunc(static_cast<double>(factor * 65536.0f)));
}

// k + 17, where k is the smallest k >= 0 with 2^k greater than the larger integer-part magnitude.
int fixedPairBits(float a, float b)
{
    const double magnitude = std::max(std::fabs(std::trunc(static_cast<double>(a))),
                                      std::fabs(std::trunc(static_cast<double>(b))));
    int k = 0;
    while (k + 17 < kMaxFieldBits && std::ldexp(1.0, k) <= magnitude)
        ++k;
    return k + 17;
}

} // namespace

SwfMatrix::SwfMatrix(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1,
                     float translateX, float translateY)
{
    set(scaleX, scaleY, rotateSkew0, rotateSkew1, translateX, translateY);
}

void SwfMatrix::set(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1,
                    float translateX, float translateY)
{
    m_scaleX = scaleX;
    m_scaleY = scaleY;
    m_rotateSkew0 = rotateSkew0;
    m_rotateSkew1 = rotateSkew1;
    m_translateX = translateX;
    m_translateY = translateY;

    m_hasScale = scaleX != 0.0f || scaleY != 0.0f;
    m_scaleBits = m_hasScale ? fixedPairBits(scaleX, scaleY) : 0;
    m_scaleXFixed = m_hasScale ? toFixed(scaleX) : 0;
    m_scaleYFixed = m_hasScale ? toFixed(scaleY) : 0;

    m_hasRotate = rotateSkew0 != 0.0f || rotateSkew1 != 0.0f;
    m_rotateBits = m_hasRotate ? fixedPairBits(rotateSkew0, rotateSkew1) : 0;
    m_rotateSkew0Fixed = m_hasRotate ? toFixed(rotateSkew0) : 0;
    m_rotateSkew1Fixed = m_hasRotate ? toFixed(rotateSkew1) : 0;

    if (translateX != 0.0f || translateY != 0.0f) {
        m_translateXTwips = clampField(Twips::fromPixels(translateX).value);
        m_translateYTwips = clampField(Twips::fromPixels(translateY).value);
        m_translateBits = signedBitWidth({m_translateXTwips, m_translateYTwips});
    } else {
        m_translateXTwips = m_translateYTwips = 0;
        m_translateBits = 0;
    }
}

std::vector<std::uint8_t> SwfMatrix::encode() const
{
    SwfBitWriter bits;
    bits.writeUnsigned(m_hasScale ? 1 : 0, 1);
    if (m_hasScale) {
        bits.writeUnsigned(static_cast<std::uint32_t>(m_scaleBits), 5);
        bits.writeSigned(m_scaleXFixed, m_scaleBits);
        bits.writeSigned(m_scaleYFixed, m_scaleBits);
    }
    bits.writeUnsigned(m_hasRotate ? 1 : 0, 1);
    if (m_hasRotate) {
        bits.writeUnsigned(static_cast<std::uint32_t>(m_rotateBits), 5);
        bits.writeSigned(m_rotateSkew0Fixed, m_rotateBits);
        bits.writeSigned(m_rotateSkew1Fixed, m_rotateBits);
    }
    bits.writeUnsigned(static_cast<std::uint32_t>(m_translateBits), 5);
    bits.writeSigned(m_translateXTwips, m_translateBits);
    bits.writeSigned(m_translateYTwips, m_translateBits);
    return bits.take();
}

} // namespace brevanto::swf
