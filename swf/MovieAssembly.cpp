#include "swf/MovieAssembly.h"

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

// The reason the input cannot make a movie, or an empty text when it can.
std::string refusal(const MovieAssemblyInput& in) {
  if (in.stageWidth < 1 || in.stageWidth > kMaxStageSide || in.stageHeight < 1 || in.stageHeight > kMaxStageSide)
    return "The movie size " + sizeText(in.stageWidth, in.stageHeight) +
           " cannot be used: width and height must be between 1 and " + std::to_string(kMaxStageSide) + " pixels.";
  if (in.sourceWidth < 1 || in.sourceHeight < 1)
    return "The GIF size " + sizeText(in.sourceWidth, in.sourceHeight) +
           " cannot be used: its frames must be at least one pixel wide and high.";
  if (in.slotCount < 0 || in.slotCount > kMaxSlotCount)
    return "The animation is too long for one movie: it runs " + std::to_string(in.slotCount) +
           " steps of 100 ms, at most " + std::to_string(kMaxSlotCount) + " fit.";
  if (movieFileName(in.gifPath).empty()) return "The GIF path \"" + in.gifPath + "\" has no file name.";
  return {};
}

util::Result<void, MovieError> checkInput(const MovieAssemblyInput& in) {
  if (std::string why = refusal(in); !why.empty())
    return util::fail(MovieError{MovieError::Kind::Refused, std::move(why), {}});
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

std::string movieFileName(const std::string& gifPath) {
  const std::string name = util::fileNamePart(gifPath);
  if (name.empty()) return {};
  if (name.size() < 3) return name + ".swf";
  return name.substr(0, name.size() - 3) + "swf";
}

std::string moviePath(const std::string& outputFolder, const std::string& gifPath) {
  return util::folderPath(outputFolder) + movieFileName(gifPath);
}

std::string movieRefusal(const MovieAssemblyInput& input) { return refusal(input); }

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

  bool accepting() const { return !refused && slots <= kMaxSlotCount; }

  // Slot n: its picture (when one starts there), then a stage-sized rectangle filled with the
  // current picture, placed at depth n + 1, then the frame is shown.
  void add(const SlotPicture& picture) {
    const int n = slots;
    if (slots < std::numeric_limits<int>::max()) ++slots;
    if (refused || n >= kMaxSlotCount) return;  // the movie is refused anyway: only counted
    closeFrame();
    frameOpen = true;
    if (input.lossless && picture.kind == SlotPicture::Kind::None) return;
    const auto bitmapId = static_cast<std::uint16_t>(2 * n + 2);
    const auto shapeId = static_cast<std::uint16_t>(2 * n + 1);
    const auto depth = static_cast<std::uint16_t>(n + 1);
    if (picture.kind == SlotPicture::Kind::Jpeg) {
      SwfJpegBitmap bitmap(bitmapId, picture.bytes);
      movie.addCharacter(bitmap, 0, false);
    }
    if (picture.kind == SlotPicture::Kind::Lossless) {
      SwfLosslessBitmap bitmap(bitmapId, picture.bytes);
      movie.addCharacter(bitmap, 0, false);
    }
    if (picture.kind != SlotPicture::Kind::None) currentBitmapId = bitmapId;
    if (picture.kind == SlotPicture::Kind::Lossless &&
        picture.rect != util::PixelRect{0, 0, input.sourceWidth, input.sourceHeight}) {
      addRectangle(shapeId, depth, picture.rect);
      return;
    }

    // The picture is scaled from the GIF's own size onto the stage; with equal sizes this
    // is a fill scale of exactly 20.
    const auto stageW = static_cast<float>(input.stageWidth);
    const auto stageH = static_cast<float>(input.stageHeight);
    SwfShape shape(shapeId, 0, 0, stageW, stageH, depth);
    // A lossless movie leaves out the invisible line style and uses short headers.
    if (input.lossless) {
      shape.useShortHeader();
    } else {
      shape.addLineStyle(0, 0, 0, 0, 0);
    }
    shape.addBitmapFill(currentBitmapId, SwfShape::kClippedBitmap, 0, 0, static_cast<float>(input.sourceWidth),
                        static_cast<float>(input.sourceHeight), 0, 0, stageW, stageH);
    shape.styleChange(input.lossless ? 0 : 1, 1, 0, SwfShape::Point{0, 0});
    shape.straightEdge(stageW, 0);
    shape.straightEdge(0, stageH);
    shape.straightEdge(-stageW, 0);
    shape.straightEdge(0, -stageH);
    movie.addCharacter(shape, depth, true);
  }

  // A changed rectangle of the picture, drawn at the stage's whole-number scale of it.
  void addRectangle(std::uint16_t shapeId, std::uint16_t depth, const util::PixelRect& rect) {
    const int scale = input.stageWidth / input.sourceWidth;
    if (input.stageWidth != scale * input.sourceWidth || input.stageHeight != scale * input.sourceHeight)
      return;  // the picture maker never gives a part of a picture for such a stage
    if (auto shape = pictureRectShape(shapeId, depth, currentBitmapId, rect, scale))
      movie.addCharacter(*shape, depth, true);
  }

  // Ends the last slot's frame: its stop action when the movie stops there, then ShowFrame.
  // Each slot's frame is ended when the next slot starts or the movie is finished.
  void closeFrame(bool last = false) {
    if (!frameOpen) return;
    if (last && input.stopAtEnd) movie.addTag(doActionStopTag());
    movie.showFrame();
    frameOpen = false;
  }

  MovieAssemblyInput counted() const {
    MovieAssemblyInput in = input;
    in.slotCount = slots;
    return in;
  }
};

MovieBuilder::MovieBuilder(const MovieAssemblyInput& input) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.input = input;
  s.input.slotCount = 0;
  s.refused = !refusal(s.input).empty();
  if (s.refused) return;
  s.movie.setFrameSize(static_cast<float>(input.stageWidth), static_cast<float>(input.stageHeight));
  s.movie.setFrameRate(input.frameRate);
  s.movie.setBackgroundColor(255, 255, 255);
  if (input.lossless) s.movie.useShortPlacementHeaders();
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
  while (s.slots < count && s.accepting() && s.slots < kMaxSlotCount) s.add(SlotPicture{});
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

void MovieBuilder::stopAtEnd() { state_->input.stopAtEnd = true; }

int MovieBuilder::slotCount() const { return state_->slots; }

bool MovieBuilder::accepting() const { return state_->accepting(); }

util::Result<std::string, MovieError> MovieBuilder::write() const {
  const MovieAssemblyInput in = state_->counted();
  if (auto checked = checkPlace(in); !checked) return util::fail(std::move(checked.error()));
  state_->closeFrame(true);
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
  if (auto checked = checkInput(state_->counted()); !checked) return util::fail(std::move(checked.error()));
  if (state_->movie.isStreaming())  // its tags are in its file, not here
    return util::fail(MovieError{MovieError::Kind::Refused, "The movie is written to its file, not held.", {}});
  state_->closeFrame(true);
  return state_->movie.fileBytes();
}

}  // namespace brevanto::swf
