#pragma once

// Where and how output is written: the output folder, the output size (a size mode relative to
// the current GIF, or a custom width and height), the JPEG quality of captured frames and the
// frame rate of the movie. Plain values; the window binds its boxes to them.
//
// Start values: the program's own folder, SizeMode::Original, 0 x 0, quality 100, 10 frames per
// second. Nothing is stored between runs.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brevanto::convert {

// How the movie's stage size follows from a file's own size, in the order of the window's
// drop-down list. The words users see for them belong to the window and the command line.
enum class SizeMode { Half, Original, Double, Triple, Custom };
inline constexpr std::array<SizeMode, 5> kSizeModes = {SizeMode::Half, SizeMode::Original, SizeMode::Double,
                                                       SizeMode::Triple, SizeMode::Custom};

// The kind of bitmap the movie's pictures are stored as.
enum class PictureKind { Jpeg, Lossless };
// Whether the movie loops forever, or, as browsers play the GIF, only when the GIF has a
// looping extension (else it stops on its last picture).
enum class LoopMode { Forever, AsGif };
// How the movie is timed: in steps of 100 ms at the frame-rate setting (each frame held for at
// least one step), or as browsers time the GIF, at a rate of its own (the frame-rate setting is
// then not used).
enum class Timing { Steps, AsGif };

struct PixelSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The stage size for a file of size `source`: Half, Original, Double and Triple scale it (Half
// drops the remainder; products beyond the int range are clamped), Custom gives `custom`.
// The one rule for every file of every run: Convert, each file of Convert All, the converter.
PixelSize stageSizeFor(SizeMode mode, PixelSize source, PixelSize custom);

// The JPEG quality pictures are encoded with for the quality setting: 1..100, and 80 for -1.
int jpegQualityFor(int setting);

// Shown when a number box does not hold a signed decimal integer (util::IntegerSyntax::NumberBox).
inline constexpr std::string_view kEnterIntegerMessage = "Please enter an integer.";

// The number boxes, in the order the settings fields are read.
enum class SettingsField { OutputWidth, OutputHeight, FrameRate, JpegQuality };

struct OutputSettings {
  std::string outputFolder;  // "/"-separated, normally ending in "/"
  SizeMode sizeMode = SizeMode::Original;
  std::int32_t outputWidth = 0;
  std::int32_t outputHeight = 0;
  std::int32_t jpegQuality = 100;
  std::int32_t frameRate = 10;
  PictureKind pictures = PictureKind::Jpeg;
  LoopMode loop = LoopMode::Forever;
  Timing timing = Timing::Steps;

  // Start values; outputFolder is the program's folder.
  OutputSettings();

  // The user picked a size mode: preset modes set the size from the source size, Custom leaves
  // it. True for Custom, whose width and height boxes become editable.
  bool applySizeMode(SizeMode mode, int sourceWidth, int sourceHeight);
  // The stage size for a file of size `source` under these settings, the width and height
  // boxes being the custom size.
  PixelSize stageSizeFor(PixelSize source) const;
  // A row was made current: the size becomes the GIF's and the mode Original.
  void resetToSource(int sourceWidth, int sourceHeight);

  // Reading the settings fields: width, height, size mode, frame rate and quality, in this
  // order. A box that does not hold an integer stops the read there (earlier fields are
  // updated, later ones keep their values) and is returned, so the window can show
  // kEnterIntegerMessage and put the focus on it. nullopt when every box was read.
  std::optional<SettingsField> readFields(std::string_view widthText, std::string_view heightText, SizeMode mode,
                                          std::string_view frameRateText, std::string_view qualityText);

  // Why the frame rate cannot make a movie (its low 8 bits, which the movie stores, are 0);
  // none when it can, or when the movie is timed as the GIF and has a rate of its own.
  std::optional<std::string> frameRateRefusal() const;
};

// The output folder made from a folder picker's result, ending in "/" (on Windows builds a path
// longer than 3 characters gets a separator appended and backslashes become "/"). A cancelled
// pick (empty text) gives the empty folder, which the commands that need a folder report.
std::string outputFolderFromPicked(const std::string& picked);

// An output folder of at most 1 character counts as missing.
inline bool outputFolderMissing(const std::string& outputFolder) { return outputFolder.size() < 2; }

}  // namespace brevanto::convert
