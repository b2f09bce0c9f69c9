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

    float xmin() const { return m_xmin; }
    float ymin() const { return m_ymin; }
    float xmax() const { return m_xmax; }
    float ymax() const { return m_ymax; }

    std::int16_t xminTwips() const { return m_xminTwips; }
    std::int16_t yminTwips() const { return m_yminTwips; }
    std::int16_t xmaxTwips() const { return m_xmaxTwips; }
    std::int16_t ymaxTwips() const { return m_ymaxTwips; }

    // UB[5] n, then SB[n] xmin, xmax, ymin, ymax (twips), padded: ceil((5 + 4n) / 8) bytes.
    std::vector<std::uint8_t> encode() const;

private:
    float m_xmin = 0, m_ymin = 0, m_xmax = 0, m_ymax = 0;
    std::int16_t m_xminTwips = 0, m_yminTwips = 0, m_xmaxTwips = 0, m_ymaxTwips = 0;
};

} // namespace brevanto::swf
