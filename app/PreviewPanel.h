#pragma once

#include <QGroupBox>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace brevanto::convert {
class PreviewPlayer;
}

namespace brevanto::app {

class PreviewPane;

// The "Preview" group: the pane, the position slider (display only), Play and Pause, and the
// frame shown out of the frames held.
class PreviewPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit PreviewPanel(const convert::PreviewPlayer& player, QWidget* parent = nullptr);

  // Paints the pane again (a new frame is shown).
  void repaintPane();

  void setPlayEnabled(bool enabled);
  void setPauseEnabled(bool enabled);
  bool isPlayEnabled() const;
  bool isPauseEnabled() const;
  void setFrame(int index);
  void setSliderPosition(int position);
  void setFrameCountText(const QString& text);
  QString frameText() const;
  QString frameCountText() const;
  int sliderPosition() const;

 signals:
  void playClicked();
  void pauseClicked();

 private:
  PreviewPane* pane_ = nullptr;
  QPushButton* playButton_ = nullptr;
  QPushButton* pauseButton_ = nullptr;
  QSlider* slider_ = nullptr;          // position within the file, 0..100
  QLineEdit* frameBox_ = nullptr;      // index of the frame shown
  QLabel* frameTotalLabel_ = nullptr;  // "0", then "/%d"
};

}  // namespace brevanto::app
