#pragma once

// Converts one GIF into its movie without a window and without real-time playback: it walks
// the same timeline the preview player plays (same frames, display times, slots, one-frame
// files doubled, JPEG bytes, assembly) at full speed. The movie is byte-identical to the one the
// window's conversion writes for the same file and settings. GIF frames are streamed from the
// decoder one at a time and each frame's JPEG picture goes into the movie as soon as it is
// encoded, so a conversion holds the movie being built and about one frame besides the file.
//
// Also exports a GIF's frames as image files, named and placed as the window's sequence export
// commands do. Thread-safe: files may be converted in parallel (distinct output paths).

#include <string>
#include <string_view>

namespace brevanto::convert {

struct HeadlessOptions {
  std::string outputFolder;      // "/"-separated, ending in "/"
  // A size-mode text (kSizeModes) applied to the file's own size; "Custom" takes the custom
  // width and height.
  std::string sizeMode = "Original Size";
  int customWidth = 0;
  int customHeight = 0;
  int jpegQuality = 100;
  int frameRate = 10;
};

struct HeadlessResult {
  bool ok = false;
  std::string moviePath;   // where the movie was (or would have been) written
  std::string error;       // why it failed; empty when ok
  int frameCount = 0;      // frames played (a one-frame file counts 2)
  int slotCount = 0;       // movie frames
  int sourceWidth = 0;
  int sourceHeight = 0;
};

// Converts gifPath into options.outputFolder + its movie name.
HeadlessResult convertFile(const std::string& gifPath, const HeadlessOptions& options);

struct ExportResult {
  bool ok = false;
  int framesWritten = 0;
  std::string folder;      // the export folder
  std::string error;
};

// Writes every frame of sourcePath to the export folder for `extension` (".bmp", ".tga",
// ".gif", ".jpeg", ".png" or ".tiff") below outputFolder.
ExportResult exportFrames(const std::string& sourcePath, const std::string& outputFolder,
                          std::string_view extension);

} // namespace brevanto::convert
