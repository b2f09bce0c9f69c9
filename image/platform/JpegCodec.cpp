#include "image/platform/JpegCodec.h"

#include <cstdio>  // before jpeglib.h, which needs FILE

#include <jpeglib.h>
#include <jerror.h>
#include <turbojpeg.h>

// Our symbol counting (below) takes the place of two function pointers in libjpeg's private
// entropy coder struct, declared in jpegint.h, whose layout libjpeg-turbo may change in any
// release. It is compiled only against the 2.1 series' headers, the layout it was tested on;
// the Debian package depends on the exact upstream version it was built with
// (cmake/Package.cmake); and before the first picture a self-check compares its bytes with
// libjpeg's own pass, which every picture uses instead when they differ.
#if defined(LIBJPEG_TURBO_VERSION_NUMBER) && LIBJPEG_TURBO_VERSION_NUMBER >= 2001000 && \
    LIBJPEG_TURBO_VERSION_NUMBER < 2002000
#define BREVANTO_OWN_SYMBOL_COUNTING 1
#include <jpegint.h>
#else
#define BREVANTO_OWN_SYMBOL_COUNTING 0
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/ImageLimits.h"
#include "image/platform/ExifBlock.h"
#include "image/platform/HuffmanTable.h"
#include "image/platform/JpegCodecTesting.h"
#include "image/platform/PixelRows.h"

namespace brevanto::image::platform {

namespace {

struct TjDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

std::string tjError(void* handle) {
  const char* text = tjGetErrorStr2(handle);
  return text ? text : "JPEG error";
}

// The Exif block of the first APP1 "Exif" segment, walking the markers before the scan.
std::span<const std::uint8_t> findExif(std::span<const std::uint8_t> data) {
  std::size_t pos = 2;
  while (pos + 4 <= data.size() && data[pos] == 0xFF) {
    const std::uint8_t marker = data[pos + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const std::size_t length = static_cast<std::size_t>(data[pos + 2] << 8 | data[pos + 3]);
    if (length < 2 || pos + 2 + length > data.size()) break;
    if (marker == 0xE1 && length >= 8 && std::memcmp(&data[pos + 4], "Exif\0\0", 6) == 0) {
      return data.subspan(pos + 10, length - 8);
    }
    pos += 2 + length;
  }
  return {};
}

// The encoder goes through libjpeg's own API (the same libjpeg-turbo as TurboJPEG) because
// TurboJPEG 2 cannot ask for optimised Huffman tables. Everything else is set up as
// tjCompress2 does it, so the quantised coefficients, and with them the decoded pixels, are
// those TurboJPEG wrote; only the entropy coding is smaller.

// libjpeg's fatal errors end here: the message is kept and control jumps back to the
// setjmp in Encoder::run (error_exit must not return).
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onFatalError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

void onMessage(j_common_ptr) {}  // warnings are not printed

// Output into a growing buffer that the encoder keeps between pictures; the result is copied
// out at its exact size.
struct BufferDestination {
  jpeg_destination_mgr base;
  std::vector<std::uint8_t>* buffer;
  std::size_t used;
};

void startOutput(j_compress_ptr info) {
  auto* dest = reinterpret_cast<BufferDestination*>(info->dest);
  dest->base.next_output_byte = dest->buffer->data();
  dest->base.free_in_buffer = dest->buffer->size();
}

boolean growOutput(j_compress_ptr info) {
  // Called when the whole buffer is full.
  auto* dest = reinterpret_cast<BufferDestination*>(info->dest);
  const std::size_t full = dest->buffer->size();
  bool grown = true;
  try {
    dest->buffer->resize(full * 2);
  } catch (const std::exception&) {
    grown = false;
  }
  if (!grown) {
    info->err->msg_code = JERR_OUT_OF_MEMORY;
    (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
  }
  dest->base.next_output_byte = dest->buffer->data() + full;
  dest->base.free_in_buffer = dest->buffer->size() - full;
  return TRUE;
}

void finishOutput(j_compress_ptr info) {
  auto* dest = reinterpret_cast<BufferDestination*>(info->dest);
  dest->used = dest->buffer->size() - dest->base.free_in_buffer;
}

// Symbol counts for the optimised Huffman tables. libjpeg gathers them in a first pass over
// the quantised blocks; libjpeg-turbo 2.1 does that in plain C counting bits one shift at a
// time, which costs more than the rest of the encode. The encoder below puts this counting
// in its place: the same counts (so the same tables and bytes), a bit mask and a count of
// leading zeros per coefficient instead of loops. A block's AC symbols are spread over four
// sets of counters by position, so that a run of equal symbols (common at high qualities)
// does not wait on one counter's previous increment; the sets are summed at the end.
constexpr int kAcSets = 4;
struct HuffmanCounts {
  std::uint32_t dc[NUM_HUFF_TBLS][257];
  std::uint32_t ac[NUM_HUFF_TBLS][kAcSets * 256];  // set * 256 + symbol (AC symbols are one byte)
  int lastDc[MAX_COMPS_IN_SCAN];
  std::uint64_t blocks;  // blocks counted in this picture
  bool finished;         // the tables were built from the counts
};

// Zigzag position -> index in the 8x8 block.
constexpr std::uint8_t kNaturalOrder[DCTSIZE2] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                                  12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                                  35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                                  58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
constexpr int kMaxCoefficientBits = 10;  // 8-bit samples

// For row r of a block and the bit set of its non-zero columns, those coefficients' bits in
// zigzag order: eight table look-ups turn a block's non-zero mask into its zigzag mask.
using ZigzagRows = std::array<std::array<std::uint64_t, 256>, DCTSIZE>;
constexpr ZigzagRows makeZigzagRows() {
  int zigzagOf[DCTSIZE2] = {};
  for (int k = 0; k < DCTSIZE2; ++k) zigzagOf[kNaturalOrder[k]] = k;
  ZigzagRows rows{};
  for (int r = 0; r < DCTSIZE; ++r)
    for (int bits = 0; bits < 256; ++bits)
      for (int c = 0; c < DCTSIZE; ++c)
        if (bits >> c & 1) rows[r][bits] |= std::uint64_t{1} << zigzagOf[r * DCTSIZE + c];
  return rows;
}
constexpr ZigzagRows kZigzagRows = makeZigzagRows();

int magnitudeBits(int value) {
  const unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
  return magnitude ? std::bit_width(magnitude) : 0;
}

// Each coefficient's size category (the bit length of its magnitude, 0 for zero), in natural
// order, into sizes[64], and the largest size among the AC coefficients into *largestAc.
// Returns the bit mask of the non-zero coefficients (bit i for coefficient i).
std::uint64_t coefficientSizes(const JCOEF* block, std::uint8_t* sizes, unsigned* largestAc) {
#if defined(__SSE2__)
  // Eight coefficients at a time: the magnitude as a float, whose exponent field is 127 plus
  // the bit length minus one (0 for zero); less 126, saturated at 0, it is the size.
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(126);
  std::uint64_t mask = 0;
  __m128i largest = zero;
  for (int i = 0; i < DCTSIZE2; i += 16) {
    __m128i size16[2];
    for (int half = 0; half < 2; ++half) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 8 * half));
      const __m128i magnitude = _mm_max_epi16(v, _mm_sub_epi16(zero, v));
      const __m128i low = _mm_srli_epi32(_mm_castps_si128(_mm_cvtepi32_ps(_mm_unpacklo_epi16(magnitude, zero))), 23);
      const __m128i high = _mm_srli_epi32(_mm_castps_si128(_mm_cvtepi32_ps(_mm_unpackhi_epi16(magnitude, zero))), 23);
      size16[half] = _mm_subs_epu16(_mm_packs_epi32(low, high), bias);
    }
    if (i == 0) size16[0] = _mm_insert_epi16(size16[0], 0, 0);  // not the DC for the largest
    largest = _mm_max_epi16(largest, _mm_max_epi16(size16[0], size16[1]));
    const __m128i size8 = _mm_packus_epi16(size16[0], size16[1]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sizes + i), size8);
    mask |= std::uint64_t{~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(size8, zero))) & 0xFFFFu} << i;
  }
  largest = _mm_max_epi16(largest, _mm_srli_si128(largest, 8));
  largest = _mm_max_epi16(largest, _mm_srli_si128(largest, 4));
  largest = _mm_max_epi16(largest, _mm_srli_si128(largest, 2));
  *largestAc = static_cast<unsigned>(_mm_extract_epi16(largest, 0));
  return mask;
#else
  std::uint64_t mask = 0;
  unsigned largest = 0;
  for (int i = 0; i < DCTSIZE2; ++i) {
    sizes[i] = static_cast<std::uint8_t>(magnitudeBits(block[i]));
    if (i) largest = std::max<unsigned>(largest, sizes[i]);
    mask |= std::uint64_t{block[i] != 0} << i;
  }
  *largestAc = largest;
  return mask;
#endif
}

// Counts one block's symbols as a baseline sequential scan codes them: the DC difference's
// size, then (zero run, size) pairs, ZRL for runs over 15, EOB when the block ends in zeros.
// False when a coefficient is too large for baseline coding.
bool countBlock(const JCOEF* block, int lastDc, std::uint32_t* dc, std::uint32_t* ac) {
  const int dcBits = magnitudeBits(block[0] - lastDc);
  if (dcBits > kMaxCoefficientBits + 1) return false;
  ++dc[dcBits];
  alignas(16) std::uint8_t sizes[DCTSIZE2];
  unsigned largest;
  const std::uint64_t natural = coefficientSizes(block, sizes, &largest);
  if (largest > kMaxCoefficientBits) return false;
  std::uint64_t nonZero = 0;
  for (int r = 0; r < DCTSIZE; ++r) nonZero |= kZigzagRows[r][(natural >> (r * DCTSIZE)) & 0xFF];
  nonZero &= ~std::uint64_t{1};  // the DC is counted above
  // k runs over the non-zero positions in zigzag order; next is the position after the last
  // coefficient coded, so the zero run before k is k - next.
  unsigned next = 1;
  while (nonZero) {
    const unsigned k = static_cast<unsigned>(std::countr_zero(nonZero));
    nonZero &= nonZero - 1;
    unsigned run = k - next;
    next = k + 1;
    if (run > 15) [[unlikely]] {
      ac[0xF0] += run >> 4;
      run &= 15;
    }
    ac[((k & (kAcSets - 1)) << 8) | (run << 4) | sizes[kNaturalOrder[k]]] += 1;
  }
  if (next < DCTSIZE2) ++ac[0];  // EOB: the block ends in zeros
  return true;
}

[[maybe_unused]] boolean gatherMcu(j_compress_ptr info, JBLOCKROW* mcu) {
  auto* counts = static_cast<HuffmanCounts*>(info->client_data);
  counts->blocks += static_cast<std::uint64_t>(info->blocks_in_MCU);
  for (int b = 0; b < info->blocks_in_MCU; ++b) {
    const int ci = info->MCU_membership[b];
    const jpeg_component_info* component = info->cur_comp_info[ci];
    const JCOEF* block = mcu[b][0];
    if (!countBlock(block, counts->lastDc[ci], counts->dc[component->dc_tbl_no], counts->ac[component->ac_tbl_no])) {
      info->err->msg_code = JERR_BAD_DCT_COEF;
      (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
    }
    counts->lastDc[ci] = block[0];
  }
  return TRUE;
}

// The optimal table for the counts into the compressor's table slot.
void setOptimalTable(j_compress_ptr info, JHUFF_TBL*& slot, const long (&counts)[257]) {
  HuffmanTable optimal;
  if (!buildOptimalHuffmanTable(counts, optimal)) {
    info->err->msg_code = JERR_HUFF_CLEN_OVERFLOW;
    (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
  }
  if (!slot) slot = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(info));
  std::memcpy(slot->bits, optimal.bits.data(), sizeof slot->bits);
  std::memcpy(slot->huffval, optimal.values.data(), sizeof slot->huffval);
  slot->sent_table = FALSE;  // the new table is written with the picture
}

// End of the counting pass: the tables the scan uses, built from the counts.
[[maybe_unused]] void finishGather(j_compress_ptr info) {
  auto* counts = static_cast<HuffmanCounts*>(info->client_data);
  counts->finished = true;
  bool doneDc[NUM_HUFF_TBLS] = {}, doneAc[NUM_HUFF_TBLS] = {};
  long total[257];
  for (int ci = 0; ci < info->comps_in_scan; ++ci) {
    const jpeg_component_info* component = info->cur_comp_info[ci];
    const int dcTable = component->dc_tbl_no, acTable = component->ac_tbl_no;
    if (!doneDc[dcTable]) {
      std::copy(std::begin(counts->dc[dcTable]), std::end(counts->dc[dcTable]), total);
      setOptimalTable(info, info->dc_huff_tbl_ptrs[dcTable], total);
      doneDc[dcTable] = true;
    }
    if (!doneAc[acTable]) {
      std::fill(std::begin(total), std::end(total), 0L);
      for (int set = 0; set < kAcSets; ++set)
        for (int s = 0; s < 256; ++s) total[s] += counts->ac[acTable][set * 256 + s];
      setOptimalTable(info, info->ac_huff_tbl_ptrs[acTable], total);
      doneAc[acTable] = true;
    }
  }
}

// How the rows reach libjpeg: straight from the picture where its bytes are already B, G, R
// or B, G, R, X; converted one strip at a time where they are not.
enum class RowSource { Direct, OpaqueOrComposed, Converted };

// One libjpeg compressor per thread, reused picture after picture (the movie encodes
// thousands of them), with its output buffer and row scratch.
class Encoder {
 public:
  Encoder() {
    info_.err = jpeg_std_error(&errors_.base);
    errors_.base.error_exit = onFatalError;
    errors_.base.output_message = onMessage;
    errors_.message[0] = '\0';
    // jpeg_create_compress refuses a library whose version or compressor struct size differs
    // from the headers'; the encoder then stays unusable and every picture fails.
    if (setjmp(errors_.jump)) {
      created_ = false;
      return;
    }
    jpeg_create_compress(&info_);
    created_ = true;
    destination_.base.init_destination = startOutput;
    destination_.base.empty_output_buffer = growOutput;
    destination_.base.term_destination = finishOutput;
    destination_.buffer = &output_;
    destination_.used = 0;
    info_.dest = &destination_.base;
  }
  ~Encoder() {
    if (created_) jpeg_destroy_compress(&info_);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  util::Result<std::vector<std::uint8_t>> encode(const ImageView& view, int quality,
                                                 const std::vector<std::uint8_t>& exif, JpegSymbolCounting counting);
  // Whether the last picture's tables came from our counting of every one of its blocks.
  bool countedAllBlocks() const;

 private:
  util::Result<void> prepare(const ImageView& view, RowSource source);
  bool run(const ImageView& view, RowSource source, int quality, const std::vector<std::uint8_t>& exif,
           JpegSymbolCounting counting);
  void fillStrip(const ImageView& view, RowSource source, std::int32_t first, std::int32_t count);

  jpeg_compress_struct info_{};
  ErrorManager errors_{};
  BufferDestination destination_{};
  std::vector<std::uint8_t> output_;
  std::vector<JSAMPROW> rows_;
  std::vector<std::uint8_t> strip_;   // converted rows of one strip
  std::vector<std::uint8_t> bgrRow_;  // one row composed over white before it is widened
  HuffmanCounts counts_{};
  bool created_ = false;
  bool hooked_ = false;  // the last picture's counting pass was ours
};

bool Encoder::countedAllBlocks() const {
  // The picture is one interleaved scan: every MCU's blocks pass through the counting once.
  const std::uint64_t expected =
      std::uint64_t{info_.MCUs_per_row} * info_.MCU_rows_in_scan * static_cast<std::uint64_t>(info_.blocks_in_MCU);
  return hooked_ && counts_.finished && counts_.blocks == expected && expected > 0;
}

constexpr std::int32_t kStripRows = 16;  // one MCU row at 4:2:0
constexpr std::size_t kKeptBytes = 8 << 20;

util::Result<void> Encoder::prepare(const ImageView& view, RowSource source) {
  const std::size_t width = static_cast<std::size_t>(view.width);
  const std::size_t height = static_cast<std::size_t>(view.height);
  // The output starts at about a quarter of the raw picture and doubles when needed.
  const std::size_t start = std::max<std::size_t>(width * height * 3 / 4, 4096);
  if (auto work = checkByteAllocation(start + height * sizeof(JSAMPROW) + width * 4 * (kStripRows + 1)); !work) {
    return work;
  }
  if (output_.size() < start) output_.resize(start);
  rows_.resize(height);
  if (source == RowSource::Converted) {
    strip_.resize(width * 3 * kStripRows);
  } else if (source == RowSource::OpaqueOrComposed) {
    strip_.resize(width * 4 * kStripRows);
    bgrRow_.resize(width * 3);
  }
  return {};
}

// True when every alpha byte (the fourth of each pixel) of a row of B, G, R, A pixels is 255:
// the alpha bytes of eight pixels are ANDed at a time, without a branch per pixel.
bool rowIsOpaque(const std::uint8_t* row, std::size_t width) {
  constexpr std::uint64_t kAlphas = 0xFF000000FF000000u;
  std::uint64_t all = kAlphas;
  std::size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    std::uint64_t words[4];
    std::memcpy(words, row + x * 4, sizeof words);
    all &= words[0] & words[1] & words[2] & words[3];
    if ((all & kAlphas) != kAlphas) return false;
  }
  for (; x < width; ++x)
    if (row[x * 4 + 3] != 255) return false;
  return true;
}

// Row y of a 32-bit picture with alpha is fed as it is when every pixel is opaque (colour
// over white is the colour), otherwise composed over white and widened back to four bytes.
void Encoder::fillStrip(const ImageView& view, RowSource source, std::int32_t first, std::int32_t count) {
  const std::size_t width = static_cast<std::size_t>(view.width);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t y = first + i;
    if (source == RowSource::Converted) {
      std::uint8_t* out = strip_.data() + width * 3 * static_cast<std::size_t>(i);
      rowToBgrOverWhite(view, y, out);
      rows_[static_cast<std::size_t>(y)] = out;
      continue;
    }
    const std::uint8_t* in = view.row(y);
    if (rowIsOpaque(in, width)) {
      rows_[static_cast<std::size_t>(y)] = const_cast<std::uint8_t*>(in);
      continue;
    }
    rowToBgrOverWhite(view, y, bgrRow_.data());
    std::uint8_t* out = strip_.data() + width * 4 * static_cast<std::size_t>(i);
    for (std::size_t x = 0; x < width; ++x) std::memcpy(out + x * 4, &bgrRow_[x * 3], 3);
    rows_[static_cast<std::size_t>(y)] = out;
  }
}

// The libjpeg calls, between a setjmp and the errors that jump back to it: nothing here
// owns memory, so the jump skips no destructor.
bool Encoder::run(const ImageView& view, RowSource source, int quality, const std::vector<std::uint8_t>& exif,
                  JpegSymbolCounting counting) {
  hooked_ = false;
  if (setjmp(errors_.jump)) {
    jpeg_abort_compress(&info_);
    return false;
  }
  info_.image_width = static_cast<JDIMENSION>(view.width);
  info_.image_height = static_cast<JDIMENSION>(view.height);
  const bool fourBytes = source != RowSource::Converted && view.format != PixelFormat::Rgb24;
  info_.input_components = fourBytes ? 4 : 3;
  info_.in_color_space = fourBytes ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(&info_);
  jpeg_set_quality(&info_, quality, TRUE);
  // TurboJPEG's choice: the fast integer DCT below quality 96, the accurate one from 96 on.
  info_.dct_method = quality >= 96 ? JDCT_ISLOW : JDCT_IFAST;
  jpeg_set_colorspace(&info_, JCS_YCbCr);
  const int lumaSampling = quality >= 90 ? 1 : 2;  // 4:4:4 from quality 90 on, else 4:2:0
  info_.comp_info[0].h_samp_factor = info_.comp_info[0].v_samp_factor = lumaSampling;
  for (int c = 1; c < 3; ++c) info_.comp_info[c].h_samp_factor = info_.comp_info[c].v_samp_factor = 1;
  info_.optimize_coding = TRUE;
  jpeg_start_compress(&info_, TRUE);
  // jpeg_start_compress has begun the counting pass; its per-block counting and its end are
  // replaced by ours (the output pass installs libjpeg's own coder again).
#if BREVANTO_OWN_SYMBOL_COUNTING
  if (counting == JpegSymbolCounting::Ours && info_.entropy && info_.optimize_coding && !info_.progressive_mode &&
      !info_.arith_code) {
    std::memset(&counts_, 0, sizeof counts_);
    info_.client_data = &counts_;
    info_.entropy->encode_mcu = gatherMcu;
    info_.entropy->finish_pass = finishGather;
    hooked_ = true;
  }
#else
  (void)counting;
#endif
  if (!exif.empty()) jpeg_write_marker(&info_, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  if (source == RowSource::Direct) {
    for (std::int32_t y = 0; y < view.height; ++y)
      rows_[static_cast<std::size_t>(y)] = const_cast<std::uint8_t*>(view.row(y));
    while (info_.next_scanline < info_.image_height) {
      jpeg_write_scanlines(&info_, &rows_[info_.next_scanline], info_.image_height - info_.next_scanline);
    }
  } else {
    for (std::int32_t y = 0; y < view.height; y += kStripRows) {
      const std::int32_t count = std::min(kStripRows, view.height - y);
      fillStrip(view, source, y, count);
      JDIMENSION written = 0;
      while (written < static_cast<JDIMENSION>(count)) {
        written += jpeg_write_scanlines(&info_, &rows_[static_cast<std::size_t>(y) + written],
                                        static_cast<JDIMENSION>(count) - written);
      }
    }
  }
  jpeg_finish_compress(&info_);
  return true;
}

util::Result<std::vector<std::uint8_t>> Encoder::encode(const ImageView& view, int quality,
                                                        const std::vector<std::uint8_t>& exif,
                                                        JpegSymbolCounting counting) {
  if (!created_) return util::fail(errors_.message[0] ? errors_.message : "cannot start the JPEG encoder");
  RowSource source = RowSource::Converted;
  if (view.format == PixelFormat::Rgb24 || view.format == PixelFormat::Rgb32) {
    source = RowSource::Direct;
  } else if (view.format == PixelFormat::Argb32 || view.format == PixelFormat::PArgb32) {
    source = RowSource::OpaqueOrComposed;
  }
  if (auto prepared = prepare(view, source); !prepared) return util::fail(std::move(prepared.error()));
  if (!run(view, source, quality, exif, counting))
    return util::fail(errors_.message[0] ? errors_.message : "JPEG error");
  std::vector<std::uint8_t> out(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(destination_.used));
  // A thread keeps its buffers for the next picture of the same size, but not those of an
  // exceptionally large one.
  if (output_.size() > kKeptBytes) std::vector<std::uint8_t>().swap(output_);
  if (strip_.size() > kKeptBytes) std::vector<std::uint8_t>().swap(strip_);
  return out;
}

// The APP1 "Exif" segment's payload for the items, or nothing when there are none or the
// block does not fit one segment.
std::vector<std::uint8_t> exifPayload(std::span<const PropertyItem> items) {
  const std::vector<std::uint8_t> tiff = buildExifBlock(items);
  if (tiff.empty() || tiff.size() + 8 > 0xFFFF) return {};
  std::vector<std::uint8_t> payload = {'E', 'x', 'i', 'f', 0, 0};
  payload.insert(payload.end(), tiff.begin(), tiff.end());
  return payload;
}

}  // namespace

// The self-check of our counting: a small fixed picture at a quality for each path the movies
// take (4:2:0 with the fast DCT, 4:4:4 with the fast and with the accurate one), encoded with
// our counting and with libjpeg's own. The bytes must be equal, and our counting must have
// seen every block (or libjpeg's pass was used and the comparison proves nothing). It takes
// about half a millisecond, once per process. Should it fail, movies take about 1.5 times the
// CPU time (t200, 200 frames of 320x240: 0.39 s instead of 0.26 s at quality 100, 0.29 s
// instead of 0.18 s at 94).
bool runOwnSymbolCountingCheck() {
#if BREVANTO_OWN_SYMBOL_COUNTING
  constexpr int kWidth = 40, kHeight = 24;  // partial MCUs across at 4:2:0
  std::vector<std::uint8_t> pixels(kWidth * kHeight * 3);
  std::uint32_t seed = 1;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      std::uint8_t* px = &pixels[static_cast<std::size_t>((y * kWidth + x) * 3)];
      px[0] = static_cast<std::uint8_t>(x * 6);
      px[1] = static_cast<std::uint8_t>(y * 10);
      px[2] = static_cast<std::uint8_t>((x / 3 + y / 5) % 2 ? seed >> 24 : 64);
    }
  const ImageView view{kWidth, kHeight, PixelFormat::Rgb24, pixels.data(), kWidth * 3, {}};
  Encoder encoder;
  for (int quality : {75, 94, 100}) {
    const auto ours = encoder.encode(view, quality, {}, JpegSymbolCounting::Ours);
    if (!ours || ours->empty() || !encoder.countedAllBlocks()) return false;
    const auto theirs = encoder.encode(view, quality, {}, JpegSymbolCounting::Libjpegs);
    if (!theirs || *ours != *theirs) return false;
  }
  return true;
#else
  return false;
#endif
}

bool ownSymbolCountingChecked() {
  static const bool passed = runOwnSymbolCountingCheck();  // once, by the first thread to encode
  return passed;
}

namespace {

// Both entry points encode on this thread's one encoder, which keeps its buffers between pictures.
util::Result<std::vector<std::uint8_t>> encodeOnThisThread(const ImageView& view, int quality,
                                                           std::span<const PropertyItem> items,
                                                           JpegSymbolCounting counting) {
  if (!view.valid()) return util::fail("no picture to encode");
  thread_local Encoder encoder;
  return encoder.encode(view, std::clamp(quality, 1, 100), exifPayload(items), counting);
}

}  // namespace

util::Result<std::vector<std::uint8_t>> encodeJpegCounting(JpegSymbolCounting counting, const ImageView& view,
                                                           int quality) {
  return encodeOnThisThread(view, quality, {}, counting);
}

util::Result<std::vector<std::uint8_t>> encodeJpeg(const ImageView& view, int quality,
                                                   std::span<const PropertyItem> items) {
  // Our counting when the self-check passed; libjpeg's own, the same bytes more slowly, when
  // it did not.
  return encodeOnThisThread(view, quality, items,
                            ownSymbolCountingChecked() ? JpegSymbolCounting::Ours : JpegSymbolCounting::Libjpegs);
}

DecodeResult decodeJpeg(std::span<const std::uint8_t> data, const FrameSink& sink) {
  DecodeResult result;
  TjHandle handle(tjInitDecompress());
  if (!handle) {
    result.error = "cannot start the JPEG decoder";
    return result;
  }
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), data.data(), static_cast<unsigned long>(data.size()), &width, &height,
                          &subsampling, &colorspace) != 0) {
    result.error = tjError(handle.get());
    return result;
  }
  const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
  const std::uint64_t workBytes = std::uint64_t(width) * std::uint64_t(height) * (cmyk ? 7 : 3);
  if (auto work = checkImageAllocation(width, height, workBytes); !work) {
    result.error = work.error();
    return result;
  }

  DecodedFrame frame;
  frame.width = width;
  frame.height = height;
  frame.format = PixelFormat::Rgb24;
  frame.stride = static_cast<std::size_t>(width) * 3;
  frame.pixels.resize(frame.stride * static_cast<std::size_t>(height));
  if (!cmyk) {
    if (tjDecompress2(handle.get(), data.data(), static_cast<unsigned long>(data.size()), frame.pixels.data(), width,
                      static_cast<int>(frame.stride), height, TJPF_BGR, 0) != 0 &&
        tjGetErrorCode(handle.get()) == TJERR_FATAL) {
      result.error = tjError(handle.get());
      return result;
    }
  } else {
    // Adobe CMYK JPEGs store inverted inks, so each channel times K gives the colour.
    std::vector<std::uint8_t> inks(static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height));
    if (tjDecompress2(handle.get(), data.data(), static_cast<unsigned long>(data.size()), inks.data(), width, width * 4,
                      height, TJPF_CMYK, 0) != 0 &&
        tjGetErrorCode(handle.get()) == TJERR_FATAL) {
      result.error = tjError(handle.get());
      return result;
    }
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height); i < n; ++i) {
      const std::uint8_t* p = &inks[i * 4];
      std::uint8_t* o = &frame.pixels[i * 3];
      o[2] = static_cast<std::uint8_t>(p[0] * p[3] / 255);
      o[1] = static_cast<std::uint8_t>(p[1] * p[3] / 255);
      o[0] = static_cast<std::uint8_t>(p[2] * p[3] / 255);
    }
  }
  result.properties = readTiffDirectoryItems(findExif(data));
  sink(frame);
  result.frameCount = 1;
  return result;
}

}  // namespace brevanto::image::platform
