#pragma once

#include "swf/ChunkedBytes.h"
#include "swf/SwfCharacter.h"
#include "swf/SwfRect.h"
#include "swf/SwfTagCode.h"
#include "util/File.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace brevanto::swf {

// The whole frames per second a movie header keeps of a rate: its low 8 bits (300 gives 44).
// A rate that keeps 0 makes a movie strict players reject.
constexpr int storedFrameRate(int framesPerSecond) { return framesPerSecond & 0xFF; }

// One uncompressed movie (signature "FWS", version 3), built in memory and written in one pass
// by close(), or streamed to a file as it is built (streamTo). Tags are appended in call order
// to a tag buffer that does not depend on the file; the End tag is added when the file is
// written. The buffer grows block by block (no copy of what it holds), so building a movie of
// N bytes in memory needs N bytes, not twice as many.
class SwfMovie {
 public:
  static constexpr std::uint8_t kVersion = 3;

  SwfMovie();
  ~SwfMovie();
  SwfMovie(const SwfMovie&) = delete;
  SwfMovie& operator=(const SwfMovie&) = delete;

  // Creates (or truncates) the file at path and sets the frame size to (0, 0, width, height)
  // pixels and the rate to storedFrameRate(framesPerSecond) frames per second. Returns false and
  // changes nothing when a file is already open or the file cannot be created.
  bool open(const std::string& path, float width, float height, int framesPerSecond);

  // The header values open() sets, for a movie that is only built in memory.
  void setFrameSize(float width, float height);
  void setFrameRate(int framesPerSecond);
  // The rate as the header stores it: 8.8 fixed point frames per second (0x2155 = 33.33).
  void setFrameRate88(std::uint16_t rate) { frameRate_ = rate; }

  void setBackgroundColor(std::uint8_t r, std::uint8_t g, std::uint8_t b);
  // Appends the character's tag unchanged; then, when place is set and the character is not a
  // bitmap, a PlaceObject2 at depth.
  void addCharacter(SwfCharacter& character, std::uint16_t depth, bool place);
  // Appends a PlaceObject2 putting the character at depth with its placement matrix; with
  // replace, the character takes the place of the object already at that depth.
  void placeObject(const SwfCharacter& character, std::uint16_t depth, bool replace = false);
  // Appends a PlaceObject2 putting an already defined character (no matrix: identity) at depth,
  // replacing the object there when replace is set.
  void placeDefined(std::uint16_t characterId, std::uint16_t depth, bool replace);
  // Appends a RemoveObject2 taking the object at depth off the display list.
  void removeObject(std::uint16_t depth);
  // PlaceObject2 tags with a short header from now on (JPEG movies keep the long one).
  void useShortPlacementHeaders() { shortPlacementHeaders_ = true; }
  // Appends one complete tag (header included) as it is.
  void addTag(std::span<const std::uint8_t> tag);
  void showFrame();

  // Writes header, tag buffer and End tag to the open file, flushes it to the device and closes
  // it. Returns true only when a file was open and every byte reached it; on a write error the
  // file is still closed (and may be short). Does nothing and returns false without a file.
  bool close();

  // Writes the complete file (header, tag buffer, End tag) to the stream at its position.
  // True when every byte was accepted.
  bool writeTo(std::FILE* file) const;

  // From now on the tags go straight to file (at its position, after a header whose length
  // and frame count are filled in by finishStream) instead of the tag buffer; what the buffer
  // holds is written first. The frame size must not change afterwards. Building a movie of
  // any length then needs no more memory than its largest tag. False when a write failed.
  bool streamTo(std::FILE* file);
  // Appends the End tag to the streamed file and rewrites its header with the final length and
  // frame count (seeking back to the header's place). True when every write succeeded; the
  // file is then complete but not yet flushed. The first failed write's errno is kept in
  // streamError().
  bool finishStream();
  bool isStreaming() const { return stream_ != nullptr; }
  int streamError() const { return streamError_; }

  // The complete file as close() writes it, as one contiguous copy.
  std::vector<std::uint8_t> fileBytes() const;

  bool isOpen() const { return file_ != nullptr; }
  const SwfRect& frameSize() const { return frameSize_; }
  std::uint16_t frameRate() const { return frameRate_; }
  std::uint16_t frameCount() const { return frameCount_; }
  // The tag buffer gathered into one contiguous block (valid until the next append).
  const std::vector<std::uint8_t>& tags() { return tags_.join(); }

 private:
  std::vector<std::uint8_t> header() const;
  // Appends bytes to the tag stream: the buffer, or the streamed file.
  void put(std::span<const std::uint8_t> bytes);
  // A PlaceObject2 of the character at depth with the encoded matrix (moving what stands there
  // when replace is set).
  void placeTag(std::uint16_t characterId, std::uint16_t depth, bool replace, std::span<const std::uint8_t> matrix,
                TagHeader header);

  SwfRect frameSize_;
  std::uint16_t frameRate_ = 0x0C00;  // 8.8 fixed point: 12.0 frames per second
  std::uint16_t frameCount_ = 0;
  util::FileHandle file_;
  ChunkedBytes tags_;
  std::FILE* stream_ = nullptr;   // the file the tags are streamed to, when streaming
  long streamStart_ = 0;          // where the header starts in it
  std::size_t streamedSize_ = 0;  // tag bytes written to it
  bool streamOk_ = true;
  bool shortPlacementHeaders_ = false;
  int streamError_ = 0;
};

}  // namespace brevanto::swf
