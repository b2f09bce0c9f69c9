#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/AddWorker.h"
#include "app/Platform.h"
#include "convert/ConversionRun.h"
#include "convert/OutputSettings.h"
#include "convert/PreviewPlayer.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;

namespace brevanto::app {

class BatchList;
class PreviewPane;

// The one main window: the batch list, the output settings, the preview with Play and Pause,
// Convert and Convert All, About, Help and Exit. The conversion itself is the core's
// ConversionRun, driven by the window's two 100 ms timers; the window shows what it asks for.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // The window's controls, for the code that extends the window and for tests.
  struct Ui {
    QPushButton* addFilesButton = nullptr;    // "ADD Gif(s)"
    QPushButton* addFolderButton = nullptr;   // "Add Folder"
    QPushButton* removeButton = nullptr;      // "Remove"
    QPushButton* removeAllButton = nullptr;   // "Remove All"
    QPushButton* moveUpButton = nullptr;      // "Move Up"
    QPushButton* moveDownButton = nullptr;    // "Move Down"
    BatchList* list = nullptr;
    QLineEdit* fileCountBox = nullptr;        // read-only row count
    QProgressBar* progressBar = nullptr;      // 0..100
    QLabel* percentLabel = nullptr;           // "0%"
    QLineEdit* pathBox = nullptr;             // output folder, display only
    QPushButton* browseButton = nullptr;      // "..."
    QLineEdit* widthBox = nullptr;
    QLineEdit* heightBox = nullptr;
    QComboBox* sizeModeBox = nullptr;
    QLineEdit* qualityBox = nullptr;
    QLineEdit* frameRateBox = nullptr;
    PreviewPane* previewPane = nullptr;
    QPushButton* playButton = nullptr;
    QPushButton* pauseButton = nullptr;
    QSlider* slider = nullptr;                // position within the file, 0..100
    QLineEdit* frameBox = nullptr;            // index of the frame shown
    QLabel* frameTotalLabel = nullptr;        // "0", then "/%d"
    QPushButton* convertButton = nullptr;
    QPushButton* convertAllButton = nullptr;
    QPushButton* aboutButton = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* exitButton = nullptr;
    QLabel* moreLabel = nullptr;              // "More wonderful softwares at:"
    QLabel* linkLabel = nullptr;              // the maker's web address
    QMenu* contextMenu = nullptr;             // the list's popup menu
    QMenu* exportMenu = nullptr;              // its "Export" submenu
  };

  // `programFolder` ("/"-separated, ending in "/"): the folder of the program file; empty means
  // the folder of the running executable.
  explicit MainWindow(Services services, QString programFolder = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  const Ui& ui() const { return ui_; }

  // State the tests and the frame export read.
  QString currentFile() const { return QString::fromStdString(run_->currentFile()); }
  int currentRow() const { return currentRow_; }
  int sourceWidth() const { return sourceWidth_; }
  int sourceHeight() const { return sourceHeight_; }
  int nextRowNumber() const { return nextRowNumber_; }
  bool addingFiles() const { return !workers_.empty(); }
  bool isPlaying() const { return run_->isPlaying(); }
  bool isConverting() const { return run_->isConverting(); }
  bool isConvertAll() const { return run_->isConvertAll(); }
  int runIndex() const { return run_->runIndex(); }
  const convert::OutputSettings& settings() const { return settings_; }
  const convert::PreviewPlayer& player() const { return player_; }
  bool playbackTimerActive() const;
  bool nextFileTimerActive() const;
  const QString& programFolder() const { return programFolder_; }

  // The output folder a window starts with: the program folder when the user may write there,
  // otherwise a per-user folder (the desktop's movies folder, or the home folder, + "Brevanto/").
  static QString initialOutputFolder(const QString& programFolder);

  // Commands (buttons and menu items).
  void addFiles();
  void addFolder();
  void removeSelected();
  void removeAll();
  void moveUp();
  void moveDown();
  void moveCurrentRow(int step, const QString& edgeMessage);
  void browseOutputFolder();
  void sizeModeChanged();
  void play();
  void pause();
  void convert();
  void convertAll();
  void showAbout();
  void showHelp();
  void exitClicked();
  // How the add commands read a file (the image core by default; tests slow it down).
  void setFileReader(std::function<FileFacts(const QString&)> reader) { fileReader_ = std::move(reader); }

  // Makes a row current (a left click, or the first selected row for the arrow keys).
  void selectRowAsCurrent(int row, bool fromClick);

  // Reads the settings boxes into the settings. A box that does not hold an integer is
  // reported ("Please enter an integer.", focus and selection on it); returns false then.
  bool readSettingsFields();
  // Shows the settings in their boxes.
  void writeSettingsBack();
  // Writes the row count into the "File count" box.
  void refreshFileCount();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void buildContextMenu();
  // Fills the list's "Export" submenu: "Single Image" and the six sequence commands.
  void buildExportMenu(QMenu* menu);
  // The export commands (filled in by the frame export code).
  void exportSingleImage();
  void exportSequence(const QString& extension);

  void startWorker(std::unique_ptr<AddWorker> worker);
  void appendFileRow(const QString& path, const FileFacts& facts);
  void workerFinished();
  void updateCursor();
  void resetProgress();

  void onFrameShown();
  void onTimer(int timerId);
  void perform(const convert::RunActions& actions);
  void setControlsLocked(bool locked);
  void showMessage(const QString& text, MessageIcon icon);
  void reportProblem(const convert::RunProblem& problem);

  Services services_;
  QString programFolder_;
  Ui ui_;

  convert::OutputSettings settings_;
  convert::PreviewPlayer player_;
  class ListAdapter;
  std::unique_ptr<ListAdapter> listAdapter_;
  std::unique_ptr<convert::ConversionRun> run_;
  QTimer* playbackTimer_ = nullptr;  // timer 1
  QTimer* nextFileTimer_ = nullptr;  // timer 2

  std::function<FileFacts(const QString&)> fileReader_;
  std::vector<std::unique_ptr<AddWorker>> workers_;
  int nextRowNumber_ = 0;
  int currentRow_ = 0;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  // The size the user set when a Convert All started with "Custom" chosen.
  // Message boxes wait for each other: a run goes on while one is open.
  bool messageOpen_ = false;
  std::vector<std::pair<QString, MessageIcon>> pendingMessages_;
};

}  // namespace brevanto::app
