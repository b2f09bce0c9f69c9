#pragma once

// Refusing a movie before any pixel is decoded or played. The movie's stage size, its source
// size and its length in slots all follow from a GIF's logical screen and frame table, which a
// block walk reads without decoding: a file whose movie is sure to be refused (a stage side
// outside 1..1638, more slots than character ids allow) is reported at once, with the movie
// builder's own words, instead of after decoding every frame (a few bytes can claim a screen of
// a gigabyte) or, in the window, after playing the whole file.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/OutputSettings.h"
#include "convert/RunProblem.h"
#include "convert/Timeline.h"

namespace brevanto::convert {

struct EarlyCheck {
  std::string gifPath;
  OutputSettings settings;  // the output folder, frame rate, timing, picture kind and looping
  // The stage size for the file's own size (the converter's size rule, or the window's boxes).
  std::function<PixelSize(PixelSize source)> stageFor;
};

// Whether a stage a window made with `mode` from its batch list's size of a GIF says nothing
// about the GIF: the list had no size for it (the file did not decode there and reads 0*0), so
// a preset mode gave a side below 1. The mode then applies to the GIF's own screen instead, as
// the converter applies it, and a refusal names the GIF's real size.
bool stageLacksGifSize(SizeMode mode, PixelSize stage);

// The movie problem for a GIF whose movie would be refused, from what its bytes say about their
// timing and canvas (readFileTiming); none when the bytes are not a GIF, hold no frame (the
// decoder says why) or make an acceptable movie.
std::optional<RunProblem> refusalBeforeDecoding(const FileTiming& timing, const EarlyCheck& check);

// The same for the file at check.gifPath (none when it cannot be read: loading it reports that).
std::optional<RunProblem> refusalBeforeDecoding(const EarlyCheck& check);

}  // namespace brevanto::convert
