#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QVBoxLayout>

#include "app/AboutBox.h"
#include "app/AddWorker.h"
#include "app/BatchList.h"
#include "app/FolderPicker.h"
#include "app/LinkLabel.h"
#include "app/PreviewPane.h"
#include "app/SizeModeText.h"
#include "convert/FrameExport.h"

namespace brevanto::app {

namespace {

QString fromStd(const std::string& text) { return QString::fromStdString(text); }
std::string toStd(const QString& text) { return text.toStdString(); }

MessageIcon iconOf(convert::MessageIcon icon) {
  return icon == convert::MessageIcon::Exclamation ? MessageIcon::Exclamation : MessageIcon::None;
}

// A number box: a one-line edit sized for a few digits.
QLineEdit* numberBox(QWidget* parent, int digits) {
  auto* box = new QLineEdit(parent);
  box->setMaxLength(31);
  box->setAlignment(Qt::AlignRight);
  const int width = box->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) + 16;
  box->setFixedWidth(width);
  return box;
}

}  // namespace

// The batch list as the conversion run reads it: FilePath and Dimension of a row.
class MainWindow::ListAdapter final : public convert::RunFileList {
 public:
  explicit ListAdapter(const BatchList& list) : list_(list) {}
  int itemCount() const override { return list_.rowCount(); }
  convert::RunItem itemAt(int index) const override {
    const BatchEntry row = list_.entry(index);
    const Dimension size = parseDimension(row.dimension);
    return {toStd(row.filePath), size.width, size.height};
  }

 private:
  const BatchList& list_;
};

MainWindow::MainWindow(Services services, QString programFolder, QWidget* parent)
    : QWidget(parent), services_(services), programFolder_(std::move(programFolder)) {
  fileReader_ = readFileFacts;
  if (programFolder_.isEmpty()) programFolder_ = QCoreApplication::applicationDirPath();
  programFolder_ = folderWithSeparator(programFolder_);

  setWindowTitle(QString::fromUtf8(kWindowCaption));
  setWindowIcon(QApplication::windowIcon());
  buildControls();
  buildContextMenu();

  listAdapter_ = std::make_unique<ListAdapter>(*ui_.list);
  run_ = std::make_unique<convert::ConversionRun>(player_, settings_, *listAdapter_);

  playbackTimer_ = new QTimer(this);
  playbackTimer_->setInterval(convert::kTimerPeriodMs);
  connect(playbackTimer_, &QTimer::timeout, this, [this] { onTimer(convert::kPlaybackTimer); });
  nextFileTimer_ = new QTimer(this);
  nextFileTimer_->setInterval(convert::kTimerPeriodMs);
  connect(nextFileTimer_, &QTimer::timeout, this, [this] { onTimer(convert::kNextFileTimer); });

  // The playback thread announces each frame it shows; the frame is captured and painted here,
  // on the user-interface thread.
  player_.setFrameShown([this] {
    QMetaObject::invokeMethod(this, [this] { onFrameShown(); }, Qt::QueuedConnection);
  });

  // Start values: the output folder, "Original Size" at the (still zero) source size,
  // quality 100, 10 frames per second; the width and height boxes are disabled.
  settings_.outputFolder = toStd(initialOutputFolder(programFolder_));
  settings_.resetToSource(sourceWidth_, sourceHeight_);
  ui_.pathBox->setText(fromStd(settings_.outputFolder));
  ui_.widthBox->setEnabled(false);
  ui_.heightBox->setEnabled(false);
  writeSettingsBack();
  refreshFileCount();

  // Keyboard rules apply to every key before the focused control sees it.
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  player_.stopPlayback();
  player_.setFrameShown({});
  workers_.clear();  // each waits for its thread
}

QString MainWindow::initialOutputFolder(const QString& programFolder) {
  // Writability is tested by creating a file: permission bits alone do not tell (a read-only
  // mount, or a folder root may not write into).
  QTemporaryFile probe(programFolder + QStringLiteral(".brevanto-write-test-XXXXXX"));
  if (!programFolder.isEmpty() && probe.open()) return programFolder;
  QString base = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (base.isEmpty()) base = QDir::homePath();
  return folderWithSeparator(base) + QStringLiteral("Brevanto/");
}

bool MainWindow::playbackTimerActive() const { return playbackTimer_->isActive(); }
bool MainWindow::nextFileTimerActive() const { return nextFileTimer_->isActive(); }

// ---------------------------------------------------------------------------------------------
// Layout

void MainWindow::buildControls() {
  auto button = [this](const char* text) { return new QPushButton(QString::fromUtf8(text), this); };

  // Batch list with its command buttons.
  ui_.addFilesButton = button("ADD Gif(s)");
  ui_.addFolderButton = button("Add Folder");
  ui_.removeButton = button("Remove");
  ui_.removeAllButton = button("Remove All");
  ui_.moveUpButton = button("Move Up");
  ui_.moveDownButton = button("Move Down");
  auto* listButtons = new QHBoxLayout;
  for (QPushButton* b : {ui_.addFilesButton, ui_.addFolderButton, ui_.removeButton, ui_.removeAllButton,
                         ui_.moveUpButton, ui_.moveDownButton}) {
    listButtons->addWidget(b);
  }
  listButtons->addStretch(1);

  ui_.list = new BatchList(this);
  ui_.list->setMinimumSize(420, 220);

  ui_.fileCountBox = new QLineEdit(this);
  ui_.fileCountBox->setReadOnly(true);
  ui_.fileCountBox->setFixedWidth(ui_.fileCountBox->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
  ui_.progressBar = new QProgressBar(this);
  ui_.progressBar->setRange(0, 100);
  ui_.progressBar->setValue(0);
  ui_.progressBar->setTextVisible(false);
  ui_.percentLabel = new QLabel(QStringLiteral("0%"), this);
  ui_.percentLabel->setMinimumWidth(ui_.percentLabel->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(new QLabel(QStringLiteral("File count"), this));
  statusRow->addWidget(ui_.fileCountBox);
  statusRow->addSpacing(12);
  statusRow->addWidget(ui_.progressBar, 1);
  statusRow->addWidget(ui_.percentLabel);

  auto* listColumn = new QVBoxLayout;
  listColumn->addLayout(listButtons);
  listColumn->addWidget(ui_.list, 1);
  listColumn->addLayout(statusRow);

  // Preview.
  ui_.previewPane = new PreviewPane(player_, this);
  ui_.playButton = button("Play");
  ui_.pauseButton = button("Pause");
  ui_.slider = new QSlider(Qt::Horizontal, this);
  ui_.slider->setRange(0, 100);
  // The slider shows the position within the file; it is not a seek control.
  ui_.slider->setAttribute(Qt::WA_TransparentForMouseEvents);
  ui_.slider->setFocusPolicy(Qt::NoFocus);
  ui_.frameBox = new QLineEdit(QStringLiteral("0"), this);
  ui_.frameBox->setReadOnly(true);
  ui_.frameBox->setAlignment(Qt::AlignRight);
  ui_.frameBox->setFixedWidth(ui_.frameBox->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
  ui_.frameTotalLabel = new QLabel(QStringLiteral("0"), this);
  ui_.frameTotalLabel->setMinimumWidth(ui_.frameTotalLabel->fontMetrics().horizontalAdvance(QStringLiteral("/00000")));
  auto* playRow = new QHBoxLayout;
  playRow->addWidget(ui_.playButton);
  playRow->addWidget(ui_.pauseButton);
  playRow->addStretch(1);
  playRow->addWidget(ui_.frameBox);
  playRow->addWidget(ui_.frameTotalLabel);
  auto* previewGroup = new QGroupBox(QStringLiteral("Preview"), this);
  auto* previewLayout = new QVBoxLayout(previewGroup);
  previewLayout->addWidget(ui_.previewPane, 1);
  previewLayout->addWidget(ui_.slider);
  previewLayout->addLayout(playRow);

  auto* top = new QHBoxLayout;
  top->addLayout(listColumn, 3);
  top->addWidget(previewGroup, 2);

  // "swf file" settings.
  ui_.pathBox = new QLineEdit(this);
  ui_.pathBox->setEnabled(false);  // display only: the folder changes through "..."
  ui_.browseButton = button("...");
  ui_.browseButton->setFixedWidth(ui_.browseButton->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 20);
  ui_.widthBox = numberBox(this, 6);
  ui_.heightBox = numberBox(this, 6);
  ui_.sizeModeBox = new QComboBox(this);
  for (std::string_view mode : kSizeModeTexts) {
    ui_.sizeModeBox->addItem(QString::fromUtf8(mode.data(), static_cast<qsizetype>(mode.size())));
  }
  ui_.qualityBox = numberBox(this, 5);
  ui_.frameRateBox = numberBox(this, 5);

  auto* settingsGroup = new QGroupBox(QStringLiteral("swf file"), this);
  auto* grid = new QGridLayout(settingsGroup);
  grid->addWidget(new QLabel(QStringLiteral("Path:"), this), 0, 0);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(ui_.pathBox, 1);
  pathRow->addWidget(ui_.browseButton);
  grid->addLayout(pathRow, 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Size:"), this), 1, 0);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(ui_.widthBox);
  sizeRow->addWidget(new QLabel(QStringLiteral("*"), this));
  sizeRow->addWidget(ui_.heightBox);
  sizeRow->addWidget(ui_.sizeModeBox);
  sizeRow->addSpacing(16);
  sizeRow->addWidget(new QLabel(QStringLiteral("File quality:"), this));
  sizeRow->addWidget(ui_.qualityBox);
  sizeRow->addWidget(new QLabel(QStringLiteral("%"), this));
  sizeRow->addSpacing(16);
  sizeRow->addWidget(new QLabel(QStringLiteral("Frame Rate:"), this));
  sizeRow->addWidget(ui_.frameRateBox);
  sizeRow->addWidget(new QLabel(QStringLiteral("FPS"), this));
  sizeRow->addStretch(1);
  grid->addLayout(sizeRow, 1, 1, 1, 2);
  grid->setColumnStretch(1, 1);

  // Commands.
  ui_.convertButton = button("Convert");
  ui_.convertAllButton = button("Convert All");
  ui_.aboutButton = button("About");
  ui_.helpButton = button("Help");
  ui_.exitButton = button("Exit");
  QFont strong = ui_.convertButton->font();
  strong.setBold(true);
  ui_.convertButton->setFont(strong);
  ui_.convertAllButton->setFont(strong);

  ui_.moreLabel = new QLabel(QStringLiteral("More wonderful softwares at:"), this);
  ui_.linkLabel = makeLinkLabel(QString::fromUtf8(kMakerAddress), this, services_.shell,
                                [this](const QString& text) { showMessage(text, MessageIcon::Exclamation); });
  auto* linkColumn = new QVBoxLayout;
  linkColumn->setSpacing(0);
  linkColumn->addWidget(ui_.moreLabel);
  linkColumn->addWidget(ui_.linkLabel);

  auto* commandRow = new QHBoxLayout;
  commandRow->addWidget(ui_.convertButton);
  commandRow->addWidget(ui_.convertAllButton);
  commandRow->addSpacing(24);
  commandRow->addLayout(linkColumn);
  commandRow->addStretch(1);
  commandRow->addWidget(ui_.aboutButton);
  commandRow->addWidget(ui_.helpButton);
  commandRow->addWidget(ui_.exitButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(settingsGroup);
  layout->addLayout(commandRow);

  // Buttons never become "default": Enter does not press them.
  resize(960, 600);
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  connect(ui_.addFilesButton, &QPushButton::clicked, this, &MainWindow::addFiles);
  connect(ui_.addFolderButton, &QPushButton::clicked, this, &MainWindow::addFolder);
  connect(ui_.removeButton, &QPushButton::clicked, this, &MainWindow::removeSelected);
  connect(ui_.removeAllButton, &QPushButton::clicked, this, &MainWindow::removeAll);
  connect(ui_.moveUpButton, &QPushButton::clicked, this, &MainWindow::moveUp);
  connect(ui_.moveDownButton, &QPushButton::clicked, this, &MainWindow::moveDown);
  connect(ui_.browseButton, &QPushButton::clicked, this, &MainWindow::browseOutputFolder);
  connect(ui_.sizeModeBox, &QComboBox::activated, this, [this](int) { sizeModeChanged(); });
  connect(ui_.playButton, &QPushButton::clicked, this, &MainWindow::play);
  connect(ui_.pauseButton, &QPushButton::clicked, this, &MainWindow::pause);
  connect(ui_.convertButton, &QPushButton::clicked, this, &MainWindow::convert);
  connect(ui_.convertAllButton, &QPushButton::clicked, this, &MainWindow::convertAll);
  connect(ui_.aboutButton, &QPushButton::clicked, this, &MainWindow::showAbout);
  connect(ui_.helpButton, &QPushButton::clicked, this, &MainWindow::showHelp);
  connect(ui_.exitButton, &QPushButton::clicked, this, &MainWindow::exitClicked);
  connect(ui_.list, &BatchList::rowClicked, this, [this](int row) {
    if (!run_->isConvertAll()) selectRowAsCurrent(row, true);
  });
  connect(ui_.list, &BatchList::rowContextMenuRequested, this,
          [this](int, const QPoint& at) { ui_.contextMenu->exec(at); });
}

void MainWindow::buildContextMenu() {
  ui_.contextMenu = new QMenu(this);
  QMenu* menu = ui_.contextMenu;
  menu->addAction(QStringLiteral("Remove"), this, &MainWindow::removeSelected);
  menu->addAction(QStringLiteral("Remove All"), this, &MainWindow::removeAll);
  menu->addSeparator();
  menu->addAction(QStringLiteral("Add Files"), this, &MainWindow::addFiles);
  menu->addAction(QStringLiteral("Add Folder"), this, &MainWindow::addFolder);
  menu->addSeparator();
  ui_.exportMenu = menu->addMenu(QStringLiteral("Export"));
  buildExportMenu(ui_.exportMenu);
  menu->addSeparator();
  menu->addAction(QStringLiteral("Convert"), this, &MainWindow::convert);
  menu->addAction(QStringLiteral("Convert All"), this, &MainWindow::convertAll);
}

// ---------------------------------------------------------------------------------------------
// Settings

bool MainWindow::readSettingsFields() {
  const auto failed = settings_.readFields(
      toStd(ui_.widthBox->text()), toStd(ui_.heightBox->text()), sizeModeAtRow(ui_.sizeModeBox->currentIndex()),
      toStd(ui_.frameRateBox->text()), toStd(ui_.qualityBox->text()));
  if (!failed) return true;
  QLineEdit* box = nullptr;
  switch (*failed) {
    case convert::SettingsField::OutputWidth: box = ui_.widthBox; break;
    case convert::SettingsField::OutputHeight: box = ui_.heightBox; break;
    case convert::SettingsField::FrameRate: box = ui_.frameRateBox; break;
    case convert::SettingsField::JpegQuality: box = ui_.qualityBox; break;
  }
  showMessage(fromStd(std::string(convert::kEnterIntegerMessage)), MessageIcon::None);
  if (box) {
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
  }
  return false;
}

void MainWindow::writeSettingsBack() {
  ui_.widthBox->setText(QString::number(settings_.outputWidth));
  ui_.heightBox->setText(QString::number(settings_.outputHeight));
  ui_.sizeModeBox->setCurrentIndex(sizeModeRow(settings_.sizeMode));
  ui_.qualityBox->setText(QString::number(settings_.jpegQuality));
  ui_.frameRateBox->setText(QString::number(settings_.frameRate));
}

void MainWindow::sizeModeChanged() {
  readSettingsFields();
  if (settings_.applySizeMode(sizeModeAtRow(ui_.sizeModeBox->currentIndex()), sourceWidth_, sourceHeight_)) {
    // Once "Custom" has been chosen the boxes stay editable.
    ui_.widthBox->setEnabled(true);
    ui_.heightBox->setEnabled(true);
  }
  writeSettingsBack();
}

void MainWindow::browseOutputFolder() {
  FolderPicker picker(*services_.dialogs);
  // A cancelled browse keeps the folder chosen before.
  if (!picker.browse()) return;
  settings_.outputFolder = convert::outputFolderFromPicked(toStd(QDir::fromNativeSeparators(picker.resultPath)));
  ui_.pathBox->setText(fromStd(settings_.outputFolder));
}

// ---------------------------------------------------------------------------------------------
// Batch list

void MainWindow::refreshFileCount() { ui_.fileCountBox->setText(QString::number(ui_.list->rowCount())); }

void MainWindow::resetProgress() {
  ui_.progressBar->setValue(0);
  ui_.percentLabel->setText(QStringLiteral("0%"));
}

void MainWindow::updateCursor() {
  if (addingFiles()) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void MainWindow::startWorker(std::unique_ptr<AddWorker> worker) {
  workers_.push_back(std::move(worker));
  updateCursor();
}

void MainWindow::appendFileRow(const QString& path, const FileFacts& facts) {
  ++nextRowNumber_;
  BatchEntry entry;
  entry.number = QString::number(nextRowNumber_);
  entry.fileName = QFileInfo(path).fileName();
  entry.dimension = QStringLiteral("%1*%2").arg(facts.width).arg(facts.height);
  entry.count = QString::number(facts.frameCount);
  entry.filePath = path;
  ui_.list->appendEntry(entry);
  refreshFileCount();
}

void MainWindow::workerFinished() {
  // A worker's last call: it is done reading, so waiting for its thread is short.
  std::erase_if(workers_, [](const std::unique_ptr<AddWorker>& w) { return w->isFinished(); });
  updateCursor();
  refreshFileCount();
}

void MainWindow::addFiles() {
  readSettingsFields();
  resetProgress();
  writeSettingsBack();
  const QStringList paths = services_.dialogs->openFiles(this, QStringLiteral("Flash Files(*.gif)"));
  if (paths.isEmpty()) return;
  AddWorker::Callbacks callbacks;
  callbacks.rowRead = [this](const QString& path, const FileFacts& facts) { appendFileRow(path, facts); };
  callbacks.message = [this](const QString& text) { showMessage(text, MessageIcon::None); };
  callbacks.finished = [this] { workerFinished(); };
  startWorker(AddWorker::addFiles(paths, this, std::move(callbacks), fileReader_));
}

void MainWindow::addFolder() {
  readSettingsFields();
  FolderPicker picker(*services_.dialogs);
  if (!picker.browse()) return;
  AddWorker::Callbacks callbacks;
  callbacks.clearList = [this] {
    nextRowNumber_ = 0;
    ui_.list->removeAllRows();
    refreshFileCount();
  };
  callbacks.rowRead = [this](const QString& path, const FileFacts& facts) { appendFileRow(path, facts); };
  callbacks.message = [this](const QString& text) { showMessage(text, MessageIcon::None); };
  callbacks.finished = [this] { workerFinished(); };
  startWorker(AddWorker::addFolder(picker.resultPath, this, std::move(callbacks), fileReader_));
  resetProgress();
  writeSettingsBack();
}

void MainWindow::removeSelected() {
  if (ui_.list->rowCount() == 1) playbackTimer_->stop();
  for (int row = ui_.list->firstSelectedRow(); row >= 0; row = ui_.list->firstSelectedRow()) {
    ui_.list->removeRow(row);
  }
  refreshFileCount();
}

void MainWindow::removeAll() {
  playbackTimer_->stop();
  ui_.list->removeAllRows();
  refreshFileCount();
  ui_.frameTotalLabel->setText(QStringLiteral("0"));
}

void MainWindow::moveUp() { moveCurrentRow(-1, QStringLiteral("It's the first row!")); }

void MainWindow::moveDown() { moveCurrentRow(+1, QStringLiteral("It's the last row!")); }

// Moves the current row one place up (step -1) or down (+1); at the list's edge says so instead.
void MainWindow::moveCurrentRow(int step, const QString& edgeMessage) {
  ui_.list->setFocus(Qt::OtherFocusReason);
  const int rows = ui_.list->rowCount();
  if (rows == 0) {
    showMessage(QStringLiteral("There is no rows!"), MessageIcon::None);
    return;
  }
  if (currentRow_ < 0 || currentRow_ >= rows) return;
  const int target = currentRow_ + step;
  if (target < 0 || target >= rows) {
    showMessage(edgeMessage, MessageIcon::None);
    return;
  }
  const BatchEntry entry = ui_.list->entry(currentRow_);
  ui_.list->removeRow(currentRow_);
  currentRow_ = target;
  ui_.list->insertEntry(currentRow_, entry);
  ui_.list->selectAndFocusRow(currentRow_);
}

void MainWindow::selectRowAsCurrent(int row, bool fromClick) {
  if (row < 0 || row >= ui_.list->rowCount()) return;
  if (fromClick) readSettingsFields();
  const BatchEntry entry = ui_.list->entry(row);
  run_->setCurrentFile(toStd(entry.filePath));
  const Dimension size = parseDimension(entry.dimension);
  sourceWidth_ = size.width;
  sourceHeight_ = size.height;
  settings_.resetToSource(sourceWidth_, sourceHeight_);
  writeSettingsBack();
  resetProgress();
  writeSettingsBack();
  currentRow_ = ui_.list->firstSelectedRow();
}

// ---------------------------------------------------------------------------------------------
// Preview and conversion

void MainWindow::play() { perform(run_->play()); }

void MainWindow::pause() { perform(run_->pause()); }

void MainWindow::convert() {
  // The run checks the list and the current file before anything else.
  if (ui_.list->rowCount() > 0 && !run_->currentFile().empty()) readSettingsFields();
  perform(run_->convert());
}

void MainWindow::convertAll() {
  if (ui_.list->rowCount() > 0 && !convert::outputFolderMissing(settings_.outputFolder)) {
    readSettingsFields();
  }
  perform(run_->convertAll());
}

void MainWindow::onFrameShown() {
  player_.handleShownFrames();
  ui_.previewPane->update();
}

void MainWindow::onTimer(int timerId) { perform(run_->tick(timerId)); }

void MainWindow::setControlsLocked(bool locked) {
  for (QWidget* control : std::initializer_list<QWidget*>{
           ui_.removeButton, ui_.removeAllButton, ui_.moveUpButton, ui_.moveDownButton, ui_.convertButton,
           ui_.convertAllButton, ui_.browseButton, ui_.sizeModeBox, ui_.frameRateBox}) {
    control->setEnabled(!locked);
  }
  // The popup menu's Remove and Remove All follow their buttons: removing rows under a run
  // would stop its timer and leave the controls locked.
  const auto actions = ui_.contextMenu->actions();
  actions.at(0)->setEnabled(!locked);
  actions.at(1)->setEnabled(!locked);
}

void MainWindow::perform(const convert::RunActions& actions) {
  if (actions.controlsLocked) setControlsLocked(*actions.controlsLocked);
  if (actions.playEnabled) ui_.playButton->setEnabled(*actions.playEnabled);
  if (actions.pauseEnabled) ui_.pauseButton->setEnabled(*actions.pauseEnabled);
  if (actions.frameBox) ui_.frameBox->setText(QString::number(*actions.frameBox));
  if (actions.progressPercent) {
    ui_.progressBar->setValue(*actions.progressPercent);
    ui_.percentLabel->setText(QStringLiteral("%1%").arg(*actions.progressPercent));
  }
  if (actions.sliderPosition) ui_.slider->setValue(*actions.sliderPosition);
  if (actions.frameCountLabel) ui_.frameTotalLabel->setText(fromStd(*actions.frameCountLabel));

  if (actions.selectRow) {
    ui_.list->setFocus(Qt::OtherFocusReason);
    ui_.list->selectAndFocusRow(*actions.selectRow);
  }
  if (actions.currentItem) {
    sourceWidth_ = actions.currentItem->width;
    sourceHeight_ = actions.currentItem->height;
  }
  if (actions.writeSettingsBack) writeSettingsBack();
  if (actions.repaintPane) ui_.previewPane->update();

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

  // Requests and messages come last: a message box runs its own event loop, and the run's
  // timers must already be set when it does.
  if (actions.openMovie) services_.shell->openPath(fromStd(*actions.openMovie), ShowMode::Normal);
  if (actions.openFolder) services_.shell->openPath(fromStd(*actions.openFolder), ShowMode::Normal);
  if (actions.problem) reportProblem(*actions.problem);
  if (actions.message) showMessage(fromStd(*actions.message), iconOf(actions.messageIcon));
}

void MainWindow::reportProblem(const convert::RunProblem& problem) {
  // A file that held frames failed at its movie: name the movie.
  QString text = fromStd(problem.reason);
  if (problem.stage == convert::RunStage::Read || problem.stage == convert::RunStage::Decode) {
    text = QStringLiteral("\"%1\" could not be converted: %2").arg(fromStd(problem.file), text);
  } else {
    const QString movie = fromStd(problem.movie);
    if (!text.contains(movie)) text = QStringLiteral("The movie \"%1\" could not be written: %2").arg(movie, text);
  }
  showMessage(text, MessageIcon::Exclamation);
}

void MainWindow::showMessage(const QString& text, MessageIcon icon) {
  // One box at a time: a message that arrives while a box is open (a run keeps going meanwhile)
  // is shown when that box has been closed.
  pendingMessages_.emplace_back(text, icon);
  if (messageOpen_) return;
  messageOpen_ = true;
  while (!pendingMessages_.empty()) {
    const auto [nextText, nextIcon] = pendingMessages_.front();
    pendingMessages_.erase(pendingMessages_.begin());
    services_.messages->show(this, nextText, nextIcon);
  }
  messageOpen_ = false;
}

// ---------------------------------------------------------------------------------------------
// Furniture

void MainWindow::showAbout() {
  AboutBox box(this);
  box.exec();
}

void MainWindow::showHelp() {
  // A missing help file shows nothing.
  const QString help = programFolder_ + QStringLiteral("tolvane_Brevanto.chm");
  if (QFileInfo::exists(help)) services_.shell->openPath(help, ShowMode::Maximised);
}

void MainWindow::exitClicked() {
  if (readSettingsFields()) close();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
    return QWidget::eventFilter(watched, event);
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return QWidget::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Escape) return true;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) return type != QEvent::KeyRelease;
  if (key == Qt::Key_Up || key == Qt::Key_Down) {
    const int row = ui_.list->firstSelectedRow();
    if (row >= 0) selectRowAsCurrent(row, false);
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Frame export: the menu entries; the commands themselves live with the export code.

void MainWindow::buildExportMenu(QMenu* menu) {
  menu->addAction(QStringLiteral("Single Image"), this, &MainWindow::exportSingleImage);
  for (const convert::ExportSequence& sequence : convert::kExportSequences) {
    const QString extension = QString::fromUtf8(sequence.extension.data(), static_cast<qsizetype>(sequence.extension.size()));
    menu->addAction(QString::fromUtf8(sequence.menuText.data(), static_cast<qsizetype>(sequence.menuText.size())), this,
                    [this, extension] { exportSequence(extension); });
  }
}

}  // namespace brevanto::app
