#include "convert/EarlyRefusal.h"

#include "convert/Timeline.h"
#include "image/ImageCodec.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

bool stageLacksGifSize(SizeMode mode, PixelSize stage) {
  return mode != SizeMode::Custom && (stage.width < 1 || stage.height < 1);
}

std::optional<RunProblem> refusalBeforeDecoding(const FileTiming& timing, const EarlyCheck& check) {
  const PixelSize source = timing.canvas;
  if (timing.imageDelays.empty() || source.width < 1 || source.height < 1) return std::nullopt;

  // Every image the walk lists is counted, as the decoder delivers them all from a sound file.
  TimelineWalk walk(timing.delaysFor(check.settings.timing), check.settings.timing);
  for (std::size_t i = 0; i < timing.imageDelays.size(); ++i) walk.addFrame();
  swf::MovieAssemblyInput input;
  input.gifPath = check.gifPath;
  input.outputFolder = check.settings.outputFolder;
  const PixelSize stage = check.stageFor ? check.stageFor(source) : source;
  input.stageWidth = stage.width;
  input.stageHeight = stage.height;
  input.sourceWidth = source.width;
  input.sourceHeight = source.height;
  applyTimeline(input, walk.played(), check.settings, timing.loopCount);
  auto why = swf::movieRefusal(input);
  if (!why) return std::nullopt;
  return movieProblem(input, swf::MovieError{swf::MovieError::Kind::Refused, std::move(*why), {}});
}

std::optional<RunProblem> refusalBeforeDecoding(const EarlyCheck& check) {
  const auto data = image::readPictureFile(check.gifPath);
  if (!data) return std::nullopt;
  return refusalBeforeDecoding(readFileTiming(*data, check.settings.timing), check);
}

}  // namespace brevanto::convert
