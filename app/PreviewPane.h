#pragma once

#include <QFrame>
#include <QImage>

namespace brevanto::convert {
class PreviewPlayer;
}

namespace brevanto::app {

// The preview pane: draws the player's current frame stretched over the whole pane,
// nearest-neighbour, without keeping the aspect ratio. Draws nothing before the first load or
// when the player holds no frame at its current index.
class PreviewPane : public QFrame {
  Q_OBJECT

 public:
  explicit PreviewPane(const convert::PreviewPlayer& player, QWidget* parent = nullptr);

  QSize sizeHint() const override { return {240, 180}; }

  // What the last paint drew into the pane's contents (null when nothing was drawn).
  const QImage& lastPainted() const { return lastPainted_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const convert::PreviewPlayer& player_;
  QImage canvas_;
  QImage lastPainted_;
};

}  // namespace brevanto::app
