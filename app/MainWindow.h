#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "app/Platform.h"
#include "convert/OutputSettings.h"
#include "convert/PreviewPlayer.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace brevanto::app {

class BatchPanel;
class KeyRules;
class MessageQueue;
class PreviewPanel;
class RunController;
class SettingsPanel;

// The one main window: the batch panel (list and its commands), the preview, the output
// settings and the command row (Convert, Convert All, "Full speed", Stop, About, Help, Exit).
// It builds the parts and wires them together; each part does its own work.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `programFolder` ("/"-separated, ending in "/"): the folder of the program file; empty means
  // the folder of the running executable.
  explicit MainWindow(Services services, QString programFolder = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The window's parts, for the code that extends the window and for tests.
  BatchPanel& batch() const { return *batch_; }
  SettingsPanel& settingsPanel() const { return *settingsPanel_; }
  PreviewPanel& preview() const { return *preview_; }
  const RunController& runner() const { return *run_; }

  // State the tests and the frame export read.
  QString currentFile() const;
  // The line under the commands that names the last movie written, its length and rate.
  QString lastMovieText() const;
  int currentRow() const;
  bool addingFiles() const;
  bool isPlaying() const;
  bool isConverting() const;
  bool isConvertAll() const;
  bool isRunning() const;
  const convert::OutputSettings& settings() const;
  const convert::PreviewPlayer& player() const { return player_; }
  const QString& programFolder() const { return programFolder_; }
  // Convert and Convert All are locked (a run goes on); Stop is available.
  bool commandsLocked() const;
  bool stopAvailable() const;

  // The output folder a window starts with: the program folder when the user may write there,
  // otherwise a per-user folder (the desktop's movies folder, or the home folder, + "Brevanto/").
  static QString initialOutputFolder(const QString& programFolder);
  // Where Help looks for the manual: beside the program, then in the installed documentation.
  QStringList manualCandidates() const;

  // Commands (buttons).
  void play();
  void pause();
  void convert();
  void convertAll();
  void stop();
  void setFullSpeed(bool on);
  bool fullSpeed() const;
  void showAbout();
  void showHelp();
  void exitClicked();
  // Files and folders given on the command line, added as dropped ones are.
  void addStartupPaths(const QStringList& paths);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* buildCommandRow();
  // Fills the list's "Export" submenu: "Single Image" and the six sequence commands.
  void buildExportMenu();
  // The export commands (filled in by the frame export code).
  void exportSingleImage();
  void exportSequence(const QString& extension);

  Services services_;
  QString programFolder_;
  convert::PreviewPlayer player_;
  // The output settings: edited in the settings panel, read (and for each file of a Convert All
  // sized) by the runs.
  convert::OutputSettings settings_;
  std::unique_ptr<MessageQueue> messages_;
  SettingsPanel* settingsPanel_ = nullptr;
  BatchPanel* batch_ = nullptr;
  PreviewPanel* preview_ = nullptr;
  RunController* run_ = nullptr;
  KeyRules* keys_ = nullptr;

  QPushButton* convertButton_ = nullptr;
  QPushButton* convertAllButton_ = nullptr;
  QCheckBox* fullSpeedBox_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QLabel* lastMovieLabel_ = nullptr;
};

}  // namespace brevanto::app
