#pragma once

// Walks the block structure of a GIF87a/GIF89a file held in memory: the header, the logical
// screen descriptor, and the sequence of extensions and images after them. It decodes no pixel.
//
// Every read is bounds-checked. A block whose length cannot be read, is not positive, or would
// move the cursor past the end of the data stops the walk: the blocks before it stand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace brevanto::controls {

enum class GifBlockKind {
  ApplicationExtension,     // 0x21 0xFF
  CommentExtension,         // 0x21 0xFE
  GraphicControlExtension,  // 0x21 0xF9
  PlainTextExtension,       // 0x21 0x01
  Image,                    // 0x2C
  Trailer,                  // 0x3B
  Unknown,                  // anything else, or too few bytes to tell
};

// One frame's run of blocks: a graphic control extension with every block after it up to and
// including the next image (with its data) or plain text extension; or an image or plain text
// extension met without a graphic control extension before it.
struct GifGraphicBlock {
  std::size_t begin = 0;    // offset of its first byte
  std::size_t end = 0;      // offset just past its last byte
  bool hasControl = false;  // starts with a graphic control extension
  int delay = -1;           // hundredths of a second; -1 without a graphic control extension
  int disposal = 0;         // bits 2..4 of the control's packed byte; 0 without one
  bool hasImage = false;    // ends in an image (false: ends in a plain text extension)
  int left = 0;             // image descriptor geometry; 0 for a plain text frame
  int top = 0;
  int width = 0;
  int height = 0;
};

class GifBlockParser {
 public:
  // Length of the signature and version plus the logical screen descriptor.
  static constexpr std::size_t kHeaderLength = 13;

  explicit GifBlockParser(std::span<const std::uint8_t> data);

  // The data begins with "GIF" (the version is not checked).
  bool isGif() const { return isGif_; }
  // The logical screen size; 0 when the descriptor is cut short.
  int screenWidth() const { return screenWidth_; }
  int screenHeight() const { return screenHeight_; }
  // 3 x 2^((packed & 7) + 1) when the descriptor announces a global colour table, else 0.
  std::size_t globalColorTableSize() const { return globalColorTableSize_; }
  // Offset of the first block: 13 + globalColorTableSize().
  std::size_t firstBlock() const { return kHeaderLength + globalColorTableSize_; }

  GifBlockKind classify(std::size_t cursor) const;
  // Bytes from cursor to the next block, or nullopt when the block is unknown, its length is
  // not positive, or it runs past the end of the data.
  std::optional<std::size_t> blockLength(std::size_t cursor) const;

  // The next graphic block at or after cursor, skipping application and comment extensions.
  // On success cursor moves past the block. nullopt when there is none (a trailer, an unknown
  // block, or a block that cannot be advanced over); cursor is then left where the walk stopped.
  std::optional<GifGraphicBlock> nextGraphicBlock(std::size_t& cursor) const;

  // Every graphic block from the first block on, in file order.
  std::vector<GifGraphicBlock> graphicBlocks() const;
  // The number of graphic blocks: the GIF's frame count.
  int countFrames() const { return static_cast<int>(graphicBlocks().size()); }

 private:
  std::optional<std::size_t> subBlockChainLength(std::size_t start) const;
  std::optional<std::size_t> colorTableSizeAt(std::size_t packedOffset) const;
  bool has(std::size_t offset, std::size_t count) const;
  std::uint16_t u16At(std::size_t offset) const;

  std::span<const std::uint8_t> data_;
  bool isGif_ = false;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  std::size_t globalColorTableSize_ = 0;
};

}  // namespace brevanto::controls
