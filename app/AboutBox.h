#pragma once

#include <QDialog>

namespace brevanto::app {

// The small modal About window: the application icon, "Brevanto 2.3" and an OK button.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace brevanto::app
