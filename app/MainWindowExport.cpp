// The frame export commands of the list's "Export" submenu, handed to the export code with
// what it needs from the window.

#include "app/ExportCommands.h"
#include "app/MainWindow.h"
#include "app/MessageQueue.h"
#include "app/SettingsPanel.h"

namespace brevanto::app {

namespace {

ExportContext contextFor(MainWindow& window, const Services& services,
                         std::function<void(const QString&, MessageIcon)> message) {
  ExportContext context;
  context.window = &window;
  context.services = services;
  context.message = std::move(message);
  context.outputFolder = window.settings().outputFolder;
  context.currentFile = window.currentFile();
  return context;
}

}  // namespace

void MainWindow::exportSingleImage() {
  // The picture takes the size the boxes show, including a custom size just typed, as a
  // conversion does; a box without an integer is reported and nothing is saved.
  if (!currentFile().isEmpty() && !settingsPanel_->readFields()) return;
  const ExportContext context =
      contextFor(*this, services_, [this](const QString& text, MessageIcon icon) { messages_->show(text, icon); });
  app::exportSingleImage(context, player_.currentImage(), settings().outputWidth, settings().outputHeight);
}

void MainWindow::exportSequence(const QString& extension) {
  const ExportContext context =
      contextFor(*this, services_, [this](const QString& text, MessageIcon icon) { messages_->show(text, icon); });
  app::exportSequence(context, extension.toStdString());
}

}  // namespace brevanto::app
