#pragma once

#include <QString>
#include <QTreeWidget>

namespace brevanto::app {

// One row of the batch list: a GIF and what was read from it. The list shows it as five texts:
// "No" (number), "FileName" (the path's file-name part, extension included), "Dimension"
// ("W*H" of the first frame), "Count" (frames) and "FilePath" (the full path).
struct BatchEntry {
  int number = 0;
  QString filePath;
  int width = 0;
  int height = 0;
  int frameCount = 0;

  bool operator==(const BatchEntry&) const = default;
};

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
