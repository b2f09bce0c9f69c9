#include "util/Integer.h"

#include <algorithm>
#include <limits>

namespace brevanto::util {

namespace {

// A number box holds at most this many characters.
constexpr std::size_t kBoxTextLimit = 31;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::optional<std::int32_t> parseInteger(std::string_view text, IntegerSyntax syntax) {
  const bool box = syntax == IntegerSyntax::NumberBox;
  if (box) text = text.substr(0, std::min(text.size(), kBoxTextLimit));
  std::size_t i = 0;
  while (box && i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || (box && text[i] == '+'))) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t digitsStart = i;
  std::int64_t magnitude = 0;
  constexpr std::int64_t kSaturated = std::int64_t{1} << 32;  // beyond either limit
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    magnitude = std::min(kSaturated, magnitude * 10 + (text[i] - '0'));
    ++i;
  }
  if (i == digitsStart) return std::nullopt;
  while (box && i < text.size() && isBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;

  const std::int64_t value = negative ? -magnitude : magnitude;
  if (box && value == 0 && text.front() != '0') return std::nullopt;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace brevanto::util
