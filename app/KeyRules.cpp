#include "app/KeyRules.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "app/BatchList.h"
#include "app/BatchPanel.h"

namespace brevanto::app {

KeyRules::KeyRules(QWidget& window, BatchPanel& batch) : QObject(&window), window_(window), batch_(batch) {
  qApp->installEventFilter(this);
}

KeyRules::~KeyRules() { qApp->removeEventFilter(this); }

bool KeyRules::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != &window_) return false;
  const auto* keyEvent = static_cast<QKeyEvent*>(event);
  const int key = keyEvent->key();
  if (key == Qt::Key_Escape) return true;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) return type != QEvent::KeyRelease;
  if (key == Qt::Key_Up || key == Qt::Key_Down) {
    batch_.selectionMovedByKey();
    return false;
  }
  const bool inList = batch_.isListWidget(widget);
  if (key == Qt::Key_Delete && inList && keyEvent->modifiers() == Qt::NoModifier) {
    if (type == QEvent::KeyPress) batch_.deleteKey();
    return true;
  }
  if (key == Qt::Key_O && keyEvent->modifiers() == Qt::ControlModifier) {
    if (type == QEvent::KeyPress && !keyEvent->isAutoRepeat()) batch_.addFiles();
    return true;
  }
  return false;
}

}  // namespace brevanto::app
