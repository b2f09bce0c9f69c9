#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "app/AddWorker.h"
#include "app/BatchList.h"

class QAction;
class QLineEdit;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace brevanto::app {

class DialogService;
class MessageQueue;

// The batch list with its command buttons ("ADD Gif(s)", "Add Folder", "Remove", "Remove All",
// "Move Up", "Move Down"), the "File count" box and the progress bar. It adds rows through
// AddWorker, moves and removes them, and makes a row current (its size goes to the settings).
// While a run goes on, rows cannot be made current: the run decides which file it converts.
// It knows nothing of the settings: around its commands it asks for the settings' boxes to be
// read and shown again, and the window passes that on.
class BatchPanel : public QWidget {
  Q_OBJECT

 public:
  BatchPanel(DialogService& dialogs, MessageQueue& messages, QWidget* parent = nullptr);
  ~BatchPanel() override;

  // The rows, as the runs read them.
  int rowCount() const;
  BatchEntry entry(int row) const;
  // Selects a row (other selections stay), gives the list the focus and scrolls the row into view.
  void selectRow(int row);
  // The list or one of its parts (keys pressed there act on the rows).
  bool isListWidget(const QWidget* widget) const;
  // The list's popup menu; the window adds its own commands after the list's.
  QMenu& contextMenu() const { return *contextMenu_; }

  // Commands.
  void addFiles();
  void addFolder();
  // Adds dropped or start-up paths: GIF files and folders, in the order given, through one
  // worker; anything else is skipped and counted in one message.
  void addPaths(const QStringList& paths);
  void removeSelected();
  void removeAll();
  void moveUp();
  void moveDown();
  // Keys: an arrow key moved the selection; Delete pressed in the list.
  void selectionMovedByKey();
  void deleteKey();

  // How the add commands read a file (the image core by default; tests slow it down).
  void setFileReader(AddWorker::Reader reader) { fileReader_ = std::move(reader); }
  bool addingFiles() const { return !workers_.empty(); }
  int nextRowNumber() const { return nextRowNumber_; }
  int currentRow() const { return currentRow_; }

  // Makes a row current (a left click, or the first selected row for the arrow keys).
  void makeRowCurrent(int row, bool fromClick);

  // Add Folder, Remove, Remove All, Move Up and Move Down (and their menu entries) follow
  // `locked`; `running` keeps clicks and arrow keys from changing the current file. "ADD Gif(s)"
  // stays available: it appends, and a Convert All converts the rows it adds.
  void setLocked(bool locked);
  void setRunning(bool running) { running_ = running; }
  bool isLocked() const;

  void setProgress(int percent);
  void resetProgress();
  int progress() const;
  QString progressText() const;
  QString fileCountText() const;

 signals:
  // A row became current: the file the commands act on, and its size.
  void currentFileChosen(const QString& path, QSize size);
  // The settings' boxes are to be read into the settings (what the user typed counts), and
  // to be shown again from the settings.
  void settingsReadRequested();
  void settingsShowRequested();
  // Rows are about to be removed (`all`: Remove All), so playback of a removed file stops.
  void rowsAboutToBeRemoved(bool all);
  // The progress bar moved.
  void progressChanged(int percent);
  // The add commands' cursor: busy while a worker reads.
  void busyChanged(bool busy);

 private:
  void moveCurrentRow(int step, const QString& edgeMessage);
  void startWorker(std::unique_ptr<AddWorker> worker);
  AddWorker::Callbacks appendCallbacks();
  void appendFileRow(const QString& path, const FileFacts& facts);
  void workerFinished();
  void refreshFileCount();

  DialogService& dialogs_;
  MessageQueue& messages_;

  QPushButton* addFilesButton_ = nullptr;
  QPushButton* addFolderButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* removeAllButton_ = nullptr;
  QPushButton* moveUpButton_ = nullptr;
  QPushButton* moveDownButton_ = nullptr;
  BatchList* list_ = nullptr;
  QLineEdit* fileCountBox_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* percentLabel_ = nullptr;
  QMenu* contextMenu_ = nullptr;
  // The popup menu's entries that follow setLocked.
  QAction* removeAction_ = nullptr;
  QAction* removeAllAction_ = nullptr;
  QAction* addFolderAction_ = nullptr;

  AddWorker::Reader fileReader_;
  std::vector<std::unique_ptr<AddWorker>> workers_;
  int nextRowNumber_ = 0;
  int currentRow_ = 0;
  bool running_ = false;
};

}  // namespace brevanto::app
