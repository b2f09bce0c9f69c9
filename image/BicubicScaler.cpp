#include "image/BicubicScaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "image/ImageLimits.h"

// The resampler is a separable bicubic (Catmull-Rom, a = -0.5) filter in 14-bit fixed point:
// a horizontal pass over the source rows into an 8-bit intermediate image, then a vertical pass
// into the target. Weights are computed once per output column and per output row. Sample
// positions outside the source are clamped to its edge, which is exactly the picture the
// replicated border of expandCanvas produces, at any filter width.

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

inline std::uint8_t clampToByte(std::int32_t acc) {
  const std::int32_t v = (acc + kRound) >> kWeightBits;
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Horizontal pass of one row of C-channel pixels.
template <int C>
void resampleRow(const std::uint8_t* __restrict src, std::uint8_t* __restrict dst, const FilterBank& bank,
                 int outWidth) {
  const int taps = bank.taps;
  const std::int16_t* w = bank.weights.data();
  for (int x = 0; x < outWidth; ++x, w += taps) {
    const std::uint8_t* s = src + static_cast<std::size_t>(bank.start[static_cast<std::size_t>(x)]) * C;
    std::int32_t acc[C] = {};
    for (int k = 0; k < taps; ++k) {
      const std::int32_t wk = w[k];
      for (int c = 0; c < C; ++c) acc[c] += wk * s[k * C + c];
    }
    for (int c = 0; c < C; ++c) dst[x * C + c] = clampToByte(acc[c]);
  }
}

// Vertical pass of one output row: weighted sum of `taps` intermediate rows.
void combineRows(const std::uint8_t* rows, std::size_t rowBytes, std::size_t rowCount, int first,
                 const std::int16_t* weights, int taps, std::int32_t* __restrict acc,
                 std::uint8_t* __restrict dst) {
  (void)rowCount;
  std::fill(acc, acc + rowBytes, kRound);
  for (int k = 0; k < taps; ++k) {
    const std::int32_t wk = weights[k];
    if (wk == 0) continue;
    const std::uint8_t* __restrict s = rows + static_cast<std::size_t>(first + k) * rowBytes;
    for (std::size_t i = 0; i < rowBytes; ++i) acc[i] += wk * s[i];
  }
  for (std::size_t i = 0; i < rowBytes; ++i) {
    const std::int32_t v = acc[i] >> kWeightBits;
    dst[i] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

// 16-bit pixels are widened to 8-bit B, G, R for filtering and packed back afterwards.
struct Layout16 {
  int rShift, gShift, gBits;  // blue is always the low 5 bits
};
Layout16 layoutOf(const RasterImage& image) {
  return image.is565() ? Layout16{11, 5, 6} : Layout16{10, 5, 5};
}

inline std::uint8_t widen5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }
inline std::uint8_t widen6(unsigned v) { return static_cast<std::uint8_t>((v << 2) | (v >> 4)); }

void unpack16(const std::uint8_t* src, std::uint8_t* dst, int width, Layout16 l) {
  for (int x = 0; x < width; ++x) {
    const unsigned v = static_cast<unsigned>(src[2 * x] | (src[2 * x + 1] << 8));
    dst[3 * x] = widen5(v & 0x1F);
    dst[3 * x + 1] = l.gBits == 6 ? widen6((v >> 5) & 0x3F) : widen5((v >> 5) & 0x1F);
    dst[3 * x + 2] = widen5((v >> l.rShift) & 0x1F);
  }
}

void pack16(const std::uint8_t* src, std::uint8_t* dst, int width, Layout16 l) {
  const unsigned gMax = (1u << l.gBits) - 1;
  for (int x = 0; x < width; ++x) {
    const unsigned b = (src[3 * x] * 31u + 127) / 255;
    const unsigned g = (src[3 * x + 1] * gMax + 127) / 255;
    const unsigned r = (src[3 * x + 2] * 31u + 127) / 255;
    const unsigned v = (r << l.rShift) | (g << l.gShift) | b;
    dst[2 * x] = static_cast<std::uint8_t>(v);
    dst[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
  }
}

template <int C>
bool resampleChannels(std::int32_t sourceWidth, std::int32_t sourceHeight,
                      const std::uint8_t* (*sourceRow)(const void*, std::int32_t), const void* ctx,
                      std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                      std::int32_t outWidth, std::int32_t outHeight,
                      void (*storeRow)(void*, std::int32_t, const std::uint8_t*), void* outCtx) {
  const FilterBank columns = buildFilter(sourceWidth, sx, sw, outWidth);
  const FilterBank rows = buildFilter(sourceHeight, sy, sh, outHeight);

  // Only the source rows some output row reads are filtered horizontally.
  const int firstRow = rows.start.front();
  const int lastRow = rows.start.back() + rows.taps - 1;
  const std::size_t interRows = static_cast<std::size_t>(lastRow - firstRow + 1);
  const std::size_t rowBytes = static_cast<std::size_t>(outWidth) * C;
  if (!checkByteAllocation(interRows * rowBytes + rowBytes * 5)) return false;
  std::vector<std::uint8_t> inter;
  std::vector<std::int32_t> acc;
  std::vector<std::uint8_t> outRow;
  try {
    inter.resize(interRows * rowBytes);
    acc.resize(rowBytes);
    outRow.resize(rowBytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t r = 0; r < interRows; ++r) {
    resampleRow<C>(sourceRow(ctx, static_cast<std::int32_t>(firstRow + static_cast<int>(r))),
                   inter.data() + r * rowBytes, columns, outWidth);
  }
  for (std::int32_t y = 0; y < outHeight; ++y) {
    combineRows(inter.data(), rowBytes, interRows, rows.start[static_cast<std::size_t>(y)] - firstRow,
                &rows.weights[static_cast<std::size_t>(y) * static_cast<std::size_t>(rows.taps)], rows.taps,
                acc.data(), outRow.data());
    storeRow(outCtx, y, outRow.data());
  }
  return true;
}

}  // namespace

bool resampleBicubic(const RasterImage& source, std::int32_t sx, std::int32_t sy, std::int32_t sw,
                     std::int32_t sh, RasterImage& target) {
  if (source.isEmpty() || target.isEmpty() || sw < 1 || sh < 1) return false;
  const int bits = source.bitCount();
  if (bits < 16 || target.bitCount() != bits || (bits == 16 && !(target.masks() == source.masks()))) {
    return false;
  }
  const std::int32_t outWidth = target.width();
  const std::int32_t outHeight = target.height();

  if (bits == 32 || bits == 24) {
    auto sourceRow = [](const void* ctx, std::int32_t y) {
      return static_cast<const RasterImage*>(ctx)->row(y);
    };
    auto storeRow = [](void* ctx, std::int32_t y, const std::uint8_t* row) {
      auto* image = static_cast<RasterImage*>(ctx);
      std::memcpy(image->row(y), row, static_cast<std::size_t>(image->width()) * (image->bitCount() / 8));
    };
    return bits == 32 ? resampleChannels<4>(source.width(), source.height(), sourceRow, &source, sx, sy, sw,
                                            sh, outWidth, outHeight, storeRow, &target)
                      : resampleChannels<3>(source.width(), source.height(), sourceRow, &source, sx, sy, sw,
                                            sh, outWidth, outHeight, storeRow, &target);
  }

  // 16-bit: widen the source to 24-bit rows once, filter, pack each output row.
  const Layout16 layout = layoutOf(source);
  struct Wide {
    std::vector<std::uint8_t> pixels;
    std::size_t rowBytes;
  } wide;
  wide.rowBytes = static_cast<std::size_t>(source.width()) * 3;
  if (!checkByteAllocation(wide.rowBytes * static_cast<std::size_t>(source.height()))) return false;
  try {
    wide.pixels.resize(wide.rowBytes * static_cast<std::size_t>(source.height()));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::int32_t y = 0; y < source.height(); ++y) {
    unpack16(source.row(y), wide.pixels.data() + static_cast<std::size_t>(y) * wide.rowBytes, source.width(),
             layout);
  }
  struct Out {
    RasterImage* image;
    Layout16 layout;
  } out{&target, layout};
  auto sourceRow = [](const void* ctx, std::int32_t y) -> const std::uint8_t* {
    const auto* w = static_cast<const Wide*>(ctx);
    return w->pixels.data() + static_cast<std::size_t>(y) * w->rowBytes;
  };
  auto storeRow = [](void* ctx, std::int32_t y, const std::uint8_t* row) {
    auto* o = static_cast<Out*>(ctx);
    pack16(row, o->image->row(y), o->image->width(), o->layout);
  };
  return resampleChannels<3>(source.width(), source.height(), sourceRow, &wide, sx, sy, sw, sh, outWidth,
                             outHeight, storeRow, &out);
}

bool scaleImage(RasterImage& image, std::int32_t width, std::int32_t height, std::int32_t mode) {
  (void)mode;  // every interpolation mode is served by the high-quality bicubic filter
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
