#include "app/PreviewPane.h"

#include <QPainter>

#include "convert/PreviewPlayer.h"
#include "image/Drawing.h"

namespace brevanto::app {

PreviewPane::PreviewPane(const convert::PreviewPlayer& player, QWidget* parent) : QFrame(parent), player_(player) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setMinimumSize(160, 120);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PreviewPane::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);  // the frame border
  lastPainted_ = QImage();
  if (!player_.hasLoaded()) return;
  // frameAt checks the index against the frames held, so a frame number left over from a
  // longer file never reaches the drawing code.
  const image::RasterImage* frame = player_.currentImage();
  if (frame == nullptr || frame->isEmpty()) return;

  const QRect area = contentsRect();
  if (area.isEmpty()) return;
  if (canvas_.size() != area.size()) canvas_ = QImage(area.size(), QImage::Format_RGB32);
  image::DrawTarget target{canvas_.bits(), canvas_.width(), canvas_.height(), canvas_.bytesPerLine()};
  image::drawToDevice(*frame, target, image::Rect{0, 0, canvas_.width(), canvas_.height()},
                      image::Rect{0, 0, frame->width(), frame->height()});
  QPainter painter(this);
  painter.drawImage(area.topLeft(), canvas_);
  lastPainted_ = canvas_;
}

}  // namespace brevanto::app
