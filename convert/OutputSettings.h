#pragma once

// Where and how output is written: the output folder, the output size (a size mode relative to
// the current GIF, or a custom width and height), the JPEG quality of captured frames and the
// frame rate of the movie. Plain values; the window binds its boxes to them.
//
// Start values: the program's own folder, "Original Size", 0 x 0, quality 100, 10 frames per
// second. Nothing is stored between runs.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brevanto::convert {

// The size modes, in the order of the window's drop-down list.
inline constexpr std::string_view kSizeModeHalf = "1/2 Original Size";
inline constexpr std::string_view kSizeModeOriginal = "Original Size";
inline constexpr std::string_view kSizeModeDouble = "2x Original Size";
inline constexpr std::string_view kSizeModeTriple = "3x Original Size";
inline constexpr std::string_view kSizeModeCustom = "Custom";
inline constexpr std::array<std::string_view, 5> kSizeModes = {
    kSizeModeHalf, kSizeModeOriginal, kSizeModeDouble, kSizeModeTriple, kSizeModeCustom};

// Shown when a number box does not hold a signed decimal integer.
inline constexpr std::string_view kEnterIntegerMessage = "Please enter an integer.";

// The size a preset mode gives for a source size ("1/2" divides with the remainder dropped).
// nullopt for "Custom" and for any text that is not exactly one of the mode texts.
std::optional<std::pair<int, int>> sizeForMode(std::string_view mode, int sourceWidth, int sourceHeight);

// Reads a number box's text as a signed decimal integer. Only the first 31 characters count.
// Accepted: blanks or tabs, an optional sign, base-10 digits, blanks or tabs, and nothing else.
// Values beyond the signed 32-bit range are clamped to its limits. Rejected (nullopt): an empty
// text, anything else around the number, and a text whose value is 0 but whose first character
// is not the digit 0 (such as "-0", "+0" or " 0").
std::optional<std::int32_t> parseSignedInteger(std::string_view text);

// The number boxes, in the order the settings fields are read.
enum class SettingsField { OutputWidth, OutputHeight, FrameRate, JpegQuality };

struct OutputSettings {
  std::string outputFolder;                        // "/"-separated, normally ending in "/"
  std::string sizeMode{kSizeModeOriginal};
  std::int32_t outputWidth = 0;
  std::int32_t outputHeight = 0;
  std::int32_t jpegQuality = 100;
  std::int32_t frameRate = 10;

  // Start values; outputFolder is the program's folder.
  OutputSettings();

  // The user picked a size mode: preset modes set the size from the source size, "Custom"
  // (and any unknown text) leaves it. sizeMode takes the text. True for "Custom", whose width
  // and height boxes become editable.
  bool applySizeMode(std::string_view mode, int sourceWidth, int sourceHeight);
  // A row was made current: the size becomes the GIF's and the mode "Original Size".
  void resetToSource(int sourceWidth, int sourceHeight);

  // Reading the settings fields: width, height, size-mode text, frame rate and quality, in this
  // order. A box that does not hold an integer stops the read there (earlier fields are
  // updated, later ones keep their values) and is returned, so the window can show
  // kEnterIntegerMessage and put the focus on it. nullopt when every box was read.
  std::optional<SettingsField> readFields(std::string_view widthText, std::string_view heightText,
                                          std::string_view sizeModeText,
                                          std::string_view frameRateText,
                                          std::string_view qualityText);
};

// The output folder made from a folder picker's result, ending in "/" (on Windows builds a path
// longer than 3 characters gets a separator appended and backslashes become "/"). A cancelled
// pick (empty text) gives the empty folder, which the commands that need a folder report.
std::string outputFolderFromPicked(const std::string& picked);

// An output folder of at most 1 character counts as missing.
inline bool outputFolderMissing(const std::string& outputFolder) { return outputFolder.size() < 2; }

} // namespace brevanto::convert
