#pragma once

#include <QObject>

class QWidget;

namespace brevanto::app {

class BatchPanel;

// The window's keyboard rules, applied to every key before the focused control sees it:
// Escape does nothing, Enter and Return press nothing (no button is a default button), the
// arrow keys make the newly selected row current, Delete in the list is Remove, and Ctrl+O is
// "ADD Gif(s)".
class KeyRules : public QObject {
  Q_OBJECT

 public:
  // Installs itself on the application for the keys of `window`.
  KeyRules(QWidget& window, BatchPanel& batch);
  ~KeyRules() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  BatchPanel& batch_;
};

}  // namespace brevanto::app
