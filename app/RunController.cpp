#include "app/RunController.h"

#include <QMetaObject>
#include <QTimer>

#include "app/BatchPanel.h"
#include "app/FullSpeedController.h"
#include "app/MessageQueue.h"
#include "app/Platform.h"
#include "app/PreviewPanel.h"
#include "app/SettingsPanel.h"
#include "app/StdText.h"
#include "convert/FrameCapture.h"

namespace brevanto::app {

namespace {

MessageIcon iconOf(convert::MessageIcon icon) {
  return icon == convert::MessageIcon::Exclamation ? MessageIcon::Exclamation : MessageIcon::None;
}

}  // namespace

// The batch list as the conversion run reads it: the path and size of a row.
class RunController::ListAdapter final : public convert::RunFileList {
 public:
  explicit ListAdapter(const BatchPanel& batch) : batch_(batch) {}
  int itemCount() const override { return batch_.rowCount(); }
  convert::RunItem itemAt(int index) const override {
    const BatchEntry row = batch_.entry(index);
    return {row.filePath.toStdString(), row.width, row.height};
  }

 private:
  const BatchPanel& batch_;
};

RunController::RunController(convert::PreviewPlayer& player, Parts parts, QObject* parent)
    : QObject(parent), player_(player), parts_(parts) {
  listAdapter_ = std::make_unique<ListAdapter>(parts_.batch);
  run_ = std::make_unique<convert::ConversionRun>(player_, parts_.settings, *listAdapter_);

  playbackTimer_ = new QTimer(this);
  playbackTimer_->setInterval(convert::kTimerPeriodMs);
  connect(playbackTimer_, &QTimer::timeout, this, [this] { perform(run_->tick(convert::kPlaybackTimer)); });
  nextFileTimer_ = new QTimer(this);
  nextFileTimer_->setInterval(convert::kTimerPeriodMs);
  connect(nextFileTimer_, &QTimer::timeout, this, [this] { perform(run_->tick(convert::kNextFileTimer)); });

  // The playback thread announces each frame it shows; the frame is captured and painted here,
  // on the user-interface thread.
  player_.setFrameShown([this] {
    QMetaObject::invokeMethod(
        this,
        [this] {
          player_.handleShownFrames();
          parts_.preview.repaintPane();
        },
        Qt::QueuedConnection);
  });

  fullSpeed_ = new FullSpeedController(parts_.batch, parts_.messages, this);
  connect(fullSpeed_, &FullSpeedController::fileStarted, this, &RunController::fullSpeedFileStarted);
  connect(fullSpeed_, &FullSpeedController::progressChanged, &parts_.batch, &BatchPanel::setProgress);
  connect(fullSpeed_, &FullSpeedController::movieWritten, this, &RunController::movieWritten);
  connect(fullSpeed_, &FullSpeedController::fileFailed, this, &RunController::reportProblem);
  connect(fullSpeed_, &FullSpeedController::finished, this, &RunController::fullSpeedFinished);
}

RunController::~RunController() {
  stop();
  player_.stopPlayback();
  player_.setFrameShown({});
}

bool RunController::isRunning() const {
  return run_->isConverting() || run_->isConvertAll() || fullSpeed_->isRunning();
}

bool RunController::playbackTimerActive() const { return playbackTimer_->isActive(); }
bool RunController::nextFileTimerActive() const { return nextFileTimer_->isActive(); }
void RunController::stopPlaybackTimer() { playbackTimer_->stop(); }

void RunController::play() {
  if (!isRunning()) perform(run_->play());
}

void RunController::pause() {
  if (!isRunning()) perform(run_->pause());
}

void RunController::convert() {
  // A run in progress is not restarted from the list's popup menu.
  if (isRunning()) return;
  // The run checks the list and the current file before anything else.
  if (parts_.batch.rowCount() > 0 && !run_->currentFile().empty()) {
    parts_.settingsPanel.readFields();
    if (!parts_.settingsPanel.frameRateUsable()) return;
  }
  if (fullSpeedOn_) {
    if (fullSpeed_->start(false, run_->currentFile(), parts_.settings)) afterFullSpeedStart();
  } else {
    perform(run_->convert());
  }
}

void RunController::convertAll() {
  if (isRunning()) return;
  const convert::OutputSettings& settings = parts_.settings;
  if (parts_.batch.rowCount() > 0 && !convert::outputFolderMissing(settings.outputFolder)) {
    parts_.settingsPanel.readFields();
    if (!parts_.settingsPanel.frameRateUsable()) return;
  }
  if (fullSpeedOn_) {
    if (fullSpeed_->start(true, run_->currentFile(), settings)) afterFullSpeedStart();
  } else {
    perform(run_->convertAll());
  }
}

void RunController::stop() {
  if (fullSpeed_->isRunning()) {
    fullSpeed_->stop();  // the files in progress are finished, no further one starts
  } else if (run_->isConverting() || run_->isConvertAll()) {
    playbackTimer_->stop();
    nextFileTimer_->stop();
    player_.stopPlayback();
    player_.capture().captureEnabled = false;
    // A fresh run: the stopped one's state (converting, file index) is dropped.
    const std::string current = run_->currentFile();
    run_ = std::make_unique<convert::ConversionRun>(player_, parts_.settings, *listAdapter_);
    run_->setCurrentFile(current);
    convert::emptyCaptureFolder(parts_.settings.outputFolder);
    parts_.preview.setSliderPosition(0);
  } else {
    return;
  }
  runEnded();
}

void RunController::runEnded() {
  setControlsLocked(false);
  parts_.preview.setPlayEnabled(true);
  parts_.preview.setPauseEnabled(false);
  afterAction();
}

void RunController::setControlsLocked(bool locked) {
  parts_.batch.setLocked(locked);
  parts_.settingsPanel.setLocked(locked);
  emit controlsLockedChanged(locked);
}

void RunController::afterAction() {
  const bool running = isRunning();
  parts_.batch.setRunning(running);
  if (running) {
    // The list stays as the run reads it, also between two files of a Convert All; Play and
    // Pause would restart the file being captured.
    setControlsLocked(true);
    parts_.preview.setPlayEnabled(false);
    parts_.preview.setPauseEnabled(false);
  }
  if (running != wasRunning_) {
    wasRunning_ = running;
    emit runningChanged(running);
  }
}

void RunController::openMovie(const QString& movie) {
  // A desktop without a program for movies refuses: the folder holding it is shown instead.
  if (!parts_.shell.openPath(movie, ShowMode::Normal)) {
    parts_.shell.openPath(fromStd(parts_.settings.outputFolder), ShowMode::Normal);
  }
}

void RunController::perform(const convert::RunActions& actions) {
  if (actions.controlsLocked) setControlsLocked(*actions.controlsLocked);
  if (actions.playEnabled) parts_.preview.setPlayEnabled(*actions.playEnabled);
  if (actions.pauseEnabled) parts_.preview.setPauseEnabled(*actions.pauseEnabled);
  if (actions.frameBox) parts_.preview.setFrame(*actions.frameBox);
  if (actions.progressPercent) parts_.batch.setProgress(*actions.progressPercent);
  if (actions.sliderPosition) parts_.preview.setSliderPosition(*actions.sliderPosition);
  if (actions.frameCountLabel) parts_.preview.setFrameCountText(fromStd(*actions.frameCountLabel));

  if (actions.selectRow) parts_.batch.selectRow(*actions.selectRow);
  if (actions.currentItem) {
    parts_.settingsPanel.setSourceSize(actions.currentItem->width, actions.currentItem->height);
  }
  if (actions.writeSettingsBack) parts_.settingsPanel.writeBack();
  if (actions.repaintPane) parts_.preview.repaintPane();

  if (actions.playbackTimerRunning) {
    if (*actions.playbackTimerRunning) {
      playbackTimer_->start();
    } else {
      playbackTimer_->stop();
    }
  }
  if (actions.nextFileTimerRunning) {
    if (*actions.nextFileTimerRunning) {
      nextFileTimer_->start();
    } else {
      nextFileTimer_->stop();
    }
  }
  afterAction();

  // Requests and messages come last: a message box runs its own event loop, and the run's
  // timers must already be set when it does.
  if (actions.movieWritten && actions.movieSummary)
    emit movieWritten(fromStd(*actions.movieWritten), fromStd(*actions.movieSummary));
  if (actions.openMovie) openMovie(fromStd(*actions.openMovie));
  if (actions.openFolder) parts_.shell.openPath(fromStd(*actions.openFolder), ShowMode::Normal);
  if (actions.problem) {
    const convert::RunProblem& problem = *actions.problem;
    reportProblem(fromStd(problem.file), fromStd(problem.movie), fromStd(problem.reason),
                  convert::fileDecoded(problem));
  }
  if (actions.message) parts_.messages.show(fromStd(*actions.message), iconOf(actions.messageIcon));
}

void RunController::reportProblem(const QString& file, const QString& movie, const QString& reason, bool hadFrames) {
  QString text;
  if (hadFrames) {
    text = reason;
    if (!text.contains(movie)) text = QStringLiteral("The movie \"%1\" could not be written: %2").arg(movie, text);
  } else {
    text = QStringLiteral("\"%1\" could not be converted: %2").arg(file, reason);
  }
  parts_.messages.show(text, MessageIcon::Exclamation);
}

// ---------------------------------------------------------------------------------------------
// Full speed

void RunController::afterFullSpeedStart() {
  setControlsLocked(true);
  afterAction();
}

void RunController::fullSpeedFileStarted(int row, const QString& gifPath, convert::PixelSize source,
                                         convert::PixelSize stage) {
  // The preview shows the file started last, still.
  if (fullSpeed_->convertsAll()) {
    parts_.batch.selectRow(row);
    run_->setCurrentFile(gifPath.toStdString());
    // As in the real-time run, the size boxes show the stage of the file being converted.
    parts_.settingsPanel.showFileStage(source, stage);
  }
  player_.stopPlayback();
  player_.rewind();
  // A file that cannot be decoded shows an empty pane; the run reports why.
  static_cast<void>(player_.load(gifPath.toStdString()));
  parts_.preview.setFrame(0);
  parts_.preview.setSliderPosition(0);
  parts_.preview.setFrameCountText(QStringLiteral("/%1").arg(player_.frameCount()));
  parts_.preview.repaintPane();
}

void RunController::fullSpeedFinished(const QString& lastMovie) {
  runEnded();
  if (fullSpeed_->convertsAll()) {
    parts_.shell.openPath(fromStd(parts_.settings.outputFolder), ShowMode::Normal);
  } else if (!lastMovie.isEmpty()) {
    openMovie(lastMovie);
  }
}

}  // namespace brevanto::app
