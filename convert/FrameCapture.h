#pragma once

// Turns the frames the preview player shows into numbered JPEG files (24-bit BMP files for
// lossless movies) in the capture folder ("tolvane_brevanto/Temp/" below the output folder),
// from which the movie is assembled.
//
// The numbering is the movie's timeline (convert/Timeline): a frame's file carries the number
// of the movie frame where its picture starts, and the counter moves past the movie frames it
// lasts. The file is written once per frame shown.
//
// Capture runs on the thread that owns the preview player, once for every frame the playback
// shows (PreviewPlayer::handleShownFrames), never from a repaint.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/OutputSettings.h"
#include "swf/MovieAssembly.h"
#include "util/Result.h"

namespace brevanto::image {
class RasterImage;
}

namespace brevanto::convert {

class SlotPictureMaker;

class FrameCapture {
 public:
  // 1 while every frame shown is captured; set and cleared by the conversion run.
  bool captureEnabled = false;
  // Number of the next slot; set to 0 by every load of the player and when a conversion starts.
  int captureCounter = 0;
  // The quality setting of the capture files (jpegQualityFor gives the JPEG quality).
  int captureQuality = 100;
  // The output folder the capture folder lies in ("/"-separated, ending in "/").
  std::string outputFolder;
  // The movie's picture kind and stage: a stage smaller than the frames gets them scaled to it
  // (SlotPictureMaker). Lossless captures are the pictures as 24-bit BMP files, which keep
  // every pixel; their lossless bitmaps are made when they are read back (losslessPictureAt).
  PictureKind capturePictures = PictureKind::Jpeg;
  PixelSize captureStage;

  // The capture step for one frame shown: when capture is on, writes `frame` under slot
  // captureCounter for the GIF gifPath and advances the counter by the frame's `slots` (the
  // movie frames it lasts, Timeline::slotsOf). Returns the slot written, or -1 when capture is
  // off or the file could not be written (the counter still advances then: the slot shows the
  // previous picture in the movie).
  int captureFrame(const image::RasterImage& frame, const std::string& gifPath, int slots);

  // Why the pictures captured since slot 0 cannot make a complete movie: a picture could not be
  // written (full disk, read-only folder), or a written one has vanished since (the capture
  // folder was emptied or deleted during the conversion). Nothing when every picture is there.
  std::optional<std::string> missingPictures() const;

  // The picture captured for `slot` of the GIF gifPath, read back from the capture folder: none
  // when no capture file starts there, Unreadable when one exists but cannot be read.
  swf::SlotPicture pictureAt(const std::string& gifPath, int slot) const;
  // The same for a lossless capture: the next picture of `maker`, fed in slot order.
  swf::SlotPicture losslessPictureAt(const std::string& gifPath, int slot, SlotPictureMaker& maker) const;

 private:
  // The capture file's bytes for a frame, or why they cannot be made.
  util::Result<std::vector<std::uint8_t>> captureBytes(const image::RasterImage& frame) const;

  std::vector<std::string> written_;  // capture files written since slot 0
  int failedWrites_ = 0;
};

// outputFolder + "tolvane_brevanto/Temp/".
std::string captureFolder(const std::string& outputFolder);
// captureFolder(outputFolder) + <gif file name> + zeroPadded(slot, 5) + ".jpg" (".bmp" for
// lossless captures).
std::string captureFramePath(const std::string& outputFolder, const std::string& gifPath, int slot,
                             PictureKind kind = PictureKind::Jpeg);

// Makes sure the capture folder below outputFolder exists and deletes every file in it
// (sub-folders stay). False when the folder could not be created.
bool emptyCaptureFolder(const std::string& outputFolder);

}  // namespace brevanto::convert
