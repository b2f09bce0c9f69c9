#pragma once

// The desktop services the window needs: file dialogs, message boxes and the shell's
// "open" request. The window reaches them only through these interfaces, so a test can
// answer a dialog, read a message's exact text and record what the shell was asked to open.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

namespace brevanto::convert {
class PlaybackClock;
}

namespace brevanto::app {

// Application name: the caption of every message box.
inline constexpr const char* kApplicationName = "Brevanto 2.3 by tolvane";
// Main window caption (the trailing blank belongs to it).
inline constexpr const char* kWindowCaption = "Brevanto 2.3 ";

struct SaveChoice {
  QString path;         // empty when the dialog was cancelled
  int filterIndex = 0;  // 1-based index of the filter chosen in the dialog
};

class DialogService {
 public:
  virtual ~DialogService() = default;
  // Open-file dialog with multiple selection. Returns the chosen paths, empty when cancelled.
  virtual QStringList openFiles(QWidget* parent, const QString& filter) = 0;
  // Folder selection (file-system folders only). Returns the chosen folder, empty when cancelled.
  virtual QString chooseFolder(QWidget* parent, const QString& title) = 0;
  // Save dialog with the given filters (Qt filter syntax, one per entry), no overwrite
  // confirmation. The path is returned as typed; no extension is added.
  virtual SaveChoice saveFile(QWidget* parent, const QStringList& filters) = 0;
};

enum class MessageIcon { None, Information, Exclamation, Critical };

class MessageService {
 public:
  virtual ~MessageService() = default;
  // A modal message box with one OK button and the application name as caption.
  virtual void show(QWidget* parent, const QString& text, MessageIcon icon) = 0;
};

enum class ShowMode { Normal, Maximised };

class ShellService {
 public:
  virtual ~ShellService() = default;
  // Asks the desktop to open a local file or folder. Returns whether the desktop accepted.
  virtual bool openPath(const QString& path, ShowMode mode) = 0;
  // Asks the desktop to open an address (web link, mail address, ...).
  virtual bool openUrl(const QUrl& url) = 0;
  // Opens a local file as openPath does, for a request whose failure the user must hear of:
  // `failed` is called when the desktop refuses it, also when the desktop's launcher reports
  // only after this call that the program it started for the file failed.
  virtual void openPathOrReport(const QString& path, ShowMode mode, std::function<void()> failed) {
    if (!openPath(path, mode)) failed();
  }
};

// The services one window uses; none of them is owned.
struct Services {
  DialogService* dialogs = nullptr;
  MessageService* messages = nullptr;
  ShellService* shell = nullptr;
  // The clock the preview plays on; none: the steady clock. A test passes one it advances.
  convert::PlaybackClock* clock = nullptr;
};

// The real services: QFileDialog, QMessageBox and QDesktopServices. They live for the process.
Services desktopServices();

}  // namespace brevanto::app
