#include "app/BatchPanel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/BatchList.h"
#include "app/DropHandler.h"
#include "app/FolderPicker.h"
#include "app/MessageQueue.h"

namespace brevanto::app {

BatchPanel::BatchPanel(DialogService& dialogs, MessageQueue& messages, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), messages_(messages), fileReader_(readFileFacts) {
  auto button = [this](const char* text) { return new QPushButton(QString::fromUtf8(text), this); };
  addFilesButton_ = button("ADD Gif(s)");
  addFolderButton_ = button("Add Folder");
  removeButton_ = button("Remove");
  removeAllButton_ = button("Remove All");
  moveUpButton_ = button("Move Up");
  moveDownButton_ = button("Move Down");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b :
       {addFilesButton_, addFolderButton_, removeButton_, removeAllButton_, moveUpButton_, moveDownButton_}) {
    buttons->addWidget(b);
  }
  buttons->addStretch(1);

  list_ = new BatchList(this);
  list_->setMinimumSize(420, 220);

  fileCountBox_ = new QLineEdit(this);
  fileCountBox_->setReadOnly(true);
  fileCountBox_->setFixedWidth(fileCountBox_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
  progressBar_ = new QProgressBar(this);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  percentLabel_ = new QLabel(QStringLiteral("0%"), this);
  percentLabel_->setMinimumWidth(percentLabel_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(new QLabel(QStringLiteral("File count"), this));
  statusRow->addWidget(fileCountBox_);
  statusRow->addSpacing(12);
  statusRow->addWidget(progressBar_, 1);
  statusRow->addWidget(percentLabel_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(buttons);
  layout->addWidget(list_, 1);
  layout->addLayout(statusRow);

  contextMenu_ = new QMenu(this);
  removeAction_ = contextMenu_->addAction(QStringLiteral("Remove"), this, &BatchPanel::removeSelected);
  removeAllAction_ = contextMenu_->addAction(QStringLiteral("Remove All"), this, &BatchPanel::removeAll);
  contextMenu_->addSeparator();
  contextMenu_->addAction(QStringLiteral("Add Files"), this, &BatchPanel::addFiles);
  addFolderAction_ = contextMenu_->addAction(QStringLiteral("Add Folder"), this, &BatchPanel::addFolder);

  connect(addFilesButton_, &QPushButton::clicked, this, &BatchPanel::addFiles);
  connect(addFolderButton_, &QPushButton::clicked, this, &BatchPanel::addFolder);
  connect(removeButton_, &QPushButton::clicked, this, &BatchPanel::removeSelected);
  connect(removeAllButton_, &QPushButton::clicked, this, &BatchPanel::removeAll);
  connect(moveUpButton_, &QPushButton::clicked, this, &BatchPanel::moveUp);
  connect(moveDownButton_, &QPushButton::clicked, this, &BatchPanel::moveDown);
  connect(list_, &BatchList::rowClicked, this, [this](int row) {
    if (!running_) makeRowCurrent(row, true);
  });
  connect(list_, &BatchList::rowContextMenuRequested, this, [this](int, const QPoint& at) { contextMenu_->exec(at); });
  new DropHandler(*list_, [this](const QStringList& paths) { addPaths(paths); });
  refreshFileCount();
}

BatchPanel::~BatchPanel() { workers_.clear(); }  // each waits for its thread

int BatchPanel::rowCount() const { return list_->rowCount(); }
BatchEntry BatchPanel::entry(int row) const { return list_->entry(row); }

void BatchPanel::selectRow(int row) {
  list_->setFocus(Qt::OtherFocusReason);
  list_->selectAndFocusRow(row);
}

bool BatchPanel::isListWidget(const QWidget* widget) const { return widget == list_ || widget->parent() == list_; }

void BatchPanel::refreshFileCount() { fileCountBox_->setText(QString::number(list_->rowCount())); }
QString BatchPanel::fileCountText() const { return fileCountBox_->text(); }

void BatchPanel::setProgress(int percent) {
  const bool changed = progressBar_->value() != percent;
  progressBar_->setValue(percent);
  if (changed) emit progressChanged(percent);
  percentLabel_->setText(QStringLiteral("%1%").arg(percent));
}

void BatchPanel::resetProgress() { setProgress(0); }
int BatchPanel::progress() const { return progressBar_->value(); }
QString BatchPanel::progressText() const { return percentLabel_->text(); }

void BatchPanel::setLocked(bool locked) {
  for (QWidget* control : {addFolderButton_, removeButton_, removeAllButton_, moveUpButton_, moveDownButton_}) {
    control->setEnabled(!locked);
  }
  // The popup menu's Remove, Remove All and Add Folder follow their buttons: removing rows under
  // a run would stop its timer and leave the controls locked, and Add Folder replaces the list
  // the run walks, so the files it has not reached yet would never be converted.
  for (QAction* action : {removeAction_, removeAllAction_, addFolderAction_}) action->setEnabled(!locked);
}

bool BatchPanel::isLocked() const { return !removeButton_->isEnabled(); }

void BatchPanel::startWorker(std::unique_ptr<AddWorker> worker) {
  workers_.push_back(std::move(worker));
  emit busyChanged(true);
}

AddWorker::Callbacks BatchPanel::appendCallbacks() {
  AddWorker::Callbacks callbacks;
  callbacks.rowRead = [this](const QString& path, const FileFacts& facts) { appendFileRow(path, facts); };
  callbacks.message = [this](const QString& text) { messages_.show(text); };
  callbacks.finished = [this] { workerFinished(); };
  return callbacks;
}

void BatchPanel::appendFileRow(const QString& path, const FileFacts& facts) {
  ++nextRowNumber_;
  list_->appendEntry({nextRowNumber_, path, facts.width, facts.height, facts.frameCount});
  refreshFileCount();
}

void BatchPanel::workerFinished() {
  // A worker's last call: it is done reading, so waiting for its thread is short.
  std::erase_if(workers_, [](const std::unique_ptr<AddWorker>& w) { return w->isFinished(); });
  emit busyChanged(addingFiles());
  refreshFileCount();
}

void BatchPanel::addFiles() {
  emit settingsReadRequested();
  resetProgress();
  emit settingsShowRequested();
  const QStringList paths = dialogs_.openFiles(window(), QStringLiteral("Flash Files(*.gif)"));
  if (paths.isEmpty()) return;
  startWorker(AddWorker::addFiles(paths, this, appendCallbacks(), fileReader_));
}

void BatchPanel::addFolder() {
  if (isLocked()) return;  // locked while a run goes on, like its button
  emit settingsReadRequested();
  FolderPicker picker(dialogs_);
  if (!picker.browse()) return;
  AddWorker::Callbacks callbacks = appendCallbacks();
  callbacks.clearList = [this] {
    nextRowNumber_ = 0;
    list_->removeAllRows();
    refreshFileCount();
  };
  startWorker(AddWorker::addFolder(picker.resultPath, this, std::move(callbacks), fileReader_));
  resetProgress();
  emit settingsShowRequested();
}

void BatchPanel::addPaths(const QStringList& paths) {
  const DroppedPaths sorted = sortDroppedPaths(paths);
  if (sorted.skipped > 0) messages_.show(skippedFilesMessage(sorted.skipped));
  if (sorted.accepted.isEmpty()) return;
  startWorker(AddWorker::addPaths(sorted.accepted, this, appendCallbacks(), fileReader_));
}

void BatchPanel::removeSelected() {
  if (list_->rowCount() == 1) emit rowsAboutToBeRemoved(false);
  for (int row = list_->firstSelectedRow(); row >= 0; row = list_->firstSelectedRow()) list_->removeRow(row);
  refreshFileCount();
}

void BatchPanel::removeAll() {
  emit rowsAboutToBeRemoved(true);
  list_->removeAllRows();
  refreshFileCount();
}

void BatchPanel::moveUp() { moveCurrentRow(-1, QStringLiteral("It's the first row!")); }

void BatchPanel::moveDown() { moveCurrentRow(+1, QStringLiteral("It's the last row!")); }

// Moves the current row one place up (step -1) or down (+1); at the list's edge says so instead.
void BatchPanel::moveCurrentRow(int step, const QString& edgeMessage) {
  list_->setFocus(Qt::OtherFocusReason);
  const int rows = list_->rowCount();
  if (rows == 0) {
    messages_.show(QStringLiteral("There is no rows!"));
    return;
  }
  if (currentRow_ < 0 || currentRow_ >= rows) return;
  const int target = currentRow_ + step;
  if (target < 0 || target >= rows) {
    messages_.show(edgeMessage);
    return;
  }
  const BatchEntry entry = list_->entry(currentRow_);
  list_->removeRow(currentRow_);
  currentRow_ = target;
  list_->insertEntry(currentRow_, entry);
  list_->selectAndFocusRow(currentRow_);
}

void BatchPanel::selectionMovedByKey() {
  if (running_) return;
  const int row = list_->firstSelectedRow();
  if (row >= 0) makeRowCurrent(row, false);
}

void BatchPanel::deleteKey() {
  // Delete is Remove: locked while a run goes on, like the button.
  if (!isLocked()) removeSelected();
}

void BatchPanel::makeRowCurrent(int row, bool fromClick) {
  if (row < 0 || row >= list_->rowCount()) return;
  if (fromClick) emit settingsReadRequested();
  const BatchEntry entry = list_->entry(row);
  emit currentFileChosen(entry.filePath, QSize(entry.width, entry.height));
  resetProgress();
  emit settingsShowRequested();
  currentRow_ = list_->firstSelectedRow();
}

}  // namespace brevanto::app
