#pragma once

// Turns the pictures of one GIF's timeline into one SWF movie.
//
// A movie of JPEG pictures in 100 ms steps (MovieAssemblyInput::isFlat() false) has one frame
// per 100 ms slot of the GIF's timeline. A slot with a picture embeds it
// (DefineBitsJPEG2, id 2n + 2) and shows it; a slot without one shows the most recent picture
// again. Every frame is a stage-sized rectangle (DefineShape3, id 2n + 1, depth n + 1) filled
// with the current picture scaled from the GIF's own size onto the stage, on a white background.
//
// Every other movie (MovieAssemblyInput::flat: lossless pictures, a timing of the GIF's own, or
// more than one pass) keeps its display list small, so that a player's work does not grow with
// the movie's length: each picture is defined once (bitmap id 2k + 2, shape id 2k + 1 for the
// k-th picture); a whole picture replaces the object at depth 1 and takes the changed rectangles
// above it off; a changed rectangle (lossless) gets a shape of its own size at its place on the
// stage, one depth above the others, and takes off the rectangles it covers (PictureStack); a
// frame without a new picture is a bare ShowFrame. Shapes have no line style, and shapes and
// placements short tag headers. With passes > 1 the frames are played again that many times in
// all, placing the characters already defined. With stopAtEnd the last frame holds a DoAction
// with ActionStop. Each frame's ShowFrame is written when the next frame starts or the movie is
// finished.
//
// The pictures come already encoded, one SlotPicture per slot in slot order: the caller decides
// where they come from (a frame encoder in memory, the capture folder) and may encode them ahead
// or in parallel; MovieBuilder only consumes them in order. writeMovie replaces
// "<output folder><gif file name with its last three characters replaced by swf>" atomically;
// on any failure the previous movie (if any) is left untouched and no partial file stays behind.
//
// Nothing here throws; no Qt. Calls on different threads are independent (no shared state).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "util/BgraView.h"
#include "util/File.h"
#include "util/Result.h"

namespace brevanto::swf {

// Stage sides outside 1..kMaxStageSide pixels cannot be stored in the movie header (16-bit twips).
inline constexpr int kMaxStageSide = 1638;
// Character ids are 16 bits; slot n uses ids 2n + 1 and 2n + 2, so at most this many slots fit
// (and a flat movie holds at most this many pictures, which take ids the same way).
inline constexpr int kMaxSlotCount = 32767;
// The movie header counts frames in 16 bits.
inline constexpr int kMaxMovieFrames = 65535;

struct MovieAssemblyInput {
  std::string gifPath;       // the GIF being converted; its file-name part names the movie
  std::string outputFolder;  // ends with "/"; must exist
  int stageWidth = 0;        // movie stage in pixels, 1..kMaxStageSide
  int stageHeight = 0;
  int sourceWidth = 0;  // the size the pictures were made at (>= 1): the GIF's own, or the
                        // stage's when that is smaller than the GIF
  int sourceHeight = 0;
  int frameRate = 10;  // whole frames per second; only the low 8 bits are stored
  // When not 0, the header's rate as 8.8 fixed point instead of frameRate (0x2155 = 33.33).
  std::uint16_t frameRate88 = 0;
  // Movie frames of one pass: 0..kMaxSlotCount, or 0..kMaxMovieFrames for a flat movie.
  int slotCount = 0;
  // Lossless pictures (SlotPicture::Kind::Lossless); such a movie is always flat.
  bool lossless = false;
  // The bounded display list described above, instead of one more object every frame.
  bool flat = false;
  // A flat movie's frames are played this many times in all (1..); the file holds them all.
  int passes = 1;
  // The movie stops in its last frame (a DoAction with ActionStop there) instead of looping.
  bool stopAtEnd = false;

  bool isFlat() const { return flat || lossless || passes > 1; }
  // The rate the movie header stores, 8.8 fixed point.
  std::uint16_t headerRate() const;
};

// The picture that starts at one slot, as the movie builder consumes it.
struct SlotPicture {
  enum class Kind {
    None,        // no picture starts here: the slot shows the most recent one again
    Jpeg,        // JPEG file bytes, embedded as they are
    Unreadable,  // a picture whose bytes could not be had: nothing is embedded, yet the
                 // slot's bitmap id becomes the current one
    Lossless,    // DefineBitsLossless fields after the id (swf::losslessBitmapFields) of the
                 // part `rect` of the picture; shown over the pictures before it
  };
  Kind kind = Kind::None;
  std::vector<std::uint8_t> bytes;
  // Lossless: where the bitmap lies in the picture (sourceWidth x sourceHeight). Anything but
  // the whole picture needs a stage of 1, 2, 3... times the picture's size in both directions.
  util::PixelRect rect;
  // Lossless: fields of swf::transparentBitmapFields (a DefineBitsLossless2 tag).
  bool transparent = false;

  static SlotPicture jpeg(std::vector<std::uint8_t> bytes) { return {Kind::Jpeg, std::move(bytes), {}}; }
  static SlotPicture unreadable() { return {Kind::Unreadable, {}, {}}; }
  static SlotPicture lossless(std::vector<std::uint8_t> fields, const util::PixelRect& rect,
                              bool transparent = false) {
    return {Kind::Lossless, std::move(fields), rect, transparent};
  }
};

// The picture for slot n; called once per slot, in slot order, from 0 to slotCount - 1.
using PictureForSlot = std::function<SlotPicture(int slot)>;

// Why a movie was not made or not written. The sentences for the user are made by the caller
// from these fields, except the refusal's, which names the limit the input broke.
struct MovieError {
  enum class Kind {
    Refused,         // the input cannot make a movie (sizes, length, no file name): detail
    NoOutputFolder,  // the output folder does not exist
    ReplacesSource,  // the movie would replace the file being converted
    CannotWrite,     // replacing the movie file failed: write
  };
  Kind kind = Kind::Refused;
  std::string detail;
  util::WriteFailure write;
};

// Why the input cannot make a movie (the Refused detail); nothing when it can. Lets a caller
// refuse a file from its sizes and length before making any picture.
std::optional<std::string> movieRefusal(const MovieAssemblyInput& input);

// Builds the input's slotCount slots from pictureForSlot and writes the movie. The checks run
// before any picture is asked for. Gives the movie's path.
util::Result<std::string, MovieError> writeMovie(const MovieAssemblyInput& input, const PictureForSlot& pictureForSlot);

// The finished movie file's bytes, built without writing anything.
util::Result<std::vector<std::uint8_t>, MovieError> buildMovieBytes(const MovieAssemblyInput& input,
                                                                    const PictureForSlot& pictureForSlot);

// Builds one movie slot by slot. Each picture is copied into the movie's tag stream when its slot
// is added, so the caller may let it go at once. Gives the same bytes, checks and errors as
// writeMovie for the same pictures.
class MovieBuilder {
 public:
  // Takes everything from input but slotCount: slots are counted as they are added.
  explicit MovieBuilder(const MovieAssemblyInput& input);
  ~MovieBuilder();
  MovieBuilder(MovieBuilder&&) noexcept;
  MovieBuilder& operator=(MovieBuilder&&) noexcept;
  MovieBuilder(const MovieBuilder&) = delete;
  MovieBuilder& operator=(const MovieBuilder&) = delete;

  // Adds the next slot with the picture that starts there (or none).
  void add(const SlotPicture& picture);
  // Adds the next slot with the JPEG file bytes of the picture that starts there.
  void addSlot(std::span<const std::uint8_t> jpeg);
  // Adds the next slot without a picture: it shows the most recent one again.
  void addEmptySlot();
  // Adds the next slot for a picture whose bytes could not be read (SlotPicture::Unreadable).
  void addUnreadableSlot();
  // Adds empty slots until there are `count`.
  void padTo(int count);
  // Whether the movie stops in its last frame (as MovieAssemblyInput::stopAtEnd).
  void stopAtEnd(bool stop = true);
  // The frames added are played `passes` times in all (as MovieAssemblyInput::passes); for a
  // movie built flat.
  void setPasses(int passes);

  // Writes the movie straight into its hidden temporary file beside the movie from now on,
  // so that building it holds no more than the slot at hand whatever its length; write() then
  // completes the header, flushes and renames it, and can be called once. Call before adding
  // slots. False (the movie is then held in memory and written by write() as before) when the
  // movie is refused, its place is not usable or the file cannot be created now: write() then
  // reports why. fileBytes() needs a movie that is not streamed.
  bool streamToFile();

  int slotCount() const;
  // False once the movie is sure to be refused (its sizes, its name, more slots than fit or, when
  // flat, more pictures than fit): slots are then only counted, so a caller may stop making
  // pictures.
  bool accepting() const;

  // Checks the movie and its place, then replaces the movie file atomically. Gives its path.
  // A refused streamed movie leaves nothing behind (its temporary file goes with the builder).
  util::Result<std::string, MovieError> write() const;
  // The finished file's bytes, with the same checks as write but those of the place.
  util::Result<std::vector<std::uint8_t>, MovieError> fileBytes() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// "<gif file name minus its last three characters>swf" (a name shorter than three characters
// gets ".swf" appended); empty when the GIF path has no file-name part.
std::string movieFileName(const std::string& gifPath);
// outputFolder (with the folder rule) + movieFileName(gifPath).
std::string moviePath(const std::string& outputFolder, const std::string& gifPath);

}  // namespace brevanto::swf
