#pragma once

#include <QString>

class QWidget;

namespace brevanto::app {

class DialogService;

// The folder-selection dialog: lets the user choose a file-system folder.
class FolderPicker {
 public:
  explicit FolderPicker(DialogService& dialogs) : dialogs_(dialogs) {}

  // Shows the dialog. Returns true and fills resultPath when a folder was chosen; after a
  // cancel resultPath is empty and the result is false.
  bool browse(QWidget* owner = nullptr);

  QString resultPath;
  QString title;  // "Open" when empty

 private:
  DialogService& dialogs_;
};

// A chosen folder in the window's form for the output folder: forward slashes and a trailing "/".
QString folderWithSeparator(const QString& folder);

}  // namespace brevanto::app
