#pragma once

// The words the window shows for the size modes, in the drop-down list's order.

#include <array>
#include <string_view>

#include "convert/OutputSettings.h"

namespace brevanto::app {

inline constexpr std::array<std::string_view, convert::kSizeModes.size()> kSizeModeTexts = {
    "1/2 Original Size", "Original Size", "2x Original Size", "3x Original Size", "Custom"};

// The drop-down list's row of a mode, and the mode of a row (Original for a row out of range).
inline int sizeModeRow(convert::SizeMode mode) { return static_cast<int>(mode); }
inline convert::SizeMode sizeModeAtRow(int row) {
  return row >= 0 && row < static_cast<int>(convert::kSizeModes.size())
             ? convert::kSizeModes[static_cast<std::size_t>(row)]
             : convert::SizeMode::Original;
}

}  // namespace brevanto::app
