#include "convert/EarlyRefusal.h"

#include "convert/Timeline.h"
#include "image/ImageCodec.h"
#include "image/GifIndex.h"
#include "swf/MovieAssembly.h"

namespace brevanto::convert {

bool stageLacksGifSize(SizeMode mode, PixelSize stage) {
  return mode != SizeMode::Custom && (stage.width < 1 || stage.height < 1);
}

std::optional<RunProblem> refusalBeforeDecoding(std::span<const std::uint8_t> data, const FileTiming& timing,
                                                const EarlyCheck& check) {
  const image::GifIndex index = image::indexGif(data, image::GifRules::Decoder);
  if (!index.hasScreen || index.frames.empty() || index.canvasWidth < 1 || index.canvasHeight < 1) return std::nullopt;

  // Every frame the table lists is counted, as the decoder delivers them all from a sound file.
  TimelineWalk walk(timing.delaysFor(check.settings.timing), check.settings.timing);
  for (std::size_t i = 0; i < index.frames.size(); ++i) walk.addFrame();
  swf::MovieAssemblyInput input;
  input.gifPath = check.gifPath;
  input.outputFolder = check.outputFolder;
  const PixelSize source{index.canvasWidth, index.canvasHeight};
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
  return refusalBeforeDecoding(*data, readFileTiming(*data), check);
}

}  // namespace brevanto::convert
