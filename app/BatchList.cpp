#include "app/BatchList.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMouseEvent>


namespace brevanto::app {
namespace {

// A row item keeps its entry beside the texts it shows.
class EntryItem final : public QTreeWidgetItem {
 public:
  explicit EntryItem(const BatchEntry& entry)
      : QTreeWidgetItem(QStringList{QString::number(entry.number), QFileInfo(entry.filePath).fileName(),
                                    QStringLiteral("%1*%2").arg(entry.width).arg(entry.height),
                                    QString::number(entry.frameCount), entry.filePath}),
        entry_(entry) {}
  const BatchEntry& entry() const { return entry_; }

 private:
  BatchEntry entry_;
};

}  // namespace

BatchList::BatchList(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(5);
  setHeaderLabels({QStringLiteral("No"), QStringLiteral("FileName"), QStringLiteral("Dimension"),
                   QStringLiteral("Count"), QStringLiteral("FilePath")});
  const int widths[] = {30, 100, 70, 50, 150};
  for (int c = 0; c < 5; ++c) {
    setColumnWidth(c, widths[c]);
    headerItem()->setTextAlignment(c, Qt::AlignLeft | Qt::AlignVCenter);
  }
  header()->setStretchLastSection(true);
  header()->setSectionsMovable(false);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
}

BatchEntry BatchList::entry(int row) const {
  const auto* item = static_cast<const EntryItem*>(topLevelItem(row));  // every row is one
  return item ? item->entry() : BatchEntry{};
}

void BatchList::appendEntry(const BatchEntry& entry) { insertEntry(rowCount(), entry); }

void BatchList::insertEntry(int row, const BatchEntry& entry) {
  insertTopLevelItem(row, new EntryItem(entry));  // the list takes ownership
}

void BatchList::removeRow(int row) { delete takeTopLevelItem(row); }

void BatchList::removeAllRows() { clear(); }

int BatchList::firstSelectedRow() const {
  // Rows are few (at most a few thousand); a scan in row order gives the lowest index.
  for (int row = 0; row < rowCount(); ++row) {
    if (topLevelItem(row)->isSelected()) return row;
  }
  return -1;
}

void BatchList::selectAndFocusRow(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return;
  item->setSelected(true);
  selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
  scrollToItem(item, QAbstractItemView::EnsureVisible);
  viewport()->repaint();
}

void BatchList::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  const int row = item ? indexOfTopLevelItem(item) : -1;
  if (event->button() == Qt::LeftButton) leftPressRow_ = row;
  QTreeWidget::mousePressEvent(event);
  if (event->button() == Qt::RightButton && row >= 0) {
    emit rowContextMenuRequested(row, event->globalPosition().toPoint());
  }
}

void BatchList::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) return;
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  const int row = item ? indexOfTopLevelItem(item) : -1;
  if (row >= 0 && row == leftPressRow_) emit rowClicked(row);
  leftPressRow_ = -1;
}

}  // namespace brevanto::app
