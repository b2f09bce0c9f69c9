#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAbstractItemView;

namespace brevanto::app {

// Paths handed to the program (dropped on the list, or given on the command line) sorted for
// the add worker: GIF files (by name, any letter case) and folders are kept in the order given,
// as absolute paths; anything else (other files, missing paths) is counted.
struct DroppedPaths {
  QStringList accepted;
  int skipped = 0;
};
DroppedPaths sortDroppedPaths(const QStringList& paths);

// The one message about the skipped paths of a drop.
QString skippedFilesMessage(int skipped);

// Accepts local files and folders dragged onto the batch list and hands their paths to `add`,
// which adds them as "ADD Gif(s)" and "Add Folder" add theirs.
class DropHandler : public QObject {
  Q_OBJECT

 public:
  // Installs itself on the list.
  DropHandler(QAbstractItemView& list, std::function<void(const QStringList&)> add);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const QStringList&)> add_;
};

}  // namespace brevanto::app
