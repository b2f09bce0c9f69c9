#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

#include "convert/ConversionRun.h"
#include "convert/PreviewPlayer.h"

class QTimer;

namespace brevanto::app {

class BatchPanel;
class FullSpeedController;
class MessageQueue;
class PreviewPanel;
class SettingsPanel;
class ShellService;

// The run's window glue: Play, Pause, Convert, Convert All and Stop. A real-time run is the
// core's ConversionRun, driven by two 100 ms timers, whose requests are carried out on the
// panels; with "Full speed" on, Convert and Convert All go through FullSpeedController instead,
// whose reports are shown on the same panels.
//
// While a run goes on, nothing the user does changes which files it converts: rows cannot be
// made current, and Play and Pause are disabled (they would restart the capture). Stop ends
// the run: the capture folder is emptied, no movie is written for the file in progress, and
// movies written before stay.
class RunController : public QObject {
  Q_OBJECT

 public:
  struct Parts {
    BatchPanel& batch;
    SettingsPanel& settingsPanel;
    convert::OutputSettings& settings;  // what the settings panel edits and the runs read
    PreviewPanel& preview;
    MessageQueue& messages;
    ShellService& shell;
  };

  RunController(convert::PreviewPlayer& player, Parts parts, QObject* parent = nullptr);
  ~RunController() override;

  const convert::ConversionRun& run() const { return *run_; }
  void setCurrentFile(const QString& path) { run_->setCurrentFile(path.toStdString()); }

  void play();
  void pause();
  void convert();
  void convertAll();
  void stop();

  // "Full speed": off at every start.
  void setFullSpeed(bool on) { fullSpeedOn_ = on; }
  bool fullSpeed() const { return fullSpeedOn_; }
  // A conversion (real-time or full speed) is going on.
  bool isRunning() const;

  // Rows are being removed: playback of a removed file stops.
  void stopPlaybackTimer();
  bool playbackTimerActive() const;
  bool nextFileTimerActive() const;

 signals:
  // Convert, Convert All and "Full speed" follow the other locked controls.
  void controlsLockedChanged(bool locked);
  // Stop is available while a run goes on.
  void runningChanged(bool running);
  // A movie was written: its path and its length, rate and passes in words.
  void movieWritten(const QString& movie, const QString& summary);

 private:
  void perform(const convert::RunActions& actions);
  void setControlsLocked(bool locked);
  void afterAction();
  void openMovie(const QString& movie);
  void reportProblem(const QString& file, const QString& movie, const QString& reason, bool hadFrames);
  // Ends a run: the controls unlocked, Play available.
  void runEnded();
  // A full-speed run has started: the controls are locked.
  void afterFullSpeedStart();

  void fullSpeedFileStarted(int row, const QString& gifPath, convert::PixelSize source, convert::PixelSize stage);
  void fullSpeedFinished(const QString& lastMovie);

  convert::PreviewPlayer& player_;
  Parts parts_;
  class ListAdapter;
  std::unique_ptr<ListAdapter> listAdapter_;
  std::unique_ptr<convert::ConversionRun> run_;
  QTimer* playbackTimer_ = nullptr;  // timer 1
  QTimer* nextFileTimer_ = nullptr;  // timer 2

  bool fullSpeedOn_ = false;
  FullSpeedController* fullSpeed_ = nullptr;
  bool wasRunning_ = false;
};

}  // namespace brevanto::app
