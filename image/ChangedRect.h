#pragma once

#include <optional>

#include "util/BgraView.h"

namespace brevanto::image {

// The bounding box of the pixels whose colour (B, G, R; the fourth byte is ignored) differs
// between two pictures of the same size, or std::nullopt when none differs. Pictures of
// different sizes, or an empty one, count as wholly changed: the box is the current picture.
std::optional<util::PixelRect> changedRect(const util::BgraView& previous, const util::BgraView& current);

}  // namespace brevanto::image
