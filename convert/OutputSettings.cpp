#include "convert/OutputSettings.h"

#include <limits>

#include "util/FileSystem.h"

namespace brevanto::convert {

namespace {

// A number box holds at most this many characters.
constexpr std::size_t kBoxTextLimit = 31;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

std::optional<std::pair<int, int>> sizeForMode(std::string_view mode, int sourceWidth, int sourceHeight) {
  auto scaled = [&](std::int64_t factor) {
    auto clamp = [](std::int64_t v) {
      if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
      if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
      return static_cast<int>(v);
    };
    return std::pair{clamp(sourceWidth * factor), clamp(sourceHeight * factor)};
  };
  if (mode == kSizeModeHalf) return std::pair{sourceWidth / 2, sourceHeight / 2};
  if (mode == kSizeModeOriginal) return std::pair{sourceWidth, sourceHeight};
  if (mode == kSizeModeDouble) return scaled(2);
  if (mode == kSizeModeTriple) return scaled(3);
  return std::nullopt;
}

std::optional<std::int32_t> parseSignedInteger(std::string_view text) {
  text = text.substr(0, std::min(text.size(), kBoxTextLimit));
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
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
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;

  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value == 0 && text.front() != '0') return std::nullopt;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

OutputSettings::OutputSettings() : outputFolder(util::programFolder()) {}

bool OutputSettings::applySizeMode(std::string_view mode, int sourceWidth, int sourceHeight) {
  sizeMode = std::string(mode);
  if (const auto size = sizeForMode(mode, sourceWidth, sourceHeight)) {
    outputWidth = size->first;
    outputHeight = size->second;
    return false;
  }
  return mode == kSizeModeCustom;
}

void OutputSettings::resetToSource(int sourceWidth, int sourceHeight) {
  outputWidth = sourceWidth;
  outputHeight = sourceHeight;
  sizeMode = std::string(kSizeModeOriginal);
}

std::optional<SettingsField> OutputSettings::readFields(std::string_view widthText,
                                                        std::string_view heightText,
                                                        std::string_view sizeModeText,
                                                        std::string_view frameRateText,
                                                        std::string_view qualityText) {
  const auto width = parseSignedInteger(widthText);
  if (!width) return SettingsField::OutputWidth;
  outputWidth = *width;
  const auto height = parseSignedInteger(heightText);
  if (!height) return SettingsField::OutputHeight;
  outputHeight = *height;
  sizeMode = std::string(sizeModeText);
  const auto rate = parseSignedInteger(frameRateText);
  if (!rate) return SettingsField::FrameRate;
  frameRate = *rate;
  const auto quality = parseSignedInteger(qualityText);
  if (!quality) return SettingsField::JpegQuality;
  jpegQuality = *quality;
  return std::nullopt;
}

std::string outputFolderFromPicked(const std::string& picked) {
  std::string folder = picked;
#ifdef _WIN32
  if (folder.size() > 3) folder += '\\';
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
#else
  // Folders picked here never come back with a trailing separator except the root "/".
  if (!folder.empty() && folder.back() != '/') folder += '/';
#endif
  return folder;
}

} // namespace brevanto::convert
