#include "app/BatchList.h"

#include <QHeaderView>
#include <QMouseEvent>

#include <climits>

namespace brevanto::app {
namespace {

// The integer at the start of a text, read as the C library's atoi does: leading blanks, an
// optional sign, then digits; stops at the first other character; clamped to the int range.
int leadingInteger(QStringView text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  long long value = 0;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    value = value * 10 + (text[i].unicode() - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    ++i;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

Dimension parseDimension(const QString& text) {
  const qsizetype star = text.indexOf(u'*');
  if (star < 0) return {leadingInteger(text), 0};
  return {leadingInteger(QStringView(text).left(star)), leadingInteger(QStringView(text).mid(star + 1))};
}

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
  const QTreeWidgetItem* item = topLevelItem(row);
  if (!item) return {};
  return {item->text(NumberColumn), item->text(FileNameColumn), item->text(DimensionColumn), item->text(CountColumn),
          item->text(FilePathColumn)};
}

void BatchList::appendEntry(const BatchEntry& entry) { insertEntry(rowCount(), entry); }

void BatchList::insertEntry(int row, const BatchEntry& entry) {
  auto* item =
      new QTreeWidgetItem(QStringList{entry.number, entry.fileName, entry.dimension, entry.count, entry.filePath});
  insertTopLevelItem(row, item);  // the list takes ownership
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
