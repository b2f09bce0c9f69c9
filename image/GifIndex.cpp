#include "image/GifIndex.h"

#include <algorithm>
#include <cstring>

#include "image/ImageCodecFactory.h"
#include "image/ImageLimits.h"

namespace brevanto::image {

namespace {

// The block markers of the GIF format.
constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControlLabel = 0xF9;
constexpr std::uint8_t kApplicationLabel = 0xFF;
constexpr std::uint8_t kCommentLabel = 0xFE;
constexpr std::uint8_t kPlainTextLabel = 0x01;

constexpr std::size_t kDescriptorEnd = 10;  // separator and image descriptor

// Lengths the frame table gives extensions before their sub-block chain.
constexpr std::size_t kTableGraphicControl = 8;  // the whole extension, whatever its size byte
constexpr std::size_t kTableApplicationFixed = 14;
constexpr std::size_t kTableCommentFixed = 2;
constexpr std::size_t kTablePlainTextFixed = 15;

class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> data) : data_(data) {}
  bool has(std::size_t offset, std::size_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }
  std::uint8_t operator[](std::size_t offset) const { return data_[offset]; }
  int u16(std::size_t offset) const { return data_[offset] | (data_[offset + 1] << 8); }

  // Offset just past the terminator of the sub-block chain starting at `start`; none when the
  // chain runs past the data.
  std::optional<std::size_t> chainEnd(std::size_t start) const {
    std::size_t pos = start;
    for (;;) {
      if (!has(pos, 1)) return std::nullopt;
      const std::size_t size = data_[pos];
      pos += 1 + size;
      if (size == 0) return pos;
    }
  }

  // The repeat count of a looping application extension (NETSCAPE2.0 or ANIMEXTS1.0 whose
  // first sub-block has id 1) whose size byte is at `at`; none for any other extension.
  std::optional<int> loopCountAt(std::size_t at) const {
    if (!has(at, 1 + 11 + 4) || data_[at] != 11) return std::nullopt;
    const std::uint8_t* id = data_.data() + at + 1;
    const bool looping = std::memcmp(id, "NETSCAPE2.0", 11) == 0 || std::memcmp(id, "ANIMEXTS1.0", 11) == 0;
    if (!looping || data_[at + 12] < 3 || data_[at + 13] != 1) return std::nullopt;
    return u16(at + 14);
  }

 private:
  std::span<const std::uint8_t> data_;
};

std::size_t colorTableBytes(std::uint8_t packed) { return (packed & 0x80) ? std::size_t{3} << ((packed & 7) + 1) : 0; }

// Reads the graphic control extension at `pos` into frame: packed byte, delay, transparent index.
void readControl(const Bytes& bytes, std::size_t pos, GifFrame& frame) {
  const std::uint8_t packed = bytes[pos + 3];
  frame.hasControl = true;
  frame.disposal = (packed >> 2) & 7;
  frame.delay = bytes.u16(pos + 4);
  frame.transparentIndex = (packed & 1) ? bytes[pos + 6] : -1;
}

}  // namespace

std::vector<int> GifIndex::delays() const {
  std::vector<int> out;
  out.reserve(frames.size());
  for (const GifFrame& frame : frames) out.push_back(frame.delay);
  return out;
}

GifIndex indexGif(std::span<const std::uint8_t> data, GifRules rules) {
  const bool table = rules == GifRules::FrameTable;
  const Bytes bytes(data);
  GifIndex index;
  index.isGif = table ? bytes.has(0, 3) && std::memcmp(data.data(), "GIF", 3) == 0
                      : ImageCodecFactory::formatFromContent(data) == ImageFormat::Gif;
  if (!index.isGif || !bytes.has(0, GifIndex::kScreenEnd)) return index;
  index.hasScreen = true;
  index.screenWidth = bytes.u16(6);
  index.screenHeight = bytes.u16(8);
  index.globalTableBytes = colorTableBytes(bytes[10]);

  std::int64_t maxRight = 0;
  std::int64_t maxBottom = 0;
  // The frame being gathered: under the decoder's rules the control waiting for its image,
  // under the table's the run opened by a graphic control extension.
  GifFrame pending;
  bool runOpen = false;
  std::size_t pos = index.firstBlock();
  while (bytes.has(pos, 1)) {
    const std::uint8_t marker = bytes[pos];
    if (marker == kTrailer) break;
    if (marker == kImageSeparator) {
      if (!bytes.has(pos, kDescriptorEnd)) break;
      GifFrame frame = pending;
      if (!runOpen) frame.begin = pos;
      frame.hasImage = true;
      frame.left = bytes.u16(pos + 1);
      frame.top = bytes.u16(pos + 3);
      frame.width = bytes.u16(pos + 5);
      frame.height = bytes.u16(pos + 7);
      frame.interlaced = (bytes[pos + 9] & 0x40) != 0;
      frame.colorTable = pos + kDescriptorEnd;
      frame.colorTableBytes = colorTableBytes(bytes[pos + 9]);
      const std::size_t chainStart = frame.lzwCodeSizeAt() + 1;
      const auto end = bytes.has(chainStart, 0) ? bytes.chainEnd(chainStart) : std::nullopt;
      if (table && !end) break;
      frame.complete = end.has_value();
      frame.end = end.value_or(data.size());
      maxRight = std::max<std::int64_t>(maxRight, std::int64_t{frame.left} + frame.width);
      maxBottom = std::max<std::int64_t>(maxBottom, std::int64_t{frame.top} + frame.height);
      index.frames.push_back(frame);
      pending = GifFrame{};
      runOpen = false;
      if (!end) break;
      pos = *end;
      continue;
    }
    if (marker != kExtensionIntroducer || !bytes.has(pos, 2)) break;
    const std::uint8_t label = bytes[pos + 1];

    if (!table) {
      // Every extension is stepped over by its sub-block chain from the size byte on.
      if (label == kGraphicControlLabel) {
        if (bytes.has(pos + 3, 1) && ((bytes[pos + 3] >> 2) & 7) == kGifDisposePrevious) index.restoresPrevious = true;
        // A control block of at least 4 bytes, all of them there, governs the next image.
        if (bytes.has(pos + 2, 5) && bytes[pos + 2] >= 4) readControl(bytes, pos, pending);
      } else if (label == kApplicationLabel && !index.loopCount) {
        index.loopCount = bytes.loopCountAt(pos + 2);
        index.loopBlock = pos;
      }
      const auto end = bytes.chainEnd(pos + 2);
      if (!end) break;
      pos = *end;
      continue;
    }

    std::optional<std::size_t> length;
    auto withChain = [&](std::size_t fixed) -> std::optional<std::size_t> {
      if (!bytes.has(pos, fixed)) return std::nullopt;
      return bytes.chainEnd(pos + fixed);
    };
    switch (label) {
      case kGraphicControlLabel:
        if (bytes.has(pos, kTableGraphicControl)) length = pos + kTableGraphicControl;
        break;
      case kApplicationLabel: length = withChain(kTableApplicationFixed); break;
      case kCommentLabel: length = withChain(kTableCommentFixed); break;
      case kPlainTextLabel: length = withChain(kTablePlainTextFixed); break;
      default: break;  // an unknown extension ends the table
    }
    if (!length) break;
    if (label == kGraphicControlLabel && !runOpen) {
      pending = GifFrame{};
      pending.begin = pos;
      readControl(bytes, pos, pending);
      runOpen = true;
    } else if (label == kPlainTextLabel) {
      GifFrame frame = pending;
      if (!runOpen) frame.begin = pos;
      frame.end = *length;
      frame.complete = true;
      index.frames.push_back(frame);
      pending = GifFrame{};
      runOpen = false;
    }
    pos = *length;
  }

  if (index.screenWidth > 0 && index.screenHeight > 0) {
    index.canvasWidth = index.screenWidth;
    index.canvasHeight = index.screenHeight;
  } else {
    index.canvasWidth = static_cast<int>(std::max<std::int64_t>(index.screenWidth, maxRight));
    index.canvasHeight = static_cast<int>(std::max<std::int64_t>(index.screenHeight, maxBottom));
  }
  return index;
}

void standaloneFrame(std::span<const std::uint8_t> data, const GifIndex& index, const GifFrame& frame,
                     std::vector<std::uint8_t>& out) {
  const auto prefix = static_cast<std::ptrdiff_t>(index.firstBlock());
  out.assign(data.begin(), data.begin() + prefix);
  out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(frame.begin),
             data.begin() + static_cast<std::ptrdiff_t>(frame.end));
  out.push_back(kTrailer);
}

std::optional<std::string> gifMemoryRefusal(const GifIndex& index) {
  const std::uint64_t canvasBytes =
      std::uint64_t{static_cast<std::uint32_t>(index.canvasWidth)} * static_cast<std::uint32_t>(index.canvasHeight) * 4;
  if (auto canvas = checkImageAllocation(index.canvasWidth, index.canvasHeight, canvasBytes); !canvas) {
    return canvas.error();
  }
  // Every frame delivered becomes one canvas-sized image kept by the caller; the decoder
  // itself holds the working canvas and, for restore-to-previous frames, the area under one.
  const std::uint64_t frameCount = index.frames.size();
  const std::uint64_t budget = memoryBudgetBytes();
  const std::uint64_t copies = frameCount + (index.restoresPrevious ? 2 : 1);
  if (frameCount > budget / canvasBytes || canvasBytes * copies > budget) {
    const std::uint64_t needed = canvasBytes * std::min<std::uint64_t>(copies, (UINT64_MAX / canvasBytes));
    return std::to_string(frameCount) + " frames of " + std::to_string(index.canvasWidth) + " x " +
           std::to_string(index.canvasHeight) + " pixels need " + std::to_string(needed >> 20) +
           " MiB, more than the memory budget of " + std::to_string(budget >> 20) + " MiB";
  }
  return std::nullopt;
}

}  // namespace brevanto::image
