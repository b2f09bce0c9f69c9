#include "controls/GifBlockParser.h"
#include "image/GifBlocks.h"

namespace brevanto::controls {

namespace {

using namespace image::gif;

// Fixed parts of each block before its sub-block chain.
constexpr std::size_t kApplicationFixed = 14;  // introducer, label, size 11, 11 bytes
constexpr std::size_t kCommentFixed = 2;       // introducer, label
constexpr std::size_t kGraphicControlLength = 8;
constexpr std::size_t kPlainTextFixed = 15;  // introducer, label, size 12, 12 bytes
constexpr std::size_t kImageDescriptorLength = 10;
constexpr std::size_t kImageFixed = 11;  // descriptor plus the LZW minimum code size

constexpr std::size_t kPackedOffsetInScreen = 10;
constexpr std::size_t kPackedOffsetInImage = 9;

}  // namespace

GifBlockParser::GifBlockParser(std::span<const std::uint8_t> data) : data_(data) {
  isGif_ = data_.size() >= 3 && data_[0] == 'G' && data_[1] == 'I' && data_[2] == 'F';
  if (!isGif_ || !has(0, kHeaderLength)) return;
  screenWidth_ = u16At(6);
  screenHeight_ = u16At(8);
  globalColorTableSize_ = colorTableSizeAt(kPackedOffsetInScreen).value_or(0);
}

bool GifBlockParser::has(std::size_t offset, std::size_t count) const {
  return offset <= data_.size() && count <= data_.size() - offset;
}

std::uint16_t GifBlockParser::u16At(std::size_t offset) const {
  return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
}

std::optional<std::size_t> GifBlockParser::colorTableSizeAt(std::size_t packedOffset) const {
  if (!has(packedOffset, 1)) return std::nullopt;
  const std::uint8_t packed = data_[packedOffset];
  if ((packed & 0x80) == 0) return 0;
  return std::size_t{3} << ((packed & 7) + 1);
}

GifBlockKind GifBlockParser::classify(std::size_t cursor) const {
  if (!has(cursor, 1)) return GifBlockKind::Unknown;
  const std::uint8_t first = data_[cursor];
  if (first == kImageSeparator) return GifBlockKind::Image;
  if (first == kTrailer) return GifBlockKind::Trailer;
  if (first != kExtensionIntroducer || !has(cursor, 2)) return GifBlockKind::Unknown;
  switch (data_[cursor + 1]) {
    case kApplicationLabel: return GifBlockKind::ApplicationExtension;
    case kCommentLabel: return GifBlockKind::CommentExtension;
    case kGraphicControlLabel: return GifBlockKind::GraphicControlExtension;
    case kPlainTextLabel: return GifBlockKind::PlainTextExtension;
    default: return GifBlockKind::Unknown;
  }
}

std::optional<std::size_t> GifBlockParser::subBlockChainLength(std::size_t start) const {
  std::size_t pos = start;
  for (;;) {
    if (!has(pos, 1)) return std::nullopt;  // the chain runs past the data
    const std::size_t size = data_[pos];
    pos += 1 + size;
    if (size == 0) return pos - start;
  }
}

std::optional<std::size_t> GifBlockParser::blockLength(std::size_t cursor) const {
  std::optional<std::size_t> length;
  auto withChain = [&](std::size_t fixed) -> std::optional<std::size_t> {
    if (!has(cursor, fixed)) return std::nullopt;
    const auto chain = subBlockChainLength(cursor + fixed);
    if (!chain) return std::nullopt;
    return fixed + *chain;
  };
  switch (classify(cursor)) {
    case GifBlockKind::ApplicationExtension: length = withChain(kApplicationFixed); break;
    case GifBlockKind::CommentExtension: length = withChain(kCommentFixed); break;
    case GifBlockKind::GraphicControlExtension: length = kGraphicControlLength; break;
    case GifBlockKind::PlainTextExtension: length = withChain(kPlainTextFixed); break;
    case GifBlockKind::Image: {
      const auto localTable = colorTableSizeAt(cursor + kPackedOffsetInImage);
      if (!localTable) return std::nullopt;
      length = withChain(kImageFixed + *localTable);
      break;
    }
    case GifBlockKind::Trailer: length = 1; break;
    case GifBlockKind::Unknown: return std::nullopt;
  }
  if (!length || *length == 0 || !has(cursor, *length)) return std::nullopt;
  return length;
}

std::optional<GifGraphicBlock> GifBlockParser::nextGraphicBlock(std::size_t& cursor) const {
  std::size_t pos = cursor;
  GifGraphicBlock block;
  auto fail = [&]() -> std::optional<GifGraphicBlock> {
    cursor = pos;
    return std::nullopt;
  };
  auto finish = [&](std::size_t length) -> std::optional<GifGraphicBlock> {
    pos += length;
    block.end = pos;
    cursor = pos;
    return block;
  };
  auto readImageGeometry = [&](std::size_t at) {
    // blockLength succeeded, so the whole descriptor lies within the data.
    block.hasImage = true;
    block.left = u16At(at + 1);
    block.top = u16At(at + 3);
    block.width = u16At(at + 5);
    block.height = u16At(at + 7);
  };

  // Skip the extensions that carry no picture until the frame starts.
  for (;;) {
    const GifBlockKind kind = classify(pos);
    if (kind != GifBlockKind::ApplicationExtension && kind != GifBlockKind::CommentExtension) break;
    const auto length = blockLength(pos);
    if (!length) return fail();
    pos += *length;
  }

  block.begin = pos;
  const auto length = blockLength(pos);
  if (!length) return fail();
  switch (classify(pos)) {
    case GifBlockKind::Image: readImageGeometry(pos); return finish(*length);
    case GifBlockKind::PlainTextExtension: return finish(*length);
    case GifBlockKind::GraphicControlExtension: break;
    default: return fail();  // trailer (or anything else): no further frame
  }

  // A graphic control extension: it governs the next image (or plain text extension).
  block.hasControl = true;
  block.disposal = (data_[pos + 3] >> 2) & 7;
  block.delay = u16At(pos + 4);
  pos += *length;
  for (;;) {
    const GifBlockKind kind = classify(pos);
    const auto next = blockLength(pos);
    if (!next) return fail();
    switch (kind) {
      case GifBlockKind::Image: readImageGeometry(pos); return finish(*next);
      case GifBlockKind::PlainTextExtension: return finish(*next);
      case GifBlockKind::ApplicationExtension:
      case GifBlockKind::CommentExtension:
      case GifBlockKind::GraphicControlExtension: pos += *next; break;
      default: return fail();
    }
  }
}

std::vector<GifGraphicBlock> GifBlockParser::graphicBlocks() const {
  std::vector<GifGraphicBlock> blocks;
  if (!isGif_ || !has(0, kHeaderLength)) return blocks;
  std::size_t cursor = firstBlock();
  while (auto block = nextGraphicBlock(cursor)) blocks.push_back(*block);
  return blocks;
}

}  // namespace brevanto::controls
