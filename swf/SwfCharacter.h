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

  std::uint16_t id() const { return id_; }
  // The display depth intended by the creator (shapes only; a bitmap has none).
  std::uint16_t depth() const { return depth_; }
  Kind kind() const { return kind_; }
  // The matrix written into PlaceObject2; all zero for every character built here.
  const SwfMatrix& placementMatrix() const { return placementMatrix_; }

  // The finished tag, header included. A shape builds it on the first request and is closed to
  // further additions from then on.
  virtual const std::vector<std::uint8_t>& tagBytes() = 0;
  std::size_t tagLength() { return tagBytes().size(); }

 protected:
  SwfCharacter(std::uint16_t id, std::uint16_t depth, Kind kind) : id_(id), depth_(depth), kind_(kind) {}
  // Copies and moves go through the concrete classes only (no slicing through the base).
  SwfCharacter(const SwfCharacter&) = default;
  SwfCharacter(SwfCharacter&&) = default;
  SwfCharacter& operator=(const SwfCharacter&) = default;
  SwfCharacter& operator=(SwfCharacter&&) = default;

 private:
  std::uint16_t id_;
  std::uint16_t depth_;
  Kind kind_;
  SwfMatrix placementMatrix_;
};

}  // namespace brevanto::swf
