#include "app/FrameExportDialog.h"

#include <algorithm>
#include <climits>
#include <filesystem>

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Platform.h"
#include "convert/FrameExport.h"
#include "image/AnimatedImage.h"

namespace brevanto::app {

FrameExportDialog::FrameExportDialog(const QString& sourcePath, const QString& extension,
                                     const std::string& outputFolder, ShellService* shell, QWidget* parent)
    : QDialog(parent),
      sourcePath_(sourcePath),
      extension_(extension.isEmpty() ? QString::fromUtf8(convert::kDefaultExportExtension.data(),
                                                         convert::kDefaultExportExtension.size())
                                     : extension),
      outputFolder_(outputFolder),
      shell_(shell) {
  setWindowTitle(QStringLiteral("Dialog"));
  setModal(true);

  auto* caption = new QLabel(QStringLiteral("Export Process"), this);
  counter_ = new QLabel(QStringLiteral("IDC_STATIC_PROGRESS"), this);
  counter_->setObjectName(QStringLiteral("exportCounter"));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("exportProgress"));
  progress_->setTextVisible(false);
  progress_->setMinimumWidth(260);

  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(caption);
  row->addStretch(1);
  row->addWidget(counter_);
  layout->addLayout(row);
  layout->addWidget(progress_);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  const std::string ext = extension_.toStdString();
  exportFolder_ = QString::fromStdString(convert::exportFolderFor(outputFolder_, ext));

  // Every frame is decoded up front; a source that cannot be decoded gives no frames, and
  // the export then only opens the (possibly absent) export folder.
  image::AnimatedImage animation;
  if (animation.load(std::filesystem::path(sourcePath_.toStdString()))) {
    animation.frames().moveAllTo(frames_);
  }
  // The progress bar's range is a full int, so even very long animations (beyond 65535
  // frames) are exported whole and counted exactly.
  frameCount_ = static_cast<int>(std::min<std::size_t>(frames_.size(), INT_MAX));
  progress_->setRange(0, frameCount_);
  progress_->setValue(0);

  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(kTickMilliseconds);
  connect(timer_, &QTimer::timeout, this, &FrameExportDialog::tick);
  timer_->start();
}

FrameExportDialog::~FrameExportDialog() = default;

int FrameExportDialog::framesWritten() const { return progress_->value(); }

QString FrameExportDialog::counterText() const { return counter_->text(); }

void FrameExportDialog::tick() {
  if (finished_) {
    return;
  }
  const int i = framesWritten();
  if (i < frameCount_) {
    // A frame that cannot be written (or a folder that cannot be made) does not stop the
    // export: the next tick tries the next frame.
    (void)convert::writeExportFrame(frames_[static_cast<std::size_t>(i)], outputFolder_, sourcePath_.toStdString(),
                              extension_.toStdString(), i);
    progress_->setValue(i + 1);
    counter_->setText(QStringLiteral("%1/%2").arg(i + 1).arg(frameCount_));
    emit frameWritten(i + 1, frameCount_);
    if (i + 1 == frameCount_) {
      finish();
    }
  } else if (i == frameCount_) {
    finish();
  }
}

void FrameExportDialog::finish() {
  finished_ = true;
  timer_->stop();
  if (shell_ != nullptr) {
    shell_->openPath(exportFolder_, ShowMode::Normal);
  }
  reject();
}

void FrameExportDialog::done(int result) {
  // Closing early (close box, Escape) ends the export at once; written frames stay.
  timer_->stop();
  QDialog::done(result);
}

}  // namespace brevanto::app
