#include "swf/MovieAssembly.h"

#include "swf/PictureStack.h"
#include "swf/SwfJpegBitmap.h"
#include "swf/SwfLosslessBitmap.h"
#include "swf/SwfMovie.h"
#include "swf/SwfPictureRect.h"
#include "swf/SwfShape.h"
#include "util/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace brevanto::swf {

namespace {

constexpr std::uint16_t kFirstBitmapId = 2;

std::string sizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

util::Result<void, MovieError> checkInput(const MovieAssemblyInput& in) {
  if (auto why = movieRefusal(in)) return util::fail(MovieError{MovieError::Kind::Refused, std::move(*why), {}});
  return {};
}

// The input's checks, then whether the movie can go to its place: the output folder exists and
// the movie would not replace the file being converted.
util::Result<void, MovieError> checkPlace(const MovieAssemblyInput& in) {
  if (auto input = checkInput(in); !input) return input;
  const std::string folder = util::folderPath(in.outputFolder);
  if (folder.empty() || !util::isDirectory(folder))
    return util::fail(MovieError{MovieError::Kind::NoOutputFolder, {}, {}});
  std::error_code ec;
  if (fs::equivalent(fs::path(moviePath(folder, in.gifPath)), fs::path(in.gifPath), ec) && !ec)
    return util::fail(MovieError{MovieError::Kind::ReplacesSource, {}, {}});
  return {};
}

// The input's slotCount slots, asking for each picture in slot order; with stream, written
// into the movie's temporary file as they come.
MovieBuilder buildSlots(const MovieAssemblyInput& in, const PictureForSlot& pictureForSlot, bool stream) {
  MovieBuilder builder(in);
  if (stream) builder.streamToFile();
  for (int n = 0; n < in.slotCount; ++n) builder.add(pictureForSlot ? pictureForSlot(n) : SlotPicture{});
  return builder;
}

}  // namespace

std::uint16_t MovieAssemblyInput::headerRate() const {
  return frameRate88 != 0 ? frameRate88 : static_cast<std::uint16_t>(storedFrameRate(frameRate) << 8);
}

std::string movieFileName(const std::string& gifPath) {
  const std::string name = util::fileNamePart(gifPath);
  if (name.empty()) return {};
  if (name.size() < 3) return name + ".swf";
  return name.substr(0, name.size() - 3) + "swf";
}

std::string moviePath(const std::string& outputFolder, const std::string& gifPath) {
  return util::folderPath(outputFolder) + movieFileName(gifPath);
}

std::optional<std::string> movieRefusal(const MovieAssemblyInput& in) {
  if (in.stageWidth < 1 || in.stageWidth > kMaxStageSide || in.stageHeight < 1 || in.stageHeight > kMaxStageSide)
    return "The movie size " + sizeText(in.stageWidth, in.stageHeight) +
           " cannot be used: width and height must be between 1 and " + std::to_string(kMaxStageSide) + " pixels.";
  if (in.sourceWidth < 1 || in.sourceHeight < 1)
    return "The GIF size " + sizeText(in.sourceWidth, in.sourceHeight) +
           " cannot be used: its frames must be at least one pixel wide and high.";
  if (!in.isFlat() && (in.slotCount < 0 || in.slotCount > kMaxSlotCount))
    return "The animation is too long for one movie: it runs " + std::to_string(in.slotCount) +
           " steps of 100 ms, at most " + std::to_string(kMaxSlotCount) + " fit.";
  if (in.isFlat() && (in.slotCount < 0 || std::int64_t{in.slotCount} * std::max(1, in.passes) > kMaxMovieFrames))
    return "The animation is too long for one movie: it runs " +
           std::to_string(std::int64_t{in.slotCount} * std::max(1, in.passes)) + " movie frames, at most " +
           std::to_string(kMaxMovieFrames) + " fit.";
  if (movieFileName(in.gifPath).empty()) return "The GIF path \"" + in.gifPath + "\" has no file name.";
  return std::nullopt;
}

util::Result<std::string, MovieError> writeMovie(const MovieAssemblyInput& input,
                                                 const PictureForSlot& pictureForSlot) {
  // Checked before any picture is asked for (and again by MovieBuilder::write).
  if (auto checked = checkPlace(input); !checked) return util::fail(std::move(checked.error()));
  return buildSlots(input, pictureForSlot, true).write();
}

util::Result<std::vector<std::uint8_t>, MovieError> buildMovieBytes(const MovieAssemblyInput& input,
                                                                    const PictureForSlot& pictureForSlot) {
  if (auto checked = checkInput(input); !checked) return util::fail(std::move(checked.error()));
  return buildSlots(input, pictureForSlot, false).fileBytes();
}

struct MovieBuilder::State {
  MovieAssemblyInput input;  // slotCount unused
  bool refused = false;      // by the sizes or the name, whatever the slots
  int slots = 0;
  std::uint16_t currentBitmapId = kFirstBitmapId;
  bool frameOpen = false;  // the last slot's ShowFrame is still to come
  SwfMovie movie;
  std::optional<util::Replacement> stream;  // the movie's temporary file, when streaming

  // A flat movie: what each frame of the first pass placed, to play the later passes again.
  struct FramePlacement {
    enum class Kind { None, Whole, Rect } kind = Kind::None;
    std::uint16_t shapeId = 0;
    util::PixelRect rect;
  };
  std::vector<FramePlacement> placements;
  std::optional<PictureStack> stack;
  int pictures = 0;

  bool flat() const { return input.isFlat(); }
  int maxSlots() const { return flat() ? kMaxMovieFrames : kMaxSlotCount; }
  bool accepting() const { return !refused && slots <= maxSlots() && pictures <= kMaxSlotCount; }

  // Slot n: its picture (when one starts there), then a stage-sized rectangle filled with the
  // current picture, placed at depth n + 1, then the frame is shown. A flat movie places only
  // new pictures (addFlat).
  void add(const SlotPicture& picture) {
    const int n = slots;
    if (slots < std::numeric_limits<int>::max()) ++slots;
    if (refused || n >= maxSlots()) return;  // the movie is refused anyway: only counted
    closeFrame();
    frameOpen = true;
    if (flat()) {
      addFlat(picture);
      return;
    }
    const auto bitmapId = static_cast<std::uint16_t>(2 * n + 2);
    const auto shapeId = static_cast<std::uint16_t>(2 * n + 1);
    const auto depth = static_cast<std::uint16_t>(n + 1);
    if (picture.kind == SlotPicture::Kind::Jpeg) {
      SwfJpegBitmap bitmap(bitmapId, picture.bytes);
      movie.addCharacter(bitmap, 0, false);
    }
    if (picture.kind != SlotPicture::Kind::None) currentBitmapId = bitmapId;
    SwfShape shape = stageShape(shapeId, depth, false);
    movie.addCharacter(shape, depth, true);
  }

  // A stage-sized rectangle filled with the current picture, scaled from the picture's size onto
  // the stage; with equal sizes this is a fill scale of exactly 20. A flat movie leaves out the
  // invisible line style and uses short headers.
  SwfShape stageShape(std::uint16_t shapeId, std::uint16_t depth, bool compact) const {
    const auto stageW = static_cast<float>(input.stageWidth);
    const auto stageH = static_cast<float>(input.stageHeight);
    SwfShape shape(shapeId, 0, 0, stageW, stageH, depth);
    if (compact) {
      shape.useShortHeader();
    } else {
      shape.addLineStyle(0, 0, 0, 0, 0);
    }
    shape.addBitmapFill(currentBitmapId, SwfShape::kClippedBitmap, 0, 0, static_cast<float>(input.sourceWidth),
                        static_cast<float>(input.sourceHeight), 0, 0, stageW, stageH);
    shape.styleChange(compact ? 0 : 1, 1, 0, SwfShape::Point{0, 0});
    shape.straightEdge(stageW, 0);
    shape.straightEdge(0, stageH);
    shape.straightEdge(-stageW, 0);
    shape.straightEdge(0, -stageH);
    return shape;
  }

  // A flat movie's frame: a new picture is defined (bitmap, then its shape) and placed; a frame
  // without one (or whose picture could not be had) keeps what the frame before showed.
  void addFlat(const SlotPicture& picture) {
    FramePlacement placement;
    const bool hasPicture = picture.kind == SlotPicture::Kind::Jpeg || picture.kind == SlotPicture::Kind::Lossless;
    if (hasPicture && pictures++ < kMaxSlotCount) {
      const int k = pictures - 1;
      const auto bitmapId = static_cast<std::uint16_t>(2 * k + 2);
      const auto shapeId = static_cast<std::uint16_t>(2 * k + 1);
      if (picture.kind == SlotPicture::Kind::Jpeg) {
        SwfJpegBitmap bitmap(bitmapId, picture.bytes);
        movie.addCharacter(bitmap, 0, false);
      } else {
        SwfLosslessBitmap bitmap(bitmapId, picture.bytes, picture.transparent);
        movie.addCharacter(bitmap, 0, false);
      }
      currentBitmapId = bitmapId;
      const bool whole = picture.kind == SlotPicture::Kind::Jpeg ||
                         picture.rect == util::PixelRect{0, 0, input.sourceWidth, input.sourceHeight};
      if (whole) {
        SwfShape shape = stageShape(shapeId, PictureStack::kWholeDepth, true);
        movie.addCharacter(shape, 0, false);
        placement = {FramePlacement::Kind::Whole, shapeId, {}};
      } else if (auto shape = rectangleShape(shapeId, picture.rect)) {
        movie.addCharacter(*shape, 0, false);
        placement = {FramePlacement::Kind::Rect, shapeId, picture.rect};
      }
    }
    placements.push_back(placement);
    place(placement);
  }

  // Puts a flat movie's picture on the display list, taking off what it hides.
  void place(const FramePlacement& placement) {
    if (placement.kind == FramePlacement::Kind::None) return;
    if (!stack) stack.emplace(input.sourceWidth, input.sourceHeight);
    const PictureStack::Placement where =
        placement.kind == FramePlacement::Kind::Whole ? stack->placeWhole() : stack->placeRect(placement.rect);
    for (const std::uint16_t depth : where.removed) movie.removeObject(depth);
    movie.placeDefined(placement.shapeId, where.depth, where.replaces);
  }

  // A changed rectangle of the picture, drawn at the stage's whole-number scale of it.
  std::optional<SwfShape> rectangleShape(std::uint16_t shapeId, const util::PixelRect& rect) const {
    const int scale = input.stageWidth / input.sourceWidth;
    if (input.stageWidth != scale * input.sourceWidth || input.stageHeight != scale * input.sourceHeight)
      return std::nullopt;  // the picture maker never gives a part of a picture for such a stage
    auto shape = pictureRectShape(shapeId, 0, currentBitmapId, rect, scale);
    if (shape) shape->useShortHeader();
    return shape;
  }

  // The later passes of a flat movie: its frames again, placing the characters defined.
  void playLaterPasses() {
    for (int pass = 1; pass < input.passes; ++pass) {
      for (const FramePlacement& placement : placements) {
        closeFrame();
        frameOpen = true;
        place(placement);
      }
    }
    input.passes = 1;  // played; a second write adds nothing
  }

  // Ends the last slot's frame: its stop action when the movie stops there, then ShowFrame.
  // Each slot's frame is ended when the next slot starts or the movie is finished.
  void closeFrame(bool last = false) {
    if (!frameOpen) return;
    if (last && input.stopAtEnd) movie.addTag(doActionStopTag());
    movie.showFrame();
    frameOpen = false;
  }

  // Completes the movie's frames: the later passes, then the last frame's end.
  void finishFrames() {
    if (!refused && flat()) playLaterPasses();
    closeFrame(true);
  }

  MovieAssemblyInput counted() const {
    MovieAssemblyInput in = input;
    in.slotCount = slots;
    return in;
  }

  // The input's checks with the slots and pictures counted.
  util::Result<void, MovieError> checkCounted() const {
    if (auto checked = checkInput(counted()); !checked) return checked;
    if (pictures > kMaxSlotCount)
      return util::fail(MovieError{MovieError::Kind::Refused,
                                   "The animation has too many pictures for one movie: " + std::to_string(pictures) +
                                       ", at most " + std::to_string(kMaxSlotCount) + " fit.",
                                   {}});
    return {};
  }
};

MovieBuilder::MovieBuilder(const MovieAssemblyInput& input) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.input = input;
  s.input.slotCount = 0;
  s.refused = movieRefusal(s.input).has_value();
  if (s.refused) return;
  s.movie.setFrameSize(static_cast<float>(input.stageWidth), static_cast<float>(input.stageHeight));
  s.movie.setFrameRate88(input.headerRate());
  s.movie.setBackgroundColor(255, 255, 255);
  if (input.isFlat()) s.movie.useShortPlacementHeaders();
}

MovieBuilder::~MovieBuilder() = default;
MovieBuilder::MovieBuilder(MovieBuilder&&) noexcept = default;
MovieBuilder& MovieBuilder::operator=(MovieBuilder&&) noexcept = default;

void MovieBuilder::add(const SlotPicture& picture) { state_->add(picture); }

void MovieBuilder::addSlot(std::span<const std::uint8_t> jpeg) { add(SlotPicture::jpeg({jpeg.begin(), jpeg.end()})); }

void MovieBuilder::addEmptySlot() { add(SlotPicture{}); }

void MovieBuilder::addUnreadableSlot() { add(SlotPicture::unreadable()); }

void MovieBuilder::padTo(int count) {
  State& s = *state_;
  while (s.slots < count && s.accepting() && s.slots < s.maxSlots()) s.add(SlotPicture{});
  s.slots = std::max(s.slots, count);  // beyond what a movie holds: only counted
}

bool MovieBuilder::streamToFile() {
  State& s = *state_;
  if (s.stream || s.refused || s.slots > 0 || !checkPlace(s.counted())) return false;
  auto replacement = util::Replacement::begin(moviePath(s.input.outputFolder, s.input.gifPath));
  if (!replacement || !s.movie.streamTo(replacement->file())) return false;
  s.stream.emplace(std::move(*replacement));
  return true;
}

void MovieBuilder::stopAtEnd(bool stop) { state_->input.stopAtEnd = stop; }

void MovieBuilder::setPasses(int passes) { state_->input.passes = std::max(1, passes); }

int MovieBuilder::slotCount() const { return state_->slots; }

bool MovieBuilder::accepting() const { return state_->accepting(); }

util::Result<std::string, MovieError> MovieBuilder::write() const {
  const MovieAssemblyInput in = state_->counted();
  if (auto checked = checkPlace(in); !checked) return util::fail(std::move(checked.error()));
  if (auto counted = state_->checkCounted(); !counted) return util::fail(std::move(counted.error()));
  state_->finishFrames();
  std::string path = moviePath(in.outputFolder, in.gifPath);
  if (state_->stream) {
    std::optional<util::Replacement> stream = std::move(state_->stream);
    state_->stream.reset();
    SwfMovie& streamed = state_->movie;
    const bool ok = streamed.finishStream();
    auto committed = stream->commit(ok, streamed.streamError());
    if (!committed) return util::fail(MovieError{MovieError::Kind::CannotWrite, {}, committed.error()});
    return path;
  }
  const SwfMovie& movie = state_->movie;
  auto written = util::replaceFile(path, [&movie](std::FILE* file) { return movie.writeTo(file); });
  if (!written) return util::fail(MovieError{MovieError::Kind::CannotWrite, {}, written.error()});
  return path;
}

util::Result<std::vector<std::uint8_t>, MovieError> MovieBuilder::fileBytes() const {
  if (auto checked = state_->checkCounted(); !checked) return util::fail(std::move(checked.error()));
  if (state_->movie.isStreaming())  // its tags are in its file, not here
    return util::fail(MovieError{MovieError::Kind::Refused, "The movie is written to its file, not held.", {}});
  state_->finishFrames();
  return state_->movie.fileBytes();
}

}  // namespace brevanto::swf
