#include "convert/EarlyRefusal.h"

#include "convert/Timeline.h"
#include "image/ImageCodec.h"
#include "image/platform/GifReader.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

bool stageLacksGifSize(SizeMode mode, PixelSize stage) {
  return mode != SizeMode::Custom && (stage.width < 1 || stage.height < 1);
}

std::optional<RunProblem> refusalBeforeDecoding(std::span<const std::uint8_t> data, const FileTiming& timing,
                                                const EarlyCheck& check) {
  image::platform::GifLayout layout;
  if (!image::platform::looksLikeGif(data) || !image::platform::scanGifLayout(data, layout)) return std::nullopt;
  if (layout.frameCount == 0 || layout.canvasWidth < 1 || layout.canvasHeight < 1) return std::nullopt;

  // Every frame the table lists is counted, as the decoder delivers them all from a sound file.
  TimelineWalk walk(timing.delaysFor(check.settings.timing), check.settings.timing);
  for (std::size_t i = 0; i < layout.frameCount; ++i) walk.addFrame();
  swf::MovieAssemblyInput input;
  input.gifPath = check.gifPath;
  input.outputFolder = check.outputFolder;
  const PixelSize source{layout.canvasWidth, layout.canvasHeight};
  const PixelSize stage = check.stageFor ? check.stageFor(source) : source;
  input.stageWidth = stage.width;
  input.stageHeight = stage.height;
  input.sourceWidth = source.width;
  input.sourceHeight = source.height;
  applyTimeline(input, walk.played(), check.settings, timing.loopCount);
  std::string why = swf::movieRefusal(input);
  if (why.empty()) return std::nullopt;
  return movieProblem(input, swf::MovieError{swf::MovieError::Kind::Refused, std::move(why), {}});
}

std::optional<RunProblem> refusalBeforeDecoding(const EarlyCheck& check) {
  std::vector<std::uint8_t> data;
  if (!image::readWholeFile(check.gifPath, data, nullptr)) return std::nullopt;
  return refusalBeforeDecoding(data, readFileTiming(data), check);
}

}  // namespace brevanto::convert
