#include "convert/SlotPictureMaker.h"

#include <cstring>

#include "convert/PictureEncoder.h"
#include "image/BicubicScaler.h"
#include "image/ChangedRect.h"
#include "image/platform/DecodedImage.h"
#include "image/platform/PixelRows.h"
#include "image/platform/PlatformCodec.h"
#include "swf/SwfLosslessBitmap.h"

namespace brevanto::convert {

namespace {

util::BgraView viewOfRows(const std::vector<std::uint8_t>& bgrx, PixelSize size) {
  return {bgrx.data(), static_cast<std::ptrdiff_t>(size.width) * 4, size.width, size.height};
}

}  // namespace

bool shrinksPictures(PixelSize source, PixelSize stage) {
  return stage.width < source.width || stage.height < source.height;
}

PixelSize pictureSizeFor(PixelSize source, PixelSize stage) { return shrinksPictures(source, stage) ? stage : source; }

int wholeScaleOf(PixelSize picture, PixelSize stage) {
  if (picture.width < 1 || picture.height < 1) return 0;
  const int scale = stage.width / picture.width;
  return scale >= 1 && stage.width == scale * picture.width && stage.height == scale * picture.height ? scale : 0;
}

SlotPictureMaker::SlotPictureMaker(PictureKind kind, int qualitySetting, PixelSize source, PixelSize stage)
    : kind_(kind),
      qualitySetting_(qualitySetting),
      stage_(stage),
      pictureSize_(pictureSizeFor(source, stage)),
      shrinks_(shrinksPictures(source, stage) && stage.width >= 1 && stage.height >= 1),
      rectangles_(wholeScaleOf(pictureSizeFor(source, stage), stage) > 0),
      stack_(pictureSize_.width, pictureSize_.height) {}

image::RasterImage SlotPictureMaker::preparedPicture(const image::platform::ImageView& frame) const {
  image::RasterImage picture;
  if (!frame.valid() || !picture.create(frame.width, frame.height, 24)) return {};
  for (int y = 0; y < frame.height; ++y) image::platform::rowToBgrOverWhite(frame, y, picture.row(y));
  if (shrinks_ && (frame.width != stage_.width || frame.height != stage_.height) &&
      !image::scaleImage(picture, stage_.width, stage_.height)) {
    return {};
  }
  return picture;
}

swf::SlotPicture SlotPictureMaker::nextLossless(const image::RasterImage& prepared) {
  if (prepared.isEmpty() || prepared.bitCount() != 24) return {};
  const PixelSize size{prepared.width(), prepared.height()};
  current_.resize(static_cast<std::size_t>(size.width) * size.height * 4);
  for (int y = 0; y < size.height; ++y) {
    const std::uint8_t* src = prepared.row(y);
    std::uint8_t* dst = current_.data() + static_cast<std::size_t>(y) * size.width * 4;
    for (int x = 0; x < size.width; ++x, src += 3, dst += 4) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
      dst[3] = 0xFF;
    }
  }
  const util::BgraView current = viewOfRows(current_, size);
  const util::PixelRect whole{0, 0, size.width, size.height};
  std::optional<util::PixelRect> rect = whole;
  // A picture of another size than the last one (or the first) is whole; changedRect says so.
  const bool sameSize = previous_.size() == current_.size() && size == pictureSize_;
  if (sameSize) {
    rect = image::changedRect(viewOfRows(previous_, size), current);
    if (!rect) return {};  // nothing changed: the pictures placed before stay
    if (!rectangles_ || !stack_.fits(*rect)) rect = whole;
  }
  std::vector<std::uint8_t> fields = swf::losslessBitmapFields(current.sub(*rect));
  previous_.swap(current_);
  if (fields.empty()) return swf::SlotPicture::unreadable();
  if (*rect == util::PixelRect{0, 0, pictureSize_.width, pictureSize_.height}) {
    stack_.placeWhole();
  } else {
    stack_.placeRect(*rect);
  }
  return swf::SlotPicture::lossless(std::move(fields), *rect);
}

swf::SlotPicture SlotPictureMaker::makeFromView(const image::platform::ImageView& frame) {
  const image::RasterImage picture = preparedPicture(frame);
  if (picture.isEmpty()) return {};
  if (kind_ == PictureKind::Lossless) return nextLossless(picture);
  std::vector<std::uint8_t> jpeg = image::encodeJpeg(picture, jpegQualityFor(qualitySetting_));
  return jpeg.empty() ? swf::SlotPicture{} : swf::SlotPicture::jpeg(std::move(jpeg));
}

swf::SlotPicture SlotPictureMaker::make(const image::platform::DecodedFrame& frame) {
  if (kind_ == PictureKind::Jpeg && !shrinks_) return encodePicture(frame, qualitySetting_);
  return makeFromView(image::platform::viewOf(frame));
}

swf::SlotPicture SlotPictureMaker::make(const image::RasterImage& frame) {
  if (kind_ == PictureKind::Jpeg && !shrinks_) return encodePicture(frame, qualitySetting_);
  std::vector<std::uint32_t> palette;
  return makeFromView(image::viewOfRaster(frame, palette));
}

}  // namespace brevanto::convert
