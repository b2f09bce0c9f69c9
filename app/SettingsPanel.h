#pragma once

#include <QGroupBox>
#include <QString>

#include "convert/OutputSettings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace brevanto::app {

class DialogService;
class MessageQueue;

// The "swf file" group: output folder with its "..." button, output size and size mode, picture
// kind, JPEG quality, frame rate, loop mode and timing. It edits the window's settings, which
// the runs read, and keeps the size of the current GIF the size modes are applied to.
class SettingsPanel : public QGroupBox {
  Q_OBJECT

 public:
  // Starts `settings` at the output folder and the defaults.
  SettingsPanel(DialogService& dialogs, MessageQueue& messages, convert::OutputSettings& settings,
                const QString& outputFolder, QWidget* parent = nullptr);

  int sourceWidth() const { return sourceWidth_; }
  int sourceHeight() const { return sourceHeight_; }
  void setSourceSize(int width, int height);

  // Reads the boxes into the settings. A box that does not hold an integer is reported
  // ("Please enter an integer.", focus and selection on it); returns false then.
  bool readFields();
  // A frame rate the movie would store as 0 frames a second is reported, with the focus on its
  // box; returns false then. Other rates are kept as they are (300 is stored as 44). Only movies
  // timed in 100 ms steps use the rate.
  bool frameRateUsable();
  // Shows the settings in their boxes.
  void writeBack();
  // A row was made current: its size, "Original Size", shown.
  void makeSourceCurrent(int width, int height);
  // A file of a run is being converted at `stage`: its size kept, the stage shown.
  void showFileStage(convert::PixelSize source, convert::PixelSize stage);

  // The user's commands: a size mode picked from the list, and "...".
  void chooseSizeMode(const QString& mode);
  void browse();

  // The picture kind ("JPEG", "Lossless": the quality box is disabled while Lossless is chosen)
  // and the loop mode ("Forever", "As the GIF"), as the user picks them.
  void choosePictures(convert::PictureKind kind);
  void chooseLoop(convert::LoopMode mode);
  // The timing ("100 ms steps", "As the GIF": the frame-rate box is disabled while As the GIF
  // is chosen, since the movie then runs at the GIF's own rate).
  void chooseTiming(convert::Timing timing);

  // A run locks "...", the size list, the frame-rate box and the picture, loop and timing choices.
  void setLocked(bool locked);

 private:
  // The frame-rate box is enabled while the run is not locked and the movie is timed in 100 ms steps.
  void updateFrameRateBox();

  DialogService& dialogs_;
  MessageQueue& messages_;
  convert::OutputSettings& settings_;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;

  QLineEdit* pathBox_ = nullptr;  // display only: the folder changes through "..."
  QPushButton* browseButton_ = nullptr;
  QLineEdit* widthBox_ = nullptr;
  QLineEdit* heightBox_ = nullptr;
  QComboBox* sizeModeBox_ = nullptr;
  QLineEdit* qualityBox_ = nullptr;
  QLineEdit* frameRateBox_ = nullptr;
  QComboBox* picturesBox_ = nullptr;
  QComboBox* loopBox_ = nullptr;
  QComboBox* timingBox_ = nullptr;
  bool locked_ = false;
};

}  // namespace brevanto::app
