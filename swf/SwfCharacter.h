#pragma once

#include "swf/SwfMatrix.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brevanto::swf {

// A character of the movie: an object that produces its complete tag, header included, which
// SwfMovie::addCharacter copies into the tag stream.
class SwfCharacter {
public:
    enum class Kind { Bitmap, Shape };

    virtual ~SwfCharacter() = default;

    std::uint16_t id() const { return m_id; }
    // The display depth intended by the creator (shapes only; a bitmap has none).
    std::uint16_t depth() const { return m_depth; }
    Kind kind() const { return m_kind; }
    // The matrix written into PlaceObject2; all zero for every character built here.
    const SwfMatrix& placementMatrix() const { return m_placementMatrix; }

    // The finished tag, header included. A shape builds it on the first request and is closed to
    // further additions from then on.
    virtual const std::vector<std::uint8_t>& tagBytes() = 0;
    std::size_t tagLength() { return tagBytes().size(); }

protected:
    SwfCharacter(std::uint16_t id, std::uint16_t depth, Kind kind)
        : m_id(id), m_depth(depth), m_kind(kind)
    {
    }
    // Copies and moves go through the concrete classes only (no slicing through the base).
    SwfCharacter(const SwfCharacter&) = default;
    SwfCharacter(SwfCharacter&&) = default;
    SwfCharacter& operator=(const SwfCharacter&) = default;
    SwfCharacter& operator=(SwfCharacter&&) = default;

private:
    std::uint16_t m_id;
    std::uint16_t m_depth;
    Kind m_kind;
    SwfMatrix m_placementMatrix;
};

} // namespace brevanto::swf
