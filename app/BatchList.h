#pragma once

#include <QString>
#include <QTreeWidget>

namespace brevanto::app {

// One row of the batch list: the five column texts. The list view is the store, so these
// texts are the data every consumer reads back.
struct BatchEntry {
  QString number;     // "No"
  QString fileName;   // "FileName": the path's file-name part, extension included
  QString dimension;  // "Dimension": "%d*%d" of the first frame
  QString count;      // "Count": "%d" frames
  QString filePath;   // "FilePath": the full path

  bool operator==(const BatchEntry&) const = default;
};

// Width and height read from a Dimension text: the leading integers before and after its
// first "*" (text without digits gives 0).
struct Dimension {
  int width = 0;
  int height = 0;
};
Dimension parseDimension(const QString& text);

// The list of input GIF files: a report-style list view with five columns, full-row and
// multiple selection. Left clicks on a row and right clicks on a row are reported as signals;
// clicks on empty space are not.
class BatchList : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column { NumberColumn = 0, FileNameColumn, DimensionColumn, CountColumn, FilePathColumn };

  explicit BatchList(QWidget* parent = nullptr);

  int rowCount() const { return topLevelItemCount(); }
  BatchEntry entry(int row) const;
  void appendEntry(const BatchEntry& entry);
  void insertEntry(int row, const BatchEntry& entry);
  void removeRow(int row);
  void removeAllRows();
  // Lowest index among the selected rows, -1 when none is selected.
  int firstSelectedRow() const;
  // Selects and focuses a row (other selections stay) and scrolls it fully into view.
  void selectAndFocusRow(int row);

 signals:
  // A left click released on a row.
  void rowClicked(int row);
  // A right click on a row, at a global position.
  void rowContextMenuRequested(int row, const QPoint& globalPos);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int leftPressRow_ = -1;
};

}  // namespace brevanto::app
