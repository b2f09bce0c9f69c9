#include "image/ImageProperties.h"

#include <algorithm>
#include <array>

#include "util/LittleEndian.h"

namespace brevanto::image {

namespace {

std::uint32_t readU32(const std::vector<std::uint8_t>& v, std::size_t offset) {
  return static_cast<std::uint32_t>(v[offset]) | (static_cast<std::uint32_t>(v[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(v[offset + 2]) << 16) | (static_cast<std::uint32_t>(v[offset + 3]) << 24);
}

// Reads an integer the way the C runtime's atoi does: leading blanks skipped, an optional sign,
// digits up to the first non-digit, 0 when there are none. Saturates instead of overflowing.
std::int64_t leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{1} << 40);
  }
  return negative ? -value : value;
}

// The camera and date items a writer copies into a file, with their types.
struct WritableKey {
  std::int32_t key;
  std::uint16_t type;
};
constexpr std::array<WritableKey, 12> kWritableKeys{{
    {0x010F, PropertyItem::Ascii},      // equipment maker
    {0x0110, PropertyItem::Ascii},      // equipment model
    {0x9003, PropertyItem::Ascii},      // date and time of capture
    {0x829A, PropertyItem::Rational},   // exposure time
    {0x829D, PropertyItem::Rational},   // F number
    {0x920A, PropertyItem::Rational},   // focal length
    {0x8827, PropertyItem::Short},      // ISO speed
    {0x9204, PropertyItem::SRational},  // exposure bias
    {0x9205, PropertyItem::Rational},   // maximum aperture
    {0x9209, PropertyItem::Short},      // flash
    {0x9207, PropertyItem::Short},      // metering mode
    {0x8822, PropertyItem::Short},      // exposure program
}};

bool encodeValue(std::uint16_t type, const std::string& text, std::vector<std::uint8_t>& out) {
  switch (type) {
    case PropertyItem::Ascii:
      out.assign(text.begin(), text.end());
      out.push_back(0);
      return true;
    case PropertyItem::Short: util::appendU16(out, static_cast<std::uint16_t>(leadingInteger(text))); return true;
    case PropertyItem::Long: util::appendU32(out, static_cast<std::uint32_t>(leadingInteger(text))); return true;
    case PropertyItem::Rational:
    case PropertyItem::SRational: {
      const auto slash = text.find('/');
      if (slash == std::string::npos) return false;
      util::appendU32(out, static_cast<std::uint32_t>(leadingInteger(std::string_view(text).substr(0, slash))));
      util::appendU32(out, static_cast<std::uint32_t>(leadingInteger(std::string_view(text).substr(slash + 1))));
      return true;
    }
    default: return false;
  }
}

}  // namespace

void ImageProperties::set(std::int32_t key, std::string value) {
  if (key == FrameDelaysKey) return;
  for (auto& entry : entries_) {
    if (entry.first == key) {
      entry.second = std::move(value);
      return;
    }
  }
  entries_.emplace_back(key, std::move(value));
}

std::string ImageProperties::get(std::int32_t key) const {
  for (const auto& entry : entries_) {
    if (entry.first == key) return entry.second;
  }
  return {};
}

bool ImageProperties::contains(std::int32_t key) const {
  if (key == FrameDelaysKey) return !frameDelaysMs_.empty();
  return std::any_of(entries_.begin(), entries_.end(), [key](const Entry& e) { return e.first == key; });
}

bool ImageProperties::remove(std::int32_t key) {
  if (key == FrameDelaysKey) {
    const bool had = !frameDelaysMs_.empty();
    frameDelaysMs_.clear();
    return had;
  }
  auto it = std::find_if(entries_.begin(), entries_.end(), [key](const Entry& e) { return e.first == key; });
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

void ImageProperties::setFrameDelays(std::span<const std::int32_t> hundredths) {
  frameDelaysMs_.clear();
  frameDelaysMs_.reserve(hundredths.size());
  for (const std::int32_t delay : hundredths)
    frameDelaysMs_.push_back(static_cast<std::uint64_t>(std::max(delay, 0)) * 10);
}

void ImageProperties::addPropertyItem(const PropertyItem& item) {
  const auto key = static_cast<std::int32_t>(item.id);
  const auto& v = item.value;
  switch (item.type) {
    case PropertyItem::Ascii: {
      auto nul = std::find(v.begin(), v.end(), std::uint8_t{0});
      set(key, std::string(v.begin(), nul));
      break;
    }
    case PropertyItem::Short:
      if (v.size() == 2) set(key, std::to_string(static_cast<unsigned>(v[0] | (v[1] << 8))));
      break;
    case PropertyItem::Long:
      if (v.size() == 4) set(key, std::to_string(readU32(v, 0)));
      break;
    case PropertyItem::Rational:
      if (v.size() == 8) set(key, std::to_string(readU32(v, 0)) + "/" + std::to_string(readU32(v, 4)));
      break;
    case PropertyItem::SRational:
      if (v.size() == 8) {
        set(key, std::to_string(static_cast<std::int32_t>(readU32(v, 0))) + "/" +
                     std::to_string(static_cast<std::int32_t>(readU32(v, 4))));
      }
      break;
    default: break;
  }
}

std::vector<PropertyItem> ImageProperties::writablePropertyItems() const {
  std::vector<PropertyItem> items;
  for (const auto& [key, text] : entries_) {
    auto it = std::find_if(kWritableKeys.begin(), kWritableKeys.end(),
                           [key = key](const WritableKey& w) { return w.key == key; });
    if (it == kWritableKeys.end()) continue;
    PropertyItem item;
    item.id = static_cast<std::uint32_t>(key);
    item.type = it->type;
    if (encodeValue(it->type, text, item.value)) items.push_back(std::move(item));
  }
  return items;
}

int ImageProperties::qualityFromText(std::string_view text) {
  if (text.empty() || text == "-1") return 80;
  return static_cast<int>(std::clamp<std::int64_t>(leadingInteger(text), 1, 100));
}

int ImageProperties::jpegQuality() const {
  std::string text = get(QualityKey);
  if (text.empty()) text = get(static_cast<std::int32_t>(kJpegQualityItemId));
  return qualityFromText(text);
}

}  // namespace brevanto::image
