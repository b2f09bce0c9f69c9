#include "app/FolderPicker.h"

#include <QDir>

#include "app/Platform.h"

namespace brevanto::app {

bool FolderPicker::browse(QWidget* owner) {
  resultPath = dialogs_.chooseFolder(owner, title.isEmpty() ? QStringLiteral("Open") : title);
  return !resultPath.isEmpty();
}

QString folderWithSeparator(const QString& folder) {
  QString text = QDir::fromNativeSeparators(folder);
  if (!text.isEmpty() && !text.endsWith(QLatin1Char('/'))) text += QLatin1Char('/');
  return text;
}

}  // namespace brevanto::app
