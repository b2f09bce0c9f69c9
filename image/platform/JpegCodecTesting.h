#pragma once

#include <cstdint>
#include <vector>

#include "image/platform/DecodedImage.h"
#include "util/Result.h"

// Internals of the JPEG encoder that the tests and benchmarks reach; the program calls only
// encodeJpeg (JpegCodec.h).
namespace brevanto::image::platform {

// Who counts the symbols for the optimised Huffman tables: our fast pass, or libjpeg's own
// (slower, through its public optimize_coding switch alone). Both give the same bytes.
enum class JpegSymbolCounting { Ours, Libjpegs };

// The self-check that decides between them for encodeJpeg: true when our counting gave
// libjpeg's bytes on a small fixed picture. encodeJpeg runs it once per process and keeps the
// result, which ownSymbolCountingChecked returns; runOwnSymbolCountingCheck runs it again.
bool runOwnSymbolCountingCheck();
bool ownSymbolCountingChecked();

// encodeJpeg without Exif items, through the given counting (Ours is honoured whatever the
// self-check found).
util::Result<std::vector<std::uint8_t>> encodeJpegCounting(JpegSymbolCounting counting, const ImageView& view,
                                                           int quality);

}  // namespace brevanto::image::platform
