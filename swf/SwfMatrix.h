#pragma once

#include <cstdint>
#include <vector>

namespace brevanto::swf {

// The MATRIX record. Scale and rotate/skew are plain factors stored as 16.16 fixed point;
// translation is in pixels, stored in twips. The all-zero matrix encodes as the single byte 0x00.
class SwfMatrix {
public:
    SwfMatrix() = default;
    SwfMatrix(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1,
              float translateX, float translateY);

    // Replaces all six values and recomputes the encoding state.
    void set(float scaleX, float scaleY, float rotateSkew0, float rotateSkew1,
             float translateX, float translateY);

    float scaleX() const { return m_scaleX; }
    float scaleY() const { return m_scaleY; }
    float rotateSkew0() const { return m_rotateSkew0; }
    float rotateSkew1() const { return m_rotateSkew1; }
    float translateX() const { return m_translateX; }
    float translateY() const { return m_translateY; }

    bool hasScale() const { return m_hasScale; }
    int scaleBits() const { return m_scaleBits; }
    std::int32_t scaleXFixed() const { return m_scaleXFixed; }
    std::int32_t scaleYFixed() const { return m_scaleYFixed; }
    bool hasRotate() const { return m_hasRotate; }
    int rotateBits() const { return m_rotateBits; }
    std::int32_t rotateSkew0Fixed() const { return m_rotateSkew0Fixed; }
    std::int32_t rotateSkew1Fixed() const { return m_rotateSkew1Fixed; }
    int translateBits() const { return m_translateBits; }
    std::int32_t translateXTwips() const { return m_translateXTwips; }
    std::int32_t translateYTwips() const { return m_translateYTwips; }

    std::vector<std::uint8_t> encode() const;

private:
    float m_scaleX = 0, m_scaleY = 0, m_rotateSkew0 = 0, m_rotateSkew1 = 0;
    float m_translateX = 0, m_translateY = 0;

    bool m_hasScale = false;
    int m_scaleBits = 0;
    std::int32_t m_scaleXFixed = 0, m_scaleYFixed = 0;
    bool m_hasRotate = false;
    int m_rotateBits = 0;
    std::int32_t m_rotateSkew0Fixed = 0, m_rotateSkew1Fixed = 0;
    int m_translateBits = 0;
    std::int32_t m_translateXTwips = 0, m_translateYTwips = 0;
};

} // namespace brevanto::swf
