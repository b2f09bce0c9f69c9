#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include "app/AboutBox.h"
#include "app/BatchPanel.h"
#include "app/FolderPicker.h"
#include "app/KeyRules.h"
#include "app/LinkLabel.h"
#include "app/MessageQueue.h"
#include "app/PreviewPanel.h"
#include "app/RunController.h"
#include "app/SettingsPanel.h"
#include "convert/FrameExport.h"

namespace brevanto::app {

MainWindow::MainWindow(Services services, QString programFolder, QWidget* parent)
    : QWidget(parent), services_(services), programFolder_(std::move(programFolder)) {
  if (programFolder_.isEmpty()) programFolder_ = QCoreApplication::applicationDirPath();
  programFolder_ = folderWithSeparator(programFolder_);
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  setWindowIcon(QApplication::windowIcon());
  if (services_.clock != nullptr) player_.setClock(*services_.clock);

  messages_ = std::make_unique<MessageQueue>(*services_.messages, this);
  settingsPanel_ =
      new SettingsPanel(*services_.dialogs, *messages_, settings_, initialOutputFolder(programFolder_), this);
  batch_ = new BatchPanel(*services_.dialogs, *messages_, this);
  preview_ = new PreviewPanel(player_, this);
  run_ = new RunController(player_, {*batch_, *settingsPanel_, settings_, *preview_, *messages_, *services_.shell}, this);

  auto* top = new QHBoxLayout;
  top->addWidget(batch_, 3);
  top->addWidget(preview_, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(settingsPanel_);
  layout->addWidget(buildCommandRow());
  resize(960, 600);
  // Buttons never become "default": Enter does not press them.
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  QMenu& menu = batch_->contextMenu();
  menu.addSeparator();
  buildExportMenu();
  menu.addSeparator();
  menu.addAction(QStringLiteral("Convert"), this, &MainWindow::convert);
  menu.addAction(QStringLiteral("Convert All"), this, &MainWindow::convertAll);

  // The list's commands read the settings' boxes first and show them again after; a row made
  // current gives the settings its size.
  connect(batch_, &BatchPanel::settingsReadRequested, settingsPanel_, &SettingsPanel::readFields);
  connect(batch_, &BatchPanel::settingsShowRequested, settingsPanel_, &SettingsPanel::writeBack);
  connect(batch_, &BatchPanel::currentFileChosen, this, [this](const QString& path, QSize size) {
    run_->setCurrentFile(path);
    settingsPanel_->makeSourceCurrent(size.width(), size.height());
  });
  connect(batch_, &BatchPanel::rowsAboutToBeRemoved, this, [this](bool all) {
    run_->stopPlaybackTimer();
    if (all) preview_->setFrameCountText(QStringLiteral("0"));
  });
  connect(batch_, &BatchPanel::busyChanged, this, [this](bool busy) {
    if (busy) {
      setCursor(Qt::WaitCursor);
    } else {
      unsetCursor();
    }
  });
  connect(preview_, &PreviewPanel::playClicked, this, &MainWindow::play);
  connect(preview_, &PreviewPanel::pauseClicked, this, &MainWindow::pause);
  connect(run_, &RunController::controlsLockedChanged, this, [this](bool locked) {
    for (QWidget* control : std::initializer_list<QWidget*>{convertButton_, convertAllButton_, fullSpeedBox_}) {
      control->setEnabled(!locked);
    }
  });
  connect(run_, &RunController::runningChanged, stopButton_, &QPushButton::setEnabled);
  connect(run_, &RunController::movieWritten, this, [this](const QString& movie, const QString& summary) {
    lastMovieLabel_->setText(QStringLiteral("%1: %2").arg(QFileInfo(movie).fileName(), summary));
  });

  // Keyboard rules apply to every key before the focused control sees it.
  keys_ = new KeyRules(*this, *batch_);
}

MainWindow::~MainWindow() {
  delete keys_;
  delete run_;    // stops a run still going; it uses the player and the panels
  delete batch_;  // waits for its add workers while the message queue still exists
}

QWidget* MainWindow::buildCommandRow() {
  auto* row = new QWidget(this);
  auto button = [row](const char* text) { return new QPushButton(QString::fromUtf8(text), row); };
  convertButton_ = button("Convert");
  convertAllButton_ = button("Convert All");
  QFont strong = convertButton_->font();
  strong.setBold(true);
  convertButton_->setFont(strong);
  convertAllButton_->setFont(strong);
  fullSpeedBox_ = new QCheckBox(QStringLiteral("Full speed"), row);
  fullSpeedBox_->setToolTip(QStringLiteral("Convert without playing the GIFs in real time"));
  stopButton_ = button("Stop");
  stopButton_->setToolTip(QStringLiteral("Stop the conversion; movies already written stay"));
  stopButton_->setEnabled(false);
  auto* about = button("About");
  auto* help = button("Help");
  auto* exit = button("Exit");

  auto* moreLabel = new QLabel(QStringLiteral("More wonderful softwares at:"), row);
  auto* linkLabel = makeLinkLabel(QString::fromUtf8(kMakerAddress), row, services_.shell,
                                  [this](const QString& text) { messages_->show(text, MessageIcon::Exclamation); });
  auto* linkColumn = new QVBoxLayout;
  linkColumn->setSpacing(0);
  linkColumn->addWidget(moreLabel);
  linkColumn->addWidget(linkLabel);

  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(convertButton_);
  layout->addWidget(convertAllButton_);
  layout->addWidget(fullSpeedBox_);
  layout->addWidget(stopButton_);
  // The last movie written, with its length and rate (the GIF's own under "As the GIF").
  lastMovieLabel_ = new QLabel(row);
  layout->addWidget(lastMovieLabel_);
  layout->addSpacing(24);
  layout->addLayout(linkColumn);
  layout->addStretch(1);
  layout->addWidget(about);
  layout->addWidget(help);
  layout->addWidget(exit);

  connect(convertButton_, &QPushButton::clicked, this, &MainWindow::convert);
  connect(convertAllButton_, &QPushButton::clicked, this, &MainWindow::convertAll);
  connect(fullSpeedBox_, &QCheckBox::toggled, run_, &RunController::setFullSpeed);
  connect(stopButton_, &QPushButton::clicked, this, &MainWindow::stop);
  connect(about, &QPushButton::clicked, this, &MainWindow::showAbout);
  connect(help, &QPushButton::clicked, this, &MainWindow::showHelp);
  connect(exit, &QPushButton::clicked, this, &MainWindow::exitClicked);
  return row;
}

QString MainWindow::lastMovieText() const { return lastMovieLabel_->text(); }

QString MainWindow::initialOutputFolder(const QString& programFolder) {
  // Writability is tested by creating a file: permission bits alone do not tell (a read-only
  // mount, or a folder root may not write into).
  QTemporaryFile probe(programFolder + QStringLiteral(".brevanto-write-test-XXXXXX"));
  if (!programFolder.isEmpty() && probe.open()) return programFolder;
  QString base = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (base.isEmpty()) base = QDir::homePath();
  return folderWithSeparator(base) + QStringLiteral("Brevanto/");
}

QString MainWindow::currentFile() const { return QString::fromStdString(run_->run().currentFile()); }
int MainWindow::currentRow() const { return batch_->currentRow(); }
bool MainWindow::addingFiles() const { return batch_->addingFiles(); }
bool MainWindow::isPlaying() const { return run_->run().isPlaying(); }
bool MainWindow::isConverting() const { return run_->run().isConverting(); }
bool MainWindow::isConvertAll() const { return run_->run().isConvertAll(); }
bool MainWindow::isRunning() const { return run_->isRunning(); }
const convert::OutputSettings& MainWindow::settings() const { return settings_; }
bool MainWindow::commandsLocked() const { return !convertButton_->isEnabled(); }
bool MainWindow::stopAvailable() const { return stopButton_->isEnabled(); }

void MainWindow::play() { run_->play(); }
void MainWindow::pause() { run_->pause(); }
void MainWindow::convert() { run_->convert(); }
void MainWindow::convertAll() { run_->convertAll(); }
void MainWindow::stop() { run_->stop(); }
void MainWindow::setFullSpeed(bool on) { fullSpeedBox_->setChecked(on); }
bool MainWindow::fullSpeed() const { return fullSpeedBox_->isChecked(); }
void MainWindow::addStartupPaths(const QStringList& paths) {
  if (!paths.isEmpty()) batch_->addPaths(paths);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A run stops cleanly: no capture files and no half-made movie are left behind.
  run_->stop();
  QWidget::closeEvent(event);
}

void MainWindow::showAbout() {
  AboutBox box(this);
  box.exec();
}

QStringList MainWindow::manualCandidates() const {
  return {programFolder_ + QStringLiteral("manual.html"),
          QDir::cleanPath(programFolder_ + QStringLiteral("../share/doc/brevanto/manual.html"))};
}

void MainWindow::showHelp() {
  const QStringList candidates = manualCandidates();
  for (const QString& manual : candidates) {
    if (!QFileInfo(manual).isFile()) continue;
    // The desktop may report only later that its viewer did not start.
    services_.shell->openPathOrReport(manual, ShowMode::Maximised, [window = QPointer<MainWindow>(this), manual] {
      if (!window) return;
      window->messages_->show(
          QStringLiteral("The manual could not be shown. Open \"%1\" in a web browser to read it.").arg(manual),
          MessageIcon::Exclamation);
    });
    return;
  }
  messages_->show(QStringLiteral("The manual could not be opened. It belongs at \"%1\" (or \"%2\" when installed).")
                      .arg(candidates[0], candidates[1]),
                  MessageIcon::Exclamation);
}

void MainWindow::exitClicked() {
  if (settingsPanel_->readFields()) close();
}

// ---------------------------------------------------------------------------------------------
// Frame export: the menu entries; the commands themselves live with the export code.

void MainWindow::buildExportMenu() {
  QMenu* menu = batch_->contextMenu().addMenu(QStringLiteral("Export"));
  menu->addAction(QStringLiteral("Single Image"), this, &MainWindow::exportSingleImage);
  for (const convert::ExportSequence& sequence : convert::kExportSequences) {
    const QString extension =
        QString::fromUtf8(sequence.extension.data(), static_cast<qsizetype>(sequence.extension.size()));
    menu->addAction(QString::fromUtf8(sequence.menuText.data(), static_cast<qsizetype>(sequence.menuText.size())), this,
                    [this, extension] { exportSequence(extension); });
  }
}

}  // namespace brevanto::app
