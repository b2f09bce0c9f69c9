#include "convert/OutputSettings.h"

#include <algorithm>
#include <limits>

#include "swf/SwfMovie.h"
#include "util/FileSystem.h"
#include "util/Integer.h"

namespace brevanto::convert {

PixelSize stageSizeFor(SizeMode mode, PixelSize source, PixelSize custom) {
  auto scaled = [&](std::int64_t factor) {
    auto clamp = [](std::int64_t v) {
      return static_cast<int>(
          std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    return PixelSize{clamp(source.width * factor), clamp(source.height * factor)};
  };
  switch (mode) {
    case SizeMode::Half: return {source.width / 2, source.height / 2};
    case SizeMode::Original: return source;
    case SizeMode::Double: return scaled(2);
    case SizeMode::Triple: return scaled(3);
    case SizeMode::Custom: break;
  }
  return custom;
}

int jpegQualityFor(int setting) { return setting == -1 ? 80 : std::clamp(setting, 1, 100); }

OutputSettings::OutputSettings() : outputFolder(util::programFolder()) {}

bool OutputSettings::applySizeMode(SizeMode mode, int sourceWidth, int sourceHeight) {
  sizeMode = mode;
  const PixelSize size = stageSizeFor({sourceWidth, sourceHeight});
  outputWidth = size.width;
  outputHeight = size.height;
  return mode == SizeMode::Custom;
}

PixelSize OutputSettings::stageSizeFor(PixelSize source) const {
  return convert::stageSizeFor(sizeMode, source, {outputWidth, outputHeight});
}

void OutputSettings::resetToSource(int sourceWidth, int sourceHeight) {
  outputWidth = sourceWidth;
  outputHeight = sourceHeight;
  sizeMode = SizeMode::Original;
}

std::optional<SettingsField> OutputSettings::readFields(std::string_view widthText, std::string_view heightText,
                                                        SizeMode mode, std::string_view frameRateText,
                                                        std::string_view qualityText) {
  const auto width = util::parseInteger(widthText, util::IntegerSyntax::NumberBox);
  if (!width) return SettingsField::OutputWidth;
  outputWidth = *width;
  const auto height = util::parseInteger(heightText, util::IntegerSyntax::NumberBox);
  if (!height) return SettingsField::OutputHeight;
  outputHeight = *height;
  sizeMode = mode;
  const auto rate = util::parseInteger(frameRateText, util::IntegerSyntax::NumberBox);
  if (!rate) return SettingsField::FrameRate;
  frameRate = *rate;
  const auto quality = util::parseInteger(qualityText, util::IntegerSyntax::NumberBox);
  if (!quality) return SettingsField::JpegQuality;
  jpegQuality = *quality;
  return std::nullopt;
}

std::optional<std::string> OutputSettings::frameRateRefusal() const {
  if (timing != Timing::Steps || swf::storedFrameRate(frameRate) != 0) return std::nullopt;
  return "Frame Rate takes a whole number from 1 to 255, not " + std::to_string(frameRate) +
         ": the movie would store it as 0 frames a second.";
}

std::string outputFolderFromPicked(const std::string& picked) {
#ifdef _WIN32
  std::string folder = picked;
  if (folder.size() > 3) folder += '\\';
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  return folder;
#else
  // Folders picked here never come back with a trailing separator except the root "/".
  return util::folderPath(picked);
#endif
}

}  // namespace brevanto::convert
