#pragma once

// The one walk over a GIF's block structure: header, logical screen, colour tables, extensions,
// image descriptors and their data sub-blocks. It decodes no pixel; it finds where each frame
// lies and what its graphic control extension says. This is the only code that knows the GIF
// block markers: the decoder, the refusal made before decoding, the timeline and the frame
// table all read its index.
//
// Two readers need the blocks counted differently, so the walk has two rule sets:
//
// - GifRules::Decoder: as the decoder reads a file. Every extension is skipped by its own
//   sub-block chain, and an extension of an unknown label too. An image whose descriptor is
//   whole counts as a frame even when its colour table or data breaks off (the decoder keeps
//   what it can of it); the walk stops there. Of several graphic controls before one image,
//   the last sound one (size byte of 4 or more, all bytes present) governs it.
// - GifRules::FrameTable: as the frame table splits a file into standalone one-frame GIFs. A
//   frame is a run of blocks from a graphic control extension (or, without one, from the image
//   or plain text extension) up to and including the image with its data or a plain text
//   extension; only runs that lie whole within the data are frames. The graphic control counts
//   as 8 bytes whatever its size byte says and the first one in a run governs it; application
//   extensions count as 14 bytes before their chain, plain text extensions as 15. A trailer,
//   an extension of an unknown label, or a block that cannot be stepped over ends the table,
//   and an unfinished run is dropped.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brevanto::image {

enum class GifRules { Decoder, FrameTable };

// One frame the walk found.
struct GifFrame {
  // The frame's run of blocks, for the frame table: from its first block (the graphic control
  // extension, else the image or plain text extension) to just past its last byte. Under the
  // decoder's rules `begin` is the image separator and `end` where the frame's data ends or
  // breaks off.
  std::size_t begin = 0;
  std::size_t end = 0;
  bool hasControl = false;    // a graphic control extension governs it
  int delay = -1;             // hundredths of a second; -1 without a graphic control extension
  int disposal = 0;           // 0 without a graphic control extension; see kGifDispose*
  int transparentIndex = -1;  // -1 when the control sets none
  bool hasImage = false;      // false for a plain text frame (frame-table rules only)
  int left = 0;               // image descriptor geometry; 0 for a plain text frame
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlaced = false;
  // The local colour table's offset and size in bytes (0 without one); the LZW minimum code
  // size follows it. Under the decoder's rules these may point past the data when it breaks off.
  std::size_t colorTable = 0;
  std::size_t colorTableBytes = 0;
  std::size_t lzwCodeSizeAt() const { return colorTable + colorTableBytes; }
  // The data sub-blocks are all there up to their terminator.
  bool complete = false;
};

// Disposal methods a graphic control extension names: after its frame is shown, the frame's
// rectangle is cleared to the background, or what lay under it is restored.
inline constexpr int kGifDisposeBackground = 2;
inline constexpr int kGifDisposePrevious = 3;

struct GifIndex {
  bool isGif = false;      // the signature matches (the frame table asks only for "GIF")
  bool hasScreen = false;  // the logical screen descriptor is whole
  int screenWidth = 0;
  int screenHeight = 0;
  // The global colour table's size in bytes, 0 without one.
  std::size_t globalTableBytes = 0;
  // Offset of the first block after the screen descriptor and the global colour table.
  std::size_t firstBlock() const { return kScreenEnd + globalTableBytes; }
  // The canvas every frame is composed on: the logical screen, or the largest frame extent
  // when the screen has a zero side.
  int canvasWidth = 0;
  int canvasHeight = 0;
  // Under the decoder's rules only:
  bool restoresPrevious = false;  // some graphic control asks for disposal 3
  // The repeat count of the first looping application extension (NETSCAPE2.0 or ANIMEXTS1.0,
  // sub-block 1): 0 repeats forever. None without such an extension.
  std::optional<int> loopCount;
  std::size_t loopBlock = 0;  // offset of that extension
  std::vector<GifFrame> frames;

  // Each frame's delay in hundredths of a second (-1 without a graphic control extension).
  std::vector<int> delays() const;

  static constexpr std::size_t kScreenEnd = 13;  // signature, version and screen descriptor
};

GifIndex indexGif(std::span<const std::uint8_t> data, GifRules rules);

// Writes one frame of a frame-table index as a GIF of its own into out: the header, screen
// descriptor and global colour table, the frame's run of blocks, a trailer.
void standaloneFrame(std::span<const std::uint8_t> data, const GifIndex& index, const GifFrame& frame,
                     std::vector<std::uint8_t>& out);

// Whether the decoder may hold every frame of the file in memory: the canvas within the
// allocation limits, and one canvas per frame plus its working canvas (and the area a
// restoring frame saves) within the memory budget. The reason when not.
std::optional<std::string> gifMemoryRefusal(const GifIndex& index);

}  // namespace brevanto::image
