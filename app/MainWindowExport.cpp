// The frame export commands of the list's "Export" submenu.

#include "app/MainWindow.h"

namespace brevanto::app {

void MainWindow::exportSingleImage() {}

void MainWindow::exportSequence(const QString& /*extension*/) {}

}  // namespace brevanto::app
