#include "swf/SwfMovie.h"

#include "swf/SwfBitWriter.h"
#include "swf/SwfTagCode.h"

#include <array>
#include <cerrno>

namespace brevanto::swf {

namespace {

constexpr std::array<std::uint8_t, 3> kSignature{'F', 'W', 'S'};
constexpr std::array<std::uint8_t, 2> kEndTag{0x00, 0x00};

}  // namespace

SwfMovie::SwfMovie() : frameSize_(0, 0, 200.0f, 200.0f) {}

SwfMovie::~SwfMovie() = default;

bool SwfMovie::open(const std::string& path, float width, float height, int framesPerSecond) {
  if (file_) return false;
  file_ = util::openFile(path, "wb");
  if (!file_) return false;
  setFrameSize(width, height);
  setFrameRate(framesPerSecond);
  return true;
}

void SwfMovie::setFrameSize(float width, float height) { frameSize_ = SwfRect(0, 0, width, height); }

void SwfMovie::setFrameRate(int framesPerSecond) {
  frameRate_ = static_cast<std::uint16_t>(storedFrameRate(framesPerSecond) << 8);
}

void SwfMovie::setBackgroundColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::vector<std::uint8_t> tag;
  appendU16(tag, shortTagHeader(SwfTagCode::SetBackgroundColor, 3));
  appendU8(tag, r);
  appendU8(tag, g);
  appendU8(tag, b);
  put(tag);
}

void SwfMovie::addCharacter(SwfCharacter& character, std::uint16_t depth, bool place) {
  put(character.tagBytes());
  if (place && character.kind() != SwfCharacter::Kind::Bitmap) placeObject(character, depth);
}

namespace {

constexpr std::uint8_t kPlaceMove = 0x01;
constexpr std::uint8_t kPlaceHasCharacter = 0x02;
constexpr std::uint8_t kPlaceHasMatrix = 0x04;

}  // namespace

void SwfMovie::placeObject(const SwfCharacter& character, std::uint16_t depth, bool replace) {
  placeTag(character.id(), depth, replace, character.placementMatrix().encode(),
           shortPlacementHeaders_ ? TagHeader::ShortWhenItFits : TagHeader::Long);
}

void SwfMovie::placeDefined(std::uint16_t characterId, std::uint16_t depth, bool replace) {
  constexpr std::uint8_t kIdentityMatrix[] = {0x00};
  placeTag(characterId, depth, replace, kIdentityMatrix, TagHeader::ShortWhenItFits);
}

void SwfMovie::placeTag(std::uint16_t characterId, std::uint16_t depth, bool replace,
                        std::span<const std::uint8_t> matrix, TagHeader header) {
  std::vector<std::uint8_t> tag;
  appendTagHeader(tag, SwfTagCode::PlaceObject2, 5 + matrix.size(), header);
  appendU8(tag, static_cast<std::uint8_t>(kPlaceHasMatrix | kPlaceHasCharacter | (replace ? kPlaceMove : 0)));
  appendU16(tag, depth);
  appendU16(tag, characterId);
  appendBytes(tag, matrix);
  put(tag);
}

void SwfMovie::removeObject(std::uint16_t depth) {
  std::vector<std::uint8_t> tag;
  appendU16(tag, shortTagHeader(SwfTagCode::RemoveObject2, 2));
  appendU16(tag, depth);
  put(tag);
}

void SwfMovie::addTag(std::span<const std::uint8_t> tag) {
  put(tag);  // into the file too when the movie is streamed
}

void SwfMovie::showFrame() {
  std::vector<std::uint8_t> tag;
  appendU16(tag, shortTagHeader(SwfTagCode::ShowFrame, 0));
  put(tag);
  ++frameCount_;
}

std::vector<std::uint8_t> SwfMovie::header() const {
  const std::vector<std::uint8_t> rect = frameSize_.encode();
  const std::size_t fileLength = tags_.size() + streamedSize_ + rect.size() + 14;
  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  out.reserve(12 + rect.size());
  appendU8(out, kVersion);
  appendU32(out, static_cast<std::uint32_t>(fileLength));
  appendBytes(out, rect);
  appendU16(out, frameRate_);
  appendU16(out, frameCount_);
  return out;
}

std::vector<std::uint8_t> SwfMovie::fileBytes() const {
  std::vector<std::uint8_t> out = header();
  out.reserve(out.size() + tags_.size() + kEndTag.size());
  for (const auto& block : tags_.blocks()) appendBytes(out, block);
  appendBytes(out, kEndTag);
  return out;
}

bool SwfMovie::writeTo(std::FILE* file) const {
  bool ok = util::writeAll(file, header());
  for (const auto& block : tags_.blocks()) ok = ok && util::writeAll(file, block);
  return ok && util::writeAll(file, kEndTag);
}

void SwfMovie::put(std::span<const std::uint8_t> bytes) {
  if (!stream_) {
    tags_.append(bytes);
    return;
  }
  if (streamOk_ && !util::writeAll(stream_, bytes)) {
    streamOk_ = false;
    streamError_ = errno;
  }
  streamedSize_ += bytes.size();
}

bool SwfMovie::streamTo(std::FILE* file) {
  if (stream_ || !file) return false;
  stream_ = file;
  streamStart_ = std::ftell(file);
  ChunkedBytes buffered = std::move(tags_);
  tags_ = ChunkedBytes();
  streamOk_ = streamStart_ >= 0 && util::writeAll(file, header());
  if (!streamOk_) streamError_ = errno;
  for (const auto& block : buffered.blocks()) put(block);
  return streamOk_;
}

bool SwfMovie::finishStream() {
  if (!stream_) return false;
  put(kEndTag);
  // The End tag is not part of the tag count the header is computed from.
  streamedSize_ -= kEndTag.size();
  if (streamOk_ && (std::fseek(stream_, streamStart_, SEEK_SET) != 0 || !util::writeAll(stream_, header()) ||
                    std::fseek(stream_, 0, SEEK_END) != 0)) {
    streamOk_ = false;
    streamError_ = errno;
  }
  return streamOk_;
}

bool SwfMovie::close() {
  if (!file_) return false;
  std::FILE* file = file_.get();
  bool ok = std::fseek(file, 0, SEEK_SET) == 0 && writeTo(file);
  // Durable before a caller renames the file into place.
  ok = ok && util::flushToDevice(file);
  const bool closed = std::fclose(file_.release()) == 0;
  return ok && closed;
}

}  // namespace brevanto::swf
