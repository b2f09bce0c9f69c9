#include "app/FullSpeedController.h"

#include <QDir>
#include <QDebug>

#include <algorithm>
#include <thread>

#include "app/BatchPanel.h"
#include "app/MessageQueue.h"
#include "app/StdText.h"
#include "convert/ConversionRun.h"

namespace brevanto::app {

namespace {

QString fromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

FullSpeedController::FullSpeedController(const BatchPanel& batch, MessageQueue& messages, QObject* parent)
    : QObject(parent), batch_(batch), messages_(messages) {}

bool FullSpeedController::refused(bool all, const std::string& currentFile, const convert::OutputSettings& settings) {
  // The same checks, in the same order, as the real-time run's.
  if (batch_.rowCount() == 0) {
    messages_.show(fromView(convert::kNoFilesMessage), MessageIcon::Exclamation);
    return true;
  }
  if (!all && currentFile.empty()) {
    messages_.show(fromView(convert::kSelectFileToConvertMessage));
    return true;
  }
  if (all && convert::outputFolderMissing(settings.outputFolder)) {
    messages_.show(fromView(convert::kSelectDirectoryMessage));
    return true;
  }
  return false;
}

bool FullSpeedController::start(bool all, const std::string& currentFile, const convert::OutputSettings& settings) {
  if (refused(all, currentFile, settings)) return false;

  std::vector<FullSpeedRunner::Job> jobs;
  sizes_.assign(static_cast<std::size_t>(batch_.rowCount()), {});
  const auto listed = [&](int row) { return row >= 0 && row < static_cast<int>(sizes_.size()); };
  auto add = [&](int row, const std::string& path, convert::PixelSize source, convert::PixelSize stage) {
    jobs.push_back({row, path, stage.width, stage.height, settings.sizeMode});
    if (listed(row)) sizes_[static_cast<std::size_t>(row)] = {source, stage};
  };
  if (all) {
    // Each file gets the chosen size mode applied to its own size; Custom keeps the width and
    // height the user set.
    const convert::PixelSize customSize{settings.outputWidth, settings.outputHeight};
    for (int row = 0; row < batch_.rowCount(); ++row) {
      const BatchEntry entry = batch_.entry(row);
      const convert::PixelSize source{entry.width, entry.height};
      add(row, entry.filePath.toStdString(), source, convert::stageSizeFor(settings.sizeMode, source, customSize));
    }
  } else {
    const int row = batch_.currentRow();
    convert::PixelSize source;
    if (listed(row)) {
      const BatchEntry entry = batch_.entry(row);
      source = {entry.width, entry.height};
    }
    add(row, currentFile, source, {settings.outputWidth, settings.outputHeight});
  }

  // The per-user start folder may not exist before the first conversion (the real-time run
  // makes it with its capture folder).
  QDir().mkpath(fromStd(settings.outputFolder));
  all_ = all;
  filesDone_ = 0;
  clock_.start();
  lastMovie_.clear();
  emit progressChanged(0);
  const int threads = all ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) : 1;
  FullSpeedRunner::Callbacks callbacks;
  callbacks.started = [this](int row, const std::string& path) {
    const auto sizes = row >= 0 && row < static_cast<int>(sizes_.size()) ? sizes_[static_cast<std::size_t>(row)]
                                                                         : decltype(sizes_)::value_type{};
    emit fileStarted(row, fromStd(path), sizes.first, sizes.second);
  };
  callbacks.done = [this](const FullSpeedRunner::Outcome& outcome) { done(outcome); };
  callbacks.finished = [this] { ended(); };
  runner_.start(std::move(jobs),
                {settings.outputFolder, settings.jpegQuality, settings.frameRate, settings.pictures, settings.loop,
                 settings.timing},
                threads, std::move(callbacks));
  return true;
}

void FullSpeedController::done(const FullSpeedRunner::Outcome& outcome) {
  ++filesDone_;
  const int rows = batch_.rowCount();
  // Convert counts as the first file of the list, as the real-time run does.
  const int files = all_ ? filesDone_ : 1;
  if (rows > 0) emit progressChanged(std::min(100, files * 100 / rows));
  if (outcome.ok) {
    lastMovie_ = fromStd(outcome.moviePath);
    emit movieWritten(lastMovie_, fromStd(outcome.summary));
  } else {
    emit fileFailed(fromStd(outcome.gifPath), fromStd(outcome.moviePath), fromStd(outcome.error), outcome.hadFrames);
  }
}

void FullSpeedController::ended() {
  // A timed log line: how long the files took, to set against their play time.
  qInfo("Full speed: %d file(s) converted in %lld ms", filesDone_, static_cast<long long>(clock_.elapsed()));
  emit finished(lastMovie_);
}

}  // namespace brevanto::app
