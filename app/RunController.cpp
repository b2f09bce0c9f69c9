#include "app/RunController.h"

#include <QDir>
#include <QMetaObject>
#include <QDebug>
#include <QTimer>

#include <thread>
#include <tuple>

#include "app/BatchList.h"
#include "app/BatchPanel.h"
#include "app/MessageQueue.h"
#include "app/Platform.h"
#include "app/PreviewPane.h"
#include "app/PreviewPanel.h"
#include "app/SettingsPanel.h"
#include "convert/FrameCapture.h"

namespace brevanto::app {

namespace {

QString fromStd(const std::string& text) { return QString::fromStdString(text); }
QString fromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

MessageIcon iconOf(convert::MessageIcon icon) {
  return icon == convert::MessageIcon::Exclamation ? MessageIcon::Exclamation : MessageIcon::None;
}

}  // namespace

// The batch list as the conversion run reads it: FilePath and Dimension of a row.
class RunController::ListAdapter final : public convert::RunFileList {
 public:
  explicit ListAdapter(const BatchList& list) : list_(list) {}
  int itemCount() const override { return list_.rowCount(); }
  convert::RunItem itemAt(int index) const override {
    const BatchEntry row = list_.entry(index);
    const Dimension size = parseDimension(row.dimension);
    return {row.filePath.toStdString(), size.width, size.height};
  }

 private:
  const BatchList& list_;
};

RunController::RunController(convert::PreviewPlayer& player, Parts parts, QObject* parent)
    : QObject(parent), player_(player), parts_(parts) {
  listAdapter_ = std::make_unique<ListAdapter>(parts_.batch.list());
  run_ = std::make_unique<convert::ConversionRun>(player_, parts_.settings.settings(), *listAdapter_);

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
          parts_.preview.pane().update();
        },
        Qt::QueuedConnection);
  });
}

RunController::~RunController() {
  stop();
  player_.stopPlayback();
  player_.setFrameShown({});
}

bool RunController::isRunning() const {
  return run_->isConverting() || run_->isConvertAll() || fullSpeedRunner_.isRunning();
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
  if (parts_.batch.list().rowCount() > 0 && !run_->currentFile().empty()) {
    parts_.settings.readFields();
    if (!parts_.settings.frameRateUsable()) return;
  }
  if (fullSpeed_) {
    startFullSpeed(false);
  } else {
    perform(run_->convert());
  }
}

void RunController::convertAll() {
  if (isRunning()) return;
  convert::OutputSettings& settings = parts_.settings.settings();
  if (parts_.batch.list().rowCount() > 0 && !convert::outputFolderMissing(settings.outputFolder)) {
    parts_.settings.readFields();
    if (!parts_.settings.frameRateUsable()) return;
    customSize_ = {settings.outputWidth, settings.outputHeight};
  }
  if (fullSpeed_) {
    startFullSpeed(true);
  } else {
    perform(run_->convertAll());
  }
}

void RunController::stop() {
  if (fullSpeedRunner_.isRunning()) {
    fullSpeedRunner_.stop();  // the files in progress are finished, no further one starts
  } else if (run_->isConverting() || run_->isConvertAll()) {
    playbackTimer_->stop();
    nextFileTimer_->stop();
    player_.stopPlayback();
    player_.capture().captureEnabled = false;
    // A fresh run: the stopped one's state (converting, file index) is dropped.
    const std::string current = run_->currentFile();
    run_ = std::make_unique<convert::ConversionRun>(player_, parts_.settings.settings(), *listAdapter_);
    run_->setCurrentFile(current);
    convert::emptyCaptureFolder(parts_.settings.settings().outputFolder);
    parts_.preview.setSliderPosition(0);
  } else {
    return;
  }
  setControlsLocked(false);
  parts_.preview.setPlayEnabled(true);
  parts_.preview.setPauseEnabled(false);
  afterAction();
}

void RunController::setControlsLocked(bool locked) {
  parts_.batch.setLocked(locked);
  parts_.settings.setLocked(locked);
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
    parts_.shell.openPath(fromStd(parts_.settings.settings().outputFolder), ShowMode::Normal);
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

  if (actions.selectRow) {
    parts_.batch.list().setFocus(Qt::OtherFocusReason);
    parts_.batch.list().selectAndFocusRow(*actions.selectRow);
  }
  if (actions.currentItem) {
    parts_.settings.setSourceSize(actions.currentItem->width, actions.currentItem->height);
  }
  if (actions.writeSettingsBack) parts_.settings.writeBack();
  if (actions.repaintPane) parts_.preview.pane().update();

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

std::pair<int, int> RunController::convertAllStage(int sourceWidth, int sourceHeight) const {
  // Each file of a Convert All gets the chosen size mode applied to its own size; Custom keeps
  // the width and height the user set.
  const convert::PixelSize stage =
      convert::stageSizeFor(parts_.settings.settings().sizeMode, {sourceWidth, sourceHeight}, customSize_);
  return {stage.width, stage.height};
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

void RunController::startFullSpeed(bool all) {
  const BatchList& list = parts_.batch.list();
  const convert::OutputSettings& settings = parts_.settings.settings();
  // The same checks, in the same order, as the real-time run's.
  if (list.rowCount() == 0) {
    parts_.messages.show(fromView(convert::kNoFilesMessage), MessageIcon::Exclamation);
    return;
  }
  if (!all && run_->currentFile().empty()) {
    parts_.messages.show(fromView(convert::kSelectFileToConvertMessage));
    return;
  }
  if (all && convert::outputFolderMissing(settings.outputFolder)) {
    parts_.messages.show(fromView(convert::kSelectDirectoryMessage));
    return;
  }

  std::vector<FullSpeedRunner::Job> jobs;
  if (all) {
    for (int row = 0; row < list.rowCount(); ++row) {
      const BatchEntry entry = list.entry(row);
      const Dimension source = parseDimension(entry.dimension);
      const auto stage = convertAllStage(source.width, source.height);
      jobs.push_back({row, entry.filePath.toStdString(), stage.first, stage.second, settings.sizeMode});
    }
  } else {
    jobs.push_back({parts_.batch.currentRow(), run_->currentFile(), settings.outputWidth, settings.outputHeight,
                    settings.sizeMode});
  }

  // The per-user start folder may not exist before the first conversion (the real-time run
  // makes it with its capture folder).
  QDir().mkpath(fromStd(settings.outputFolder));
  fullSpeedAll_ = all;
  fullSpeedDone_ = 0;
  fullSpeedClock_.start();
  fullSpeedMovie_.clear();
  parts_.batch.resetProgress();
  const int threads = all ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : 1;
  FullSpeedRunner::Callbacks callbacks;
  callbacks.started = [this](int row, const std::string& path) { fullSpeedStarted(row, path); };
  callbacks.done = [this](const FullSpeedRunner::Outcome& outcome) { fullSpeedDone(outcome); };
  callbacks.finished = [this] { fullSpeedFinished(); };
  fullSpeedRunner_.start(
      std::move(jobs),
      {settings.outputFolder, settings.jpegQuality, settings.frameRate, settings.pictures, settings.loop,
       settings.timing},
      threads,
      std::move(callbacks));
  setControlsLocked(true);
  afterAction();
}

void RunController::fullSpeedStarted(int row, const std::string& gifPath) {
  // The preview shows the file started last, still.
  if (fullSpeedAll_) {
    parts_.batch.list().setFocus(Qt::OtherFocusReason);
    parts_.batch.list().selectAndFocusRow(row);
    run_->setCurrentFile(gifPath);
    // As in the real-time run, the size boxes show the stage of the file being converted.
    const Dimension source = parseDimension(parts_.batch.list().entry(row).dimension);
    const auto [width, height] = convertAllStage(source.width, source.height);
    convert::OutputSettings& settings = parts_.settings.settings();
    settings.outputWidth = width;
    settings.outputHeight = height;
    parts_.settings.setSourceSize(source.width, source.height);
    parts_.settings.writeBack();
  }
  player_.stopPlayback();
  player_.rewind();
  player_.load(gifPath);
  parts_.preview.setFrame(0);
  parts_.preview.setSliderPosition(0);
  parts_.preview.setFrameCountText(QStringLiteral("/%1").arg(player_.frameCount()));
  parts_.preview.pane().update();
}

void RunController::fullSpeedDone(const FullSpeedRunner::Outcome& outcome) {
  ++fullSpeedDone_;
  const int rows = parts_.batch.list().rowCount();
  // Convert counts as the first file of the list, as the real-time run does.
  const int files = fullSpeedAll_ ? fullSpeedDone_ : 1;
  if (rows > 0) parts_.batch.setProgress(std::min(100, files * 100 / rows));
  if (outcome.ok) {
    fullSpeedMovie_ = fromStd(outcome.moviePath);
    emit movieWritten(fullSpeedMovie_, fromStd(outcome.summary));
  } else {
    reportProblem(fromStd(outcome.gifPath), fromStd(outcome.moviePath), fromStd(outcome.error), outcome.hadFrames);
  }
}

void RunController::fullSpeedFinished() {
  // A timed log line: how long the files took, to set against their play time.
  qInfo("Full speed: %d file(s) converted in %lld ms", fullSpeedDone_,
        static_cast<long long>(fullSpeedClock_.elapsed()));
  setControlsLocked(false);
  parts_.preview.setPlayEnabled(true);
  parts_.preview.setPauseEnabled(false);
  afterAction();
  if (fullSpeedAll_) {
    parts_.shell.openPath(fromStd(parts_.settings.settings().outputFolder), ShowMode::Normal);
  } else if (!fullSpeedMovie_.isEmpty()) {
    openMovie(fullSpeedMovie_);
  }
}

}  // namespace brevanto::app
