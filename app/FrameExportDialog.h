#pragma once

#include <QDialog>
#include <QString>

#include <string>

#include "image/FrameList.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace brevanto::app {

class ShellService;

// The small modal window of a sequence export. It decodes every frame of the source when it is
// made, then writes one frame per 100 ms tick into the export folder (the folder named after
// the extension below "tolvane_brevanto/" in the output folder), showing "written/total".
// After the last frame it asks the shell to open the export folder and closes itself. Closing
// it early stops the export; the frames already written stay.
class FrameExportDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTickMilliseconds = 100;

  // extension: with its leading dot (".bmp" when empty). outputFolder: "/"-separated with a
  // trailing "/". The shell is not owned and may be null (nothing is opened then).
  FrameExportDialog(const QString& sourcePath, const QString& extension, const std::string& outputFolder,
                    ShellService* shell, QWidget* parent = nullptr);
  ~FrameExportDialog() override;

  int frameCount() const { return frameCount_; }
  // Frames written so far; also the index of the next frame to write.
  int framesWritten() const;
  QString exportFolder() const { return exportFolder_; }
  QString extension() const { return extension_; }
  QString counterText() const;
  bool finished() const { return finished_; }

  // One timer step: writes the next frame, or finishes when none is left. Public so the
  // export can be stepped without waiting for the timer.
  void tick();

 signals:
  // After every tick that wrote (or tried to write) a frame.
  void frameWritten(int written, int total);

 protected:
  void done(int result) override;

 private:
  void finish();

  QString sourcePath_;
  QString extension_;
  std::string outputFolder_;
  QString exportFolder_;
  ShellService* shell_ = nullptr;
  image::FrameList frames_;
  int frameCount_ = 0;
  bool finished_ = false;
  QLabel* counter_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace brevanto::app
