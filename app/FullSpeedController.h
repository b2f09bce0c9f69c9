#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <string>
#include <vector>

#include "app/FullSpeedRunner.h"
#include "convert/OutputSettings.h"

namespace brevanto::app {

class BatchPanel;
class MessageQueue;

// "Full speed": Convert and Convert All through FullSpeedRunner on every core instead of playing
// each GIF in real time. It makes the same checks as the real-time run, gives each file of a
// Convert All its own stage, keeps the progress and times the run; what happens is reported as
// signals, which the window's run glue shows.
class FullSpeedController : public QObject {
  Q_OBJECT

 public:
  FullSpeedController(const BatchPanel& batch, MessageQueue& messages, QObject* parent = nullptr);

  // Convert (`all` false: `currentFile`, the batch's current row, at the settings' size) or
  // Convert All (each row at the size mode applied to its own size; Custom keeps the settings'
  // width and height). A check that fails shows its message and starts nothing: returns false.
  bool start(bool all, const std::string& currentFile, const convert::OutputSettings& settings);
  // No further file starts; the files being converted are finished. Nothing more is reported.
  void stop() { runner_.stop(); }
  bool isRunning() const { return runner_.isRunning(); }
  // The run is a Convert All.
  bool convertsAll() const { return all_; }

 signals:
  // A file is being converted: its row, its size and the stage it gets.
  void fileStarted(int row, const QString& gifPath, convert::PixelSize source, convert::PixelSize stage);
  void progressChanged(int percent);
  void movieWritten(const QString& movie, const QString& summary);
  void fileFailed(const QString& file, const QString& movie, const QString& reason, bool hadFrames);
  // The last file is done; `lastMovie`: the last movie written (empty when none was).
  void finished(const QString& lastMovie);

 private:
  bool refused(bool all, const std::string& currentFile, const convert::OutputSettings& settings);
  void done(const FullSpeedRunner::Outcome& outcome);
  void ended();

  const BatchPanel& batch_;
  MessageQueue& messages_;
  FullSpeedRunner runner_{this};
  bool all_ = false;
  int filesDone_ = 0;
  QString lastMovie_;
  QElapsedTimer clock_;
  // Per row of the run: the file's size and its stage.
  std::vector<std::pair<convert::PixelSize, convert::PixelSize>> sizes_;
};

}  // namespace brevanto::app
