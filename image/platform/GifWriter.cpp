#include "image/platform/GifWriter.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "image/ImageLimits.h"
#include "image/platform/PixelRows.h"

namespace brevanto::image::platform {

namespace {

constexpr std::uint32_t kTransparentKey = 0x00FFFFFF;

int writeToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

struct GifWriterCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    EGifCloseFile(gif, &error);
  }
};

struct MapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// The colour of a BGRA pixel as a key: opaque colours as 0xFFRRGGBB, every pixel with alpha
// below 128 as one transparent key.
inline std::uint32_t keyOf(const std::uint8_t* p) {
  if (p[3] < 128) return kTransparentKey;
  return 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

// Median cut over a 5-5-5 histogram: returns up to maxColors palette colours (0xRRGGBB).
std::vector<std::uint32_t> medianCut(const std::vector<std::uint32_t>& histogram, std::size_t maxColors) {
  struct Cell {
    std::uint8_t c[3];
    std::uint32_t count;
  };
  std::vector<Cell> cells;
  for (std::uint32_t i = 0; i < histogram.size(); ++i) {
    if (histogram[i])
      cells.push_back({{static_cast<std::uint8_t>(i >> 10), static_cast<std::uint8_t>((i >> 5) & 31),
                        static_cast<std::uint8_t>(i & 31)},
                       histogram[i]});
  }
  struct Range {
    std::size_t begin, end;
  };
  std::vector<Range> boxes = {{0, cells.size()}};
  auto extent = [&](const Range& r, int& axis) {
    int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
    for (std::size_t i = r.begin; i < r.end; ++i) {
      for (int k = 0; k < 3; ++k)
        lo[k] = std::min<int>(lo[k], cells[i].c[k]), hi[k] = std::max<int>(hi[k], cells[i].c[k]);
    }
    axis = 0;
    for (int k = 1; k < 3; ++k) {
      if (hi[k] - lo[k] > hi[axis] - lo[axis]) axis = k;
    }
    return hi[axis] - lo[axis];
  };
  while (boxes.size() < maxColors) {
    int bestAxis = 0, bestExtent = 0;
    std::size_t best = boxes.size();
    for (std::size_t b = 0; b < boxes.size(); ++b) {
      int axis;
      const int e = extent(boxes[b], axis);
      if (boxes[b].end - boxes[b].begin > 1 && e > bestExtent) best = b, bestExtent = e, bestAxis = axis;
    }
    if (best == boxes.size()) break;
    Range r = boxes[best];
    std::sort(cells.begin() + static_cast<std::ptrdiff_t>(r.begin), cells.begin() + static_cast<std::ptrdiff_t>(r.end),
              [&](const Cell& a, const Cell& b) { return a.c[bestAxis] < b.c[bestAxis]; });
    std::uint64_t total = 0, half = 0;
    for (std::size_t i = r.begin; i < r.end; ++i) total += cells[i].count;
    std::size_t split = r.begin + 1;
    for (std::size_t i = r.begin; i < r.end - 1; ++i) {
      half += cells[i].count;
      split = i + 1;
      if (half * 2 >= total) break;
    }
    boxes[best] = {r.begin, split};
    boxes.push_back({split, r.end});
  }
  std::vector<std::uint32_t> palette;
  for (const Range& r : boxes) {
    std::uint64_t sum[3] = {0, 0, 0}, n = 0;
    for (std::size_t i = r.begin; i < r.end; ++i) {
      for (int k = 0; k < 3; ++k) sum[k] += std::uint64_t{cells[i].c[k]} * cells[i].count;
      n += cells[i].count;
    }
    if (n == 0) continue;
    std::uint32_t rgb = 0;
    for (int k = 0; k < 3; ++k) {
      const std::uint32_t v5 = static_cast<std::uint32_t>((sum[k] * 2 + n) / (2 * n));
      rgb = (rgb << 8) | ((v5 << 3) | (v5 >> 2));
    }
    palette.push_back(rgb);
  }
  return palette;
}

}  // namespace

util::Result<std::vector<std::uint8_t>> encodeGif(const ImageView& view) {
  if (!view.valid()) return util::fail("no picture to encode");
  if (view.width > 65535 || view.height > 65535) return util::fail("a GIF image is at most 65535 pixels a side");
  const std::size_t w = static_cast<std::size_t>(view.width);
  const std::size_t h = static_cast<std::size_t>(view.height);
  if (auto work = checkByteAllocation(w * h * 5); !work) return util::fail(work.error());

  std::vector<std::uint8_t> indices(w * h);
  std::vector<std::uint32_t> palette;  // 0xRRGGBB
  int transparentIndex = NO_TRANSPARENT_COLOR;

  if (isIndexed(view.format)) {
    const std::size_t entries = std::size_t{1} << bitsPerPixel(view.format);
    for (std::size_t i = 0; i < entries; ++i)
      palette.push_back((i < view.palette.size() ? view.palette[i] : 0) & 0xFFFFFF);
    const int bits = bitsPerPixel(view.format);
    for (std::int32_t y = 0; y < view.height; ++y) {
      const std::uint8_t* in = view.row(y);
      std::uint8_t* out = &indices[static_cast<std::size_t>(y) * w];
      for (std::size_t x = 0; x < w; ++x) {
        out[x] = static_cast<std::uint8_t>(bits == 8   ? in[x]
                                           : bits == 4 ? (in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                                       : (in[x >> 3] >> (7 - (x & 7))) & 1);
      }
    }
  } else {
    std::vector<std::uint8_t> bgra(w * 4 * h);
    for (std::int32_t y = 0; y < view.height; ++y) rowToBgra(view, y, &bgra[static_cast<std::size_t>(y) * w * 4]);
    // Exact palette when the picture has few enough colours.
    std::unordered_map<std::uint32_t, std::uint8_t> exact;
    bool fits = true;
    std::uint32_t lastKey = 0;
    std::uint8_t lastIndex = 0;
    bool haveLast = false;
    for (std::size_t i = 0; i < w * h && fits; ++i) {
      const std::uint32_t key = keyOf(&bgra[i * 4]);
      if (haveLast && key == lastKey) {
        indices[i] = lastIndex;
        continue;
      }
      auto it = exact.find(key);
      if (it == exact.end()) {
        if (exact.size() == 256) {
          fits = false;
          break;
        }
        it = exact.emplace(key, static_cast<std::uint8_t>(exact.size())).first;
        palette.push_back(key & 0xFFFFFF);
        if (key == kTransparentKey) transparentIndex = it->second;
      }
      indices[i] = it->second;
      lastKey = key, lastIndex = it->second, haveLast = true;
    }
    if (!fits) {
      palette.clear();
      transparentIndex = NO_TRANSPARENT_COLOR;
      std::vector<std::uint32_t> histogram(32768, 0);
      bool anyTransparent = false;
      for (std::size_t i = 0; i < w * h; ++i) {
        const std::uint8_t* p = &bgra[i * 4];
        if (p[3] < 128) {
          anyTransparent = true;
          continue;
        }
        ++histogram[(p[2] >> 3) << 10 | (p[1] >> 3) << 5 | (p[0] >> 3)];
      }
      palette = medianCut(histogram, anyTransparent ? 255 : 256);
      if (palette.empty()) palette.push_back(0);
      // Nearest palette colour of every used 5-5-5 cell.
      std::vector<std::uint8_t> cellIndex(32768, 0);
      for (std::uint32_t cell = 0; cell < 32768; ++cell) {
        if (!histogram[cell]) continue;
        const int r = static_cast<int>(((cell >> 10) << 3) | 4), g = static_cast<int>((((cell >> 5) & 31) << 3) | 4),
                  b = static_cast<int>(((cell & 31) << 3) | 4);
        int best = 0, bestDistance = INT32_MAX;
        for (std::size_t k = 0; k < palette.size(); ++k) {
          const int dr = r - static_cast<int>(palette[k] >> 16), dg = g - static_cast<int>((palette[k] >> 8) & 255),
                    db = b - static_cast<int>(palette[k] & 255);
          const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
          if (d < bestDistance) bestDistance = d, best = static_cast<int>(k);
        }
        cellIndex[cell] = static_cast<std::uint8_t>(best);
      }
      if (anyTransparent) {
        transparentIndex = static_cast<int>(palette.size());
        palette.push_back(0xFFFFFF);
      }
      for (std::size_t i = 0; i < w * h; ++i) {
        const std::uint8_t* p = &bgra[i * 4];
        indices[i] = p[3] < 128 ? static_cast<std::uint8_t>(transparentIndex)
                                : cellIndex[(p[2] >> 3) << 10 | (p[1] >> 3) << 5 | (p[0] >> 3)];
      }
    }
  }

  int bits = 1;
  while ((std::size_t{1} << bits) < palette.size()) ++bits;
  std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(1 << bits, nullptr));
  if (!map) return util::fail("out of memory");
  for (int i = 0; i < (1 << bits); ++i) {
    const std::uint32_t c = static_cast<std::size_t>(i) < palette.size() ? palette[static_cast<std::size_t>(i)] : 0;
    map->Colors[i] =
        GifColorType{static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8), static_cast<GifByteType>(c)};
  }

  std::vector<std::uint8_t> out;
  int openError = 0;
  std::unique_ptr<GifFileType, GifWriterCloser> gif(EGifOpen(&out, writeToVector, &openError));
  if (!gif) return util::fail(GifErrorString(openError) ? GifErrorString(openError) : "GIF encoder failed");
  EGifSetGifVersion(gif.get(), true);
  bool ok = EGifPutScreenDesc(gif.get(), view.width, view.height, bits, 0, map.get()) == GIF_OK;
  if (ok && transparentIndex != NO_TRANSPARENT_COLOR) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, transparentIndex};
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&gcb, extension);
    ok = EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif.get(), 0, 0, view.width, view.height, false, nullptr) == GIF_OK;
  for (std::size_t y = 0; ok && y < h; ++y) {
    ok = EGifPutLine(gif.get(), &indices[y * w], view.width) == GIF_OK;
  }
  if (!ok) return util::fail(GifErrorString(gif->Error) ? GifErrorString(gif->Error) : "GIF encoding failed");
  int closeError = 0;
  if (EGifCloseFile(gif.release(), &closeError) != GIF_OK) return util::fail("GIF encoding failed");
  return out;
}

}  // namespace brevanto::image::platform
