#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brevanto::image {

// One metadata item as an imaging codec exchanges it: an id from the published property-item
// list (0x5101 GIF loop count, 0x010F camera maker, ...), a type and the
// raw value bytes (numbers little-endian).
struct PropertyItem {
  enum Type : std::uint16_t {
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    Undefined = 7,
    SLong = 9,
    SRational = 10,
  };
  std::uint32_t id = 0;
  std::uint16_t type = 0;
  std::vector<std::uint8_t> value;
};

// Well-known property-item ids.
inline constexpr std::uint32_t kLoopCountItemId = 0x5101;    // SHORT
inline constexpr std::uint32_t kJpegQualityItemId = 0x5010;  // fallback quality text

// An ordered list of (key, text) pairs with unique keys: the metadata of a loaded file and the
// options of a save. Setting an existing key replaces its text in place; a new key is appended.
// The frame delays of a load are kept apart as numbers; FrameDelaysKey names them in contains()
// and remove(), while set() and get() leave them alone.
class ImageProperties {
 public:
  static constexpr std::int32_t QualityKey = 500;       // JPEG quality, "-1" = default
  static constexpr std::int32_t RleKey = 1000;          // "1" for an RLE TGA, else "-1"
  static constexpr std::int32_t FrameDelaysKey = 2000;  // frame delays, held as numbers: frameDelaysMs()

  using Entry = std::pair<std::int32_t, std::string>;

  void set(std::int32_t key, std::string value);
  // The text under key; the empty text when absent.
  std::string get(std::int32_t key) const;
  bool contains(std::int32_t key) const;
  bool remove(std::int32_t key);
  void clear() {
    entries_.clear();
    frameDelaysMs_.clear();
  }

  // The text entries; the frame delays are not counted.
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty() && frameDelaysMs_.empty(); }
  const std::vector<Entry>& entries() const { return entries_; }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  bool operator==(const ImageProperties&) const = default;

  // Reads one decoded property item into the list:
  //  ASCII -> text up to the first NUL; SHORT (length 2) -> unsigned decimal;
  //  LONG (length 4) -> unsigned decimal; RATIONAL / SRATIONAL (length 8) -> "num/den";
  //  anything else is ignored.
  void addPropertyItem(const PropertyItem& item);
  void addPropertyItems(const std::vector<PropertyItem>& items) {
    for (const auto& item : items) addPropertyItem(item);
  }

  // The property items a writer copies into a file: only the whitelisted camera and date keys
  // (maker, model, capture date, exposure, F number, focal length, ISO, bias, aperture, flash,
  // metering, program), in list order, encoded with their fixed types. Keys whose text cannot be
  // encoded (a rational without "/") are left out.
  std::vector<PropertyItem> writablePropertyItems() const;

  // JPEG quality of a save: QualityKey's text, else the text under 0x5010; empty or "-1" gives
  // 80; otherwise the leading integer (blanks skipped, 0 without digits), clamped to 1..100.
  int jpegQuality() const;
  static int qualityFromText(std::string_view text);

  // Sets an animation's frame delays, given in hundredths of a second as its file states them.
  void setFrameDelays(std::span<const std::int32_t> hundredths);
  // The frame delays in milliseconds, one per frame in file order; empty when the file has none.
  const std::vector<std::uint64_t>& frameDelaysMs() const { return frameDelaysMs_; }

 private:
  std::vector<Entry> entries_;
  std::vector<std::uint64_t> frameDelaysMs_;
};

}  // namespace brevanto::image
