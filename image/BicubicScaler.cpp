#include "image/BicubicScaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/ImageLimits.h"
#include "util/Memory.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The resampler is a separable bicubic (Catmull-Rom, a = -0.5) filter in 14-bit fixed point
// over 4-byte pixels (24- and 16-bit rows are widened on the way in and packed on the way out):
// a horizontal pass over each source row into 8-bit filtered rows, then a vertical pass into the
// target. Both passes use SSE2 16-bit multiply-adds where available, with the same integer
// arithmetic as the plain loops. Weights are computed once per output column and per output row. Sample
// positions outside the source are clamped to its edge, which is exactly the picture the
// replicated border (edge pixels copied outwards) produces, at any filter width.

namespace brevanto::image {

namespace {

constexpr int kWeightBits = 14;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;
constexpr std::int32_t kRound = 1 << (kWeightBits - 1);
constexpr int kEdgeMargin = 10;

double catmullRom(double t) {
  t = std::fabs(t);
  if (t < 1.0) return (1.5 * t - 2.5) * t * t + 1.0;
  if (t < 2.0) return ((-0.5 * t + 2.5) * t - 4.0) * t + 2.0;
  return 0.0;
}

// Per output index: the first source index of its window and `taps` weights (window of the
// same length for every output, zero-padded), all windows inside 0 .. sourceLength-1.
struct FilterBank {
  std::vector<std::int32_t> start;
  std::vector<std::int16_t> weights;
  int taps = 0;
};

// Builds the weights that map the source span [offset, offset + length) onto outLength samples.
// Positions before 0 or from sourceLength on fold onto the edge samples.
FilterBank buildFilter(int sourceLength, int offset, int length, int outLength) {
  const double scale = static_cast<double>(outLength) / length;
  // When shrinking, the kernel is stretched over each output sample's whole footprint.
  const double stretch = scale < 1.0 ? 1.0 / scale : 1.0;
  const double support = 2.0 * stretch;
  // The kernel is non-zero on the open interval (centre - support, centre + support), which
  // holds at most ceil(2 * support) sample positions.
  int taps = static_cast<int>(std::ceil(2.0 * support - 1e-9));
  taps = std::clamp(taps, 1, sourceLength);

  FilterBank bank;
  bank.taps = taps;
  bank.start.resize(static_cast<std::size_t>(outLength));
  bank.weights.assign(static_cast<std::size_t>(outLength) * static_cast<std::size_t>(taps), 0);
  std::vector<double> folded(static_cast<std::size_t>(taps));

  for (int i = 0; i < outLength; ++i) {
    const double centre = offset + (i + 0.5) / scale - 0.5;
    const int lo = static_cast<int>(std::floor(centre - support)) + 1;
    const int hi = static_cast<int>(std::ceil(centre + support)) - 1;
    // The window starts at the first position the kernel reaches, kept inside the source.
    const int start = std::clamp(lo, 0, sourceLength - taps);
    std::fill(folded.begin(), folded.end(), 0.0);
    double sum = 0.0;
    for (int p = lo; p <= hi; ++p) {
      const double w = catmullRom((p - centre) / stretch);
      if (w == 0.0) continue;
      const int q = std::clamp(p, 0, sourceLength - 1);
      const int k = q - start;
      if (k < 0 || k >= taps) continue;  // beyond the window (only possible for tiny tails)
      folded[static_cast<std::size_t>(k)] += w;
      sum += w;
    }
    if (sum == 0.0) {
      // Degenerate: take the nearest sample.
      const int q = std::clamp(static_cast<int>(std::lround(centre)), 0, sourceLength - 1);
      folded[static_cast<std::size_t>(q - start)] = sum = 1.0;
    }
    // Normalise and quantise so that the weights add up to exactly one: flat areas stay flat.
    std::int16_t* w = &bank.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(taps)];
    std::int32_t total = 0;
    int largest = 0;
    for (int k = 0; k < taps; ++k) {
      w[k] = static_cast<std::int16_t>(std::lround(folded[static_cast<std::size_t>(k)] / sum * kWeightOne));
      total += w[k];
      if (w[k] > w[largest]) largest = k;
    }
    w[largest] = static_cast<std::int16_t>(w[largest] + (kWeightOne - total));
    bank.start[static_cast<std::size_t>(i)] = start;
  }
  return bank;
}

// 16-bit pixels are widened to 8-bit B, G, R, 0 for filtering and packed back afterwards.
struct Layout16 {
  int rShift, gShift, gBits;  // blue is always the low 5 bits
};
Layout16 layoutOf(const RasterImage& image) { return image.is565() ? Layout16{11, 5, 6} : Layout16{10, 5, 5}; }

inline std::uint8_t widen5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }
inline std::uint8_t widen6(unsigned v) { return static_cast<std::uint8_t>((v << 2) | (v >> 4)); }

void unpack16(const std::uint8_t* src, std::uint8_t* dst, int width, Layout16 l) {
  for (int x = 0; x < width; ++x) {
    const unsigned v = static_cast<unsigned>(src[2 * x] | (src[2 * x + 1] << 8));
    dst[4 * x] = widen5(v & 0x1F);
    dst[4 * x + 1] = l.gBits == 6 ? widen6((v >> 5) & 0x3F) : widen5((v >> 5) & 0x1F);
    dst[4 * x + 2] = widen5((v >> l.rShift) & 0x1F);
    dst[4 * x + 3] = 0;
  }
}

void pack16(const std::uint8_t* src, std::uint8_t* dst, int width, Layout16 l) {
  const unsigned gMax = (1u << l.gBits) - 1;
  for (int x = 0; x < width; ++x) {
    const unsigned b = (src[4 * x] * 31u + 127) / 255;
    const unsigned g = (src[4 * x + 1] * gMax + 127) / 255;
    const unsigned r = (src[4 * x + 2] * 31u + 127) / 255;
    const unsigned v = (r << l.rShift) | (g << l.gShift) | b;
    dst[2 * x] = static_cast<std::uint8_t>(v);
    dst[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
  }
}

// Weights of consecutive taps paired into one 32-bit word (low half the first tap), the layout
// a 16-bit multiply-add over interleaved sample pairs takes. An odd last tap pairs with 0.
std::vector<std::int32_t> pairWeights(const FilterBank& bank, std::size_t outputs) {
  const std::size_t taps = static_cast<std::size_t>(bank.taps);
  const std::size_t pairs = (taps + 1) / 2;
  std::vector<std::int32_t> packed(outputs * pairs);
  for (std::size_t i = 0; i < outputs; ++i) {
    const std::int16_t* w = &bank.weights[i * taps];
    for (std::size_t j = 0; j < pairs; ++j) {
      const std::uint32_t lo = static_cast<std::uint16_t>(w[2 * j]);
      const std::uint32_t hi = 2 * j + 1 < taps ? static_cast<std::uint16_t>(w[2 * j + 1]) : 0u;
      packed[i * pairs + j] = static_cast<std::int32_t>(lo | (hi << 16));
    }
  }
  return packed;
}

inline std::uint8_t clampToByte(std::int32_t acc) {
  const std::int32_t v = (acc + kRound) >> kWeightBits;
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Horizontal pass over one row of 4-byte pixels: output pixel x is the weighted sum of the
// `taps` source pixels from start[x] on.
void filterRow(const std::uint8_t* __restrict src, std::uint8_t* __restrict dst, const FilterBank& bank,
               const std::vector<std::int32_t>& pairs, int outWidth) {
  const int taps = bank.taps;
  const int pairCount = (taps + 1) / 2;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i round = _mm_set1_epi32(kRound);
  for (int x = 0; x < outWidth; ++x) {
    const std::uint8_t* s = src + static_cast<std::size_t>(bank.start[static_cast<std::size_t>(x)]) * 4;
    const std::int32_t* w = &pairs[static_cast<std::size_t>(x) * static_cast<std::size_t>(pairCount)];
    __m128i acc = round;
    int k = 0;
    for (; k + 1 < taps; k += 2, s += 8) {
      // Two pixels b0 g0 r0 a0 b1 g1 r1 a1 -> pairs (b0,b1) (g0,g1) (r0,r1) (a0,a1).
      __m128i p;
      std::int64_t bits;
      std::memcpy(&bits, s, 8);
      p = _mm_unpacklo_epi8(_mm_cvtsi64_si128(bits), zero);
      p = _mm_unpacklo_epi16(p, _mm_srli_si128(p, 8));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(p, _mm_set1_epi32(w[k / 2])));
    }
    if (k < taps) {
      std::int32_t bits;
      std::memcpy(&bits, s, 4);
      __m128i p = _mm_unpacklo_epi8(_mm_cvtsi32_si128(bits), zero);
      p = _mm_unpacklo_epi16(p, zero);
      acc = _mm_add_epi32(acc, _mm_madd_epi16(p, _mm_set1_epi32(w[k / 2])));
    }
    acc = _mm_srai_epi32(acc, kWeightBits);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(acc, acc), zero);
    const std::int32_t out = _mm_cvtsi128_si32(packed);
    std::memcpy(dst + static_cast<std::size_t>(x) * 4, &out, 4);
  }
#else
  (void)pairs;
  (void)pairCount;
  const std::int16_t* w = bank.weights.data();
  for (int x = 0; x < outWidth; ++x, w += taps) {
    const std::uint8_t* s = src + static_cast<std::size_t>(bank.start[static_cast<std::size_t>(x)]) * 4;
    std::int32_t acc[4] = {};
    for (int k = 0; k < taps; ++k) {
      for (int c = 0; c < 4; ++c) acc[c] += w[k] * s[k * 4 + c];
    }
    for (int c = 0; c < 4; ++c) dst[x * 4 + c] = clampToByte(acc[c]);
  }
#endif
}

// Vertical pass: one output row from `taps` filtered rows (rows[k], byte length `length`).
void combineRows(const std::uint8_t* const* rows, int taps, const std::int16_t* weights, const std::int32_t* pairs,
                 std::size_t length, std::uint8_t* __restrict dst) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i round = _mm_set1_epi32(kRound);
  for (; i + 16 <= length; i += 16) {
    __m128i acc0 = round, acc1 = round, acc2 = round, acc3 = round;
    int k = 0;
    for (; k < taps; k += 2) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i));
      const __m128i b = k + 1 < taps ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + i)) : zero;
      const __m128i w = _mm_set1_epi32(pairs[k / 2]);
      // Interleave the two rows byte by byte, widen to 16 bits, multiply-add each pair.
      const __m128i lo = _mm_unpacklo_epi8(a, b);
      const __m128i hi = _mm_unpackhi_epi8(a, b);
      acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
      acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
      acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
      acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
    }
    const __m128i w01 = _mm_packs_epi32(_mm_srai_epi32(acc0, kWeightBits), _mm_srai_epi32(acc1, kWeightBits));
    const __m128i w23 = _mm_packs_epi32(_mm_srai_epi32(acc2, kWeightBits), _mm_srai_epi32(acc3, kWeightBits));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(w01, w23));
  }
#else
  (void)pairs;
#endif
  for (; i < length; ++i) {
    std::int32_t acc = 0;
    for (int k = 0; k < taps; ++k) acc += weights[k] * rows[k][i];
    dst[i] = clampToByte(acc);
  }
}

// Runs both passes over 4-byte pixels. loadRow(y, buffer) puts source row y into the buffer as
// 4-byte pixels; storeRow(y, pixels) takes finished output row y. Filtered rows are kept in a
// ring of `taps` rows and made as the vertical window reaches them, so each source row is
// filtered horizontally once.
template <typename LoadRow, typename StoreRow>
bool resampleRows(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t sx, std::int32_t sy,
                  std::int32_t sw, std::int32_t sh, std::int32_t outWidth, std::int32_t outHeight, LoadRow loadRow,
                  StoreRow storeRow) {
  const FilterBank columns = buildFilter(sourceWidth, sx, sw, outWidth);
  const FilterBank rows = buildFilter(sourceHeight, sy, sh, outHeight);
  const std::vector<std::int32_t> columnPairs = pairWeights(columns, static_cast<std::size_t>(outWidth));
  const std::vector<std::int32_t> rowPairs = pairWeights(rows, static_cast<std::size_t>(outHeight));

  const std::size_t taps = static_cast<std::size_t>(rows.taps);
  const std::size_t rowBytes = static_cast<std::size_t>(outWidth) * 4;
  const std::size_t sourceBytes = static_cast<std::size_t>(sourceWidth) * 4 + 16;
  if (!checkByteAllocation(taps * rowBytes + rowBytes + sourceBytes)) return false;
  std::vector<std::uint8_t> ring, output, sourceRow;
  if (!util::allocated([&] {
        ring.resize(taps * rowBytes);
        output.resize(rowBytes);
        sourceRow.resize(sourceBytes);
      })) {
    return false;
  }
  std::vector<const std::uint8_t*> window(taps);
  int filteredUpTo = -1;  // highest source row already in the ring
  for (std::int32_t y = 0; y < outHeight; ++y) {
    const int start = rows.start[static_cast<std::size_t>(y)];
    const int end = start + static_cast<int>(taps);
    for (int r = std::max(filteredUpTo + 1, start); r < end; ++r) {
      loadRow(r, sourceRow.data());
      filterRow(sourceRow.data(), ring.data() + (static_cast<std::size_t>(r) % taps) * rowBytes, columns, columnPairs,
                outWidth);
    }
    filteredUpTo = std::max(filteredUpTo, end - 1);
    for (std::size_t k = 0; k < taps; ++k) {
      window[k] = ring.data() + ((static_cast<std::size_t>(start) + k) % taps) * rowBytes;
    }
    const std::size_t pairCount = (taps + 1) / 2;
    combineRows(window.data(), static_cast<int>(taps), &rows.weights[static_cast<std::size_t>(y) * taps],
                &rowPairs[static_cast<std::size_t>(y) * pairCount], rowBytes, output.data());
    storeRow(y, output.data());
  }
  return true;
}

}  // namespace

bool resampleBicubic(const RasterImage& source, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                     RasterImage& target) {
  if (source.isEmpty() || target.isEmpty() || sw < 1 || sh < 1) return false;
  const int bits = source.bitCount();
  if (bits < 16 || target.bitCount() != bits || (bits == 16 && !(target.masks() == source.masks()))) {
    return false;
  }
  const std::size_t width = static_cast<std::size_t>(source.width());
  const std::size_t outWidth = static_cast<std::size_t>(target.width());
  const auto run = [&](auto loadRow, auto storeRow) {
    return resampleRows(source.width(), source.height(), sx, sy, sw, sh, target.width(), target.height(), loadRow,
                        storeRow);
  };
  switch (bits) {
    case 32:
      return run([&](int y, std::uint8_t* out) { std::memcpy(out, source.row(y), width * 4); },
                 [&](int y, const std::uint8_t* row) { std::memcpy(target.row(y), row, outWidth * 4); });
    case 24:
      return run(
          [&](int y, std::uint8_t* out) {
            const std::uint8_t* in = source.row(y);
            for (std::size_t x = 0; x < width; ++x, in += 3, out += 4) {
              out[0] = in[0];
              out[1] = in[1];
              out[2] = in[2];
              out[3] = 0;
            }
          },
          [&](int y, const std::uint8_t* row) {
            std::uint8_t* out = target.row(y);
            for (std::size_t x = 0; x < outWidth; ++x, row += 4, out += 3) {
              out[0] = row[0];
              out[1] = row[1];
              out[2] = row[2];
            }
          });
    default: {
      const Layout16 layout = layoutOf(source);
      return run([&](int y, std::uint8_t* out) { unpack16(source.row(y), out, source.width(), layout); },
                 [&](int y, const std::uint8_t* row) { pack16(row, target.row(y), target.width(), layout); });
    }
  }
}

bool scaleImage(RasterImage& image, std::int32_t width, std::int32_t height) {
  if (image.isEmpty() || width < 1 || height < 1 || image.bitCount() < 16) return false;

  // The target is made first: when it cannot be had, the image stays as it was.
  RasterImage target;
  BitmapInfoHeader header = image.header();
  header.width = width;
  header.height = height;
  header.xPelsPerMeter = 0;
  header.yPelsPerMeter = 0;
  if (!target.create(header, image.masks())) return false;

  // Resampling exactly the picture with its edges clamped gives the same pixels as resampling
  // the inner rectangle of a canvas whose border replicates the edges, without the copy.
  if (!resampleBicubic(image, 0, 0, image.width(), image.height(), target)) return false;
  // The image keeps the origin of its edge-replicated canvas, as a re-created image does.
  target.setOrigin(image.originX() - kEdgeMargin, image.originY() - kEdgeMargin);
  image = std::move(target);
  return true;
}

}  // namespace brevanto::image
