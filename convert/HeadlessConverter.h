#pragma once

// Converts one GIF into its movie without a window and without real-time playback: it walks
// the same timeline the preview player plays (same frames, display times, slots, one-frame
// files doubled, JPEG bytes, assembly) at full speed. The movie is byte-identical to the one the
// window's conversion writes for the same file and settings. Frames are streamed from the
// decoder one at a time; each is encoded into its slot's picture (PictureEncoder), on several
// threads while the next frames are decoded (OrderedEncoder), and the pictures go into the movie
// in slot order, written straight into the movie's temporary file. A conversion holds the file,
// a few frames and the encoders' buffers, however long the movie. A movie sure to be refused
// (stage size, length) is refused from the GIF's screen and frame table before any decoding.
//
// Also exports a GIF's frames as image files, named and placed as the window's sequence export
// commands do. Thread-safe: files may be converted in parallel (distinct output paths).

#include <string>
#include <string_view>
#include <utility>

#include "convert/OutputSettings.h"
#include "convert/RunProblem.h"
#include "convert/Timeline.h"
#include "swf/MovieAssembly.h"
#include "util/Result.h"

namespace brevanto::convert {

struct ConvertedMovie {
  std::string moviePath;
  int frameCount = 0;             // frames played (a one-frame file counts 2 in 100 ms steps)
  int slotCount = 0;              // movie frames of one pass
  std::uint16_t frameRate88 = 0;  // the header's rate (8.8 fixed point)
  Passes passes;                  // how often the frames play

  // What the movie written from `input` (its timing applied) holds.
  static ConvertedMovie of(const swf::MovieAssemblyInput& input, std::string moviePath, int frameCount, Passes passes) {
    return {std::move(moviePath), frameCount, input.slotCount, input.headerRate(), passes};
  }
};

// "N frames", with the rate when it is the GIF's own and the passes when there are several:
// the words the converter and the window use for a finished movie.
std::string movieSummary(const ConvertedMovie& movie, Timing timing);

// Converts gifPath into settings.outputFolder + its movie name. The stage size follows from the
// file's own size by settings.stageSizeFor (the width and height are the custom size).
// encodeThreads: threads encoding the GIF's frames while it is decoded (0: one per core); the
// movie's bytes do not depend on it.
util::Result<ConvertedMovie, RunProblem> convertFile(const std::string& gifPath, const OutputSettings& settings,
                                                     int encodeThreads = 0);

struct ExportedFrames {
  int framesWritten = 0;
  std::string folder;  // the export folder
};

// Writes every frame of sourcePath to the export folder for `extension` (".bmp", ".tga",
// ".gif", ".jpeg", ".png" or ".tiff") below outputFolder.
util::Result<ExportedFrames, RunProblem> exportFrames(const std::string& sourcePath, const std::string& outputFolder,
                                                      std::string_view extension);

}  // namespace brevanto::convert
