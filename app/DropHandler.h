#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace brevanto::app {

class BatchPanel;

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

// Accepts local files and folders dragged onto the batch list and adds them through the batch
// panel, as "ADD Gif(s)" and "Add Folder" add theirs.
class DropHandler : public QObject {
  Q_OBJECT

 public:
  // Installs itself on the panel's list.
  explicit DropHandler(BatchPanel& panel);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  BatchPanel& panel_;
};

}  // namespace brevanto::app
