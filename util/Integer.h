#pragma once

// The one decimal integer reader of the program, for the window's number boxes and the
// command line's option values.

#include <cstdint>
#include <optional>
#include <string_view>

namespace brevanto::util {

enum class IntegerSyntax {
  // A number box: only the first 31 characters count; blanks or tabs around the number and a
  // "+" sign are allowed; values beyond the signed 32-bit range are clamped to its limits; a
  // text whose value is 0 must start with the digit 0 ("-0", "+0" and " 0" are refused).
  NumberBox,
  // An option value: an optional "-" and decimal digits, nothing else. Values beyond the signed
  // 32-bit range are clamped, so a caller's range check refuses them.
  Strict,
};

// The integer a text holds under the syntax, or nullopt when it holds none.
std::optional<std::int32_t> parseInteger(std::string_view text, IntegerSyntax syntax);

}  // namespace brevanto::util
