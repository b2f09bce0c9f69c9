#include "convert/SlotPictureMaker.h"

#include <algorithm>
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

// The shortest run of pixels in a row left transparent (see makeTransparent): over the sample
// GIFs runs of 1 (any unchanged pixel) give 2 011 042 bytes, 2: 2 003 803, 3: 1 994 884,
// 4: 1 993 134, 8: 1 996 103, 16: 2 032 398 (photographs gain from longer runs, GIFs whose
// optimiser left the unchanged pixels transparent from shorter ones).
constexpr int kMinTransparentRun = 4;

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

util::Result<image::RasterImage> SlotPictureMaker::preparedPicture(const image::platform::ImageView& frame) const {
  if (!frame.valid()) return util::fail("the frame holds no picture");
  image::RasterImage picture;
  if (auto made = picture.create(frame.width, frame.height, 24); !made) return util::fail(std::move(made.error()));
  for (int y = 0; y < frame.height; ++y) image::platform::rowToBgrOverWhite(frame, y, picture.row(y));
  if (shrinks_ && (frame.width != stage_.width || frame.height != stage_.height) &&
      !image::scaleImage(picture, stage_.width, stage_.height)) {
    return util::fail("the picture could not be scaled to the stage");
  }
  return picture;
}

std::shared_ptr<const SlotPictureMaker::LosslessPlan> SlotPictureMaker::planLossless(
    const image::RasterImage& prepared) {
  if (prepared.isEmpty() || prepared.bitCount() != 24) return std::make_shared<LosslessPlan>();
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
  return planCurrent(size);
}

std::shared_ptr<const SlotPictureMaker::LosslessPlan> SlotPictureMaker::planLossless(
    const image::platform::DecodedFrame& frame) {
  const image::platform::ImageView view = image::platform::viewOf(frame);
  if (shrinks_ || frame.format != image::platform::PixelFormat::Argb32 || !view.valid()) {
    const auto picture = preparedPicture(view);
    return picture ? planLossless(*picture) : std::make_shared<LosslessPlan>();
  }
  // The decoder's frames straight to B, G, R, 0xFF rows: the pixels of preparedPicture, without
  // the 24-bit picture between (this runs on the decoding thread, for every frame).
  const PixelSize size{frame.width, frame.height};
  current_.resize(static_cast<std::size_t>(size.width) * size.height * 4);
  for (int y = 0; y < size.height; ++y) {
    const std::uint8_t* src = view.row(y);
    std::uint8_t* dst = current_.data() + static_cast<std::size_t>(y) * size.width * 4;
    for (int x = 0; x < size.width; ++x, src += 4, dst += 4) {
      const unsigned a = src[3];
      if (a == 255) {
        std::memcpy(dst, src, 4);
      } else {
        for (int c = 0; c < 3; ++c) dst[c] = image::platform::channelOverWhite(src[c], a);
        dst[3] = 0xFF;
      }
    }
  }
  return planCurrent(size);
}

std::shared_ptr<const SlotPictureMaker::LosslessPlan> SlotPictureMaker::planCurrent(PixelSize size) {
  auto plan = std::make_shared<LosslessPlan>();
  const util::BgraView current = viewOfRows(current_, size);
  const util::PixelRect whole{0, 0, size.width, size.height};
  std::optional<util::PixelRect> rect = whole;
  // A picture of another size than the last one (or the first) is whole; changedRect says so.
  const bool sameSize = previous_.size() == current_.size() && size == pictureSize_;
  if (sameSize) {
    rect = image::changedRect(viewOfRows(previous_, size), current);
    if (!rect) return plan;  // nothing changed: the pictures placed before stay
    if (!rectangles_ || !stack_.fits(*rect)) rect = whole;
  }
  plan->rect = *rect;
  if (rect->width > swf::kMaxLosslessSide || rect->height > swf::kMaxLosslessSide) {
    previous_.swap(current_);
    plan->kind = swf::SlotPicture::Kind::Unreadable;
    return plan;
  }
  plan->kind = swf::SlotPicture::Kind::Lossless;
  const auto rowBytes = static_cast<std::size_t>(rect->width) * 4;
  plan->pixels.resize(rowBytes * static_cast<std::size_t>(rect->height));
  const util::BgraView part = current.sub(*rect);
  for (int y = 0; y < rect->height; ++y) std::memcpy(plan->pixels.data() + rowBytes * y, part.row(y), rowBytes);
  if (*rect == util::PixelRect{0, 0, pictureSize_.width, pictureSize_.height}) {
    stack_.placeWhole();
    stacked_.clear();
    whole_ = plan;
  } else {
    const swf::PictureStack::Placement placement = stack_.placeRect(*rect);
    std::erase_if(stacked_, [&](const Stacked& entry) {
      return std::binary_search(placement.removed.begin(), placement.removed.end(), entry.depth);
    });
    if (sameSize && whole_) makeTransparent(*plan, placement.removed.empty());
    stacked_.push_back({placement.depth, plan});
  }
  previous_.swap(current_);
  return plan;
}

void SlotPictureMaker::makeTransparent(LosslessPlan& plan, bool overPrevious) {
  // What shows under the rectangle once it is placed: the previous picture, unless rectangles
  // it covers were taken off, which uncovers what lay under them.
  const util::PixelRect& rect = plan.rect;
  const auto rowBytes = static_cast<std::size_t>(rect.width) * 4;
  util::BgraView under = viewOfRows(previous_, pictureSize_).sub(rect);
  if (!overPrevious) {
    below_.resize(rowBytes * static_cast<std::size_t>(rect.height));
    const util::BgraView base = viewOfRows(whole_->pixels, pictureSize_).sub(rect);
    for (int y = 0; y < rect.height; ++y) std::memcpy(below_.data() + rowBytes * y, base.row(y), rowBytes);
    for (const Stacked& entry : stacked_) {
      const util::PixelRect& r = entry.plan->rect;
      const int x0 = std::max(r.x, rect.x), x1 = std::min(r.x + r.width, rect.x + rect.width);
      const int y0 = std::max(r.y, rect.y), y1 = std::min(r.y + r.height, rect.y + rect.height);
      for (int y = y0; y < y1; ++y) {
        const std::uint8_t* src =
            entry.plan->pixels.data() + (static_cast<std::size_t>(y - r.y) * r.width + (x0 - r.x)) * 4;
        std::uint8_t* dst = below_.data() + rowBytes * (y - rect.y) + static_cast<std::size_t>(x0 - rect.x) * 4;
        for (int x = x0; x < x1; ++x, src += 4, dst += 4) {
          if (src[3] != 0) std::memcpy(dst, src, 4);
        }
      }
    }
    under = {below_.data(), static_cast<std::ptrdiff_t>(rowBytes), rect.width, rect.height};
  }
  // Both are B, G, R, 0xFF rows, so a pixel compares as one word. Only runs of at least
  // kMinTransparentRun pixels equal to what shows under them become all zero (fully
  // transparent): a lone unchanged pixel amid changed ones, as in a photograph's noise, is
  // cheaper kept in its colour, which continues the colours around it.
  bool unchanged = false;
  for (int y = 0; y < rect.height; ++y) {
    const std::uint8_t* old = under.row(y);
    std::uint8_t* dst = plan.pixels.data() + rowBytes * y;
    int runStart = 0;  // the first pixel of the current run of unchanged pixels
    auto endRun = [&](int end) {
      if (end - runStart >= kMinTransparentRun) {
        std::memset(dst + static_cast<std::size_t>(runStart) * 4, 0, static_cast<std::size_t>(end - runStart) * 4);
        unchanged = true;
      }
    };
    int x = 0;
    while (x < rect.width) {
      if (x + 4 <= rect.width &&
          std::memcmp(old + static_cast<std::size_t>(x) * 4, dst + static_cast<std::size_t>(x) * 4, 16) == 0) {
        x += 4;  // four unchanged pixels at once: the common case inside a run
      } else if (std::memcmp(old + static_cast<std::size_t>(x) * 4, dst + static_cast<std::size_t>(x) * 4, 4) == 0) {
        ++x;
      } else {
        endRun(x);
        runStart = ++x;
      }
    }
    endRun(rect.width);
  }
  plan.transparent = unchanged;
}

swf::SlotPicture SlotPictureMaker::compressLossless(const LosslessPlan& plan) {
  if (plan.kind != swf::SlotPicture::Kind::Lossless) {
    return plan.kind == swf::SlotPicture::Kind::Unreadable ? swf::SlotPicture::unreadable() : swf::SlotPicture{};
  }
  const util::BgraView picture{plan.pixels.data(), static_cast<std::ptrdiff_t>(plan.rect.width) * 4, plan.rect.width,
                               plan.rect.height};
  std::vector<std::uint8_t> fields =
      plan.transparent ? swf::transparentBitmapFields(picture) : swf::losslessBitmapFields(picture);
  // Fails only when memory runs out: the slot then keeps the previous picture.
  if (fields.empty()) return swf::SlotPicture::unreadable();
  return swf::SlotPicture::lossless(std::move(fields), plan.rect, plan.transparent);
}

swf::SlotPicture SlotPictureMaker::nextLossless(const image::RasterImage& prepared) {
  return compressLossless(*planLossless(prepared));
}

swf::SlotPicture SlotPictureMaker::makeFromView(const image::platform::ImageView& frame) {
  const auto picture = preparedPicture(frame);
  if (!picture) return {};
  if (kind_ == PictureKind::Lossless) return nextLossless(*picture);
  return encodePicture(*picture, qualitySetting_);
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
