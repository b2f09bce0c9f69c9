#include "convert/PictureEncoder.h"

#include "convert/OutputSettings.h"
#include "image/RasterImage.h"
#include "image/platform/DecodedImage.h"
#include "image/platform/JpegCodec.h"
#include "image/platform/PlatformCodec.h"

namespace brevanto::convert {

namespace {

swf::SlotPicture jpegPicture(util::Result<std::vector<std::uint8_t>> jpeg) {
  return jpeg ? swf::SlotPicture::jpeg(std::move(*jpeg)) : swf::SlotPicture{};
}

}  // namespace

swf::SlotPicture encodePicture(const image::platform::DecodedFrame& frame, int qualitySetting) {
  return jpegPicture(image::platform::encodeJpeg(image::platform::viewOf(frame), jpegQualityFor(qualitySetting)));
}

swf::SlotPicture encodePicture(const image::RasterImage& frame, int qualitySetting) {
  return jpegPicture(image::encodeJpeg(frame, jpegQualityFor(qualitySetting)));
}

}  // namespace brevanto::convert
