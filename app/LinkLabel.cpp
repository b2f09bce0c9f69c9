#include "app/LinkLabel.h"

#include <QUrl>

#include "app/Platform.h"

namespace brevanto::app {

controls::HyperlinkLabel* makeLinkLabel(const QString& address, QWidget* parent, ShellService* shell,
                                        std::function<void(const QString&)> report) {
  auto* label = new controls::HyperlinkLabel(address, parent);
  label->setObjectName(QStringLiteral("linkLabel"));
  if (shell != nullptr) {
    label->setOpener([shell](const QString& target) {
      return controls::HyperlinkLabel::openThrough(target, [shell](const QUrl& url) { return shell->openUrl(url); });
    });
  }
  if (report) {
    label->setFailureReporter(std::move(report));
  }
  return label;
}

}  // namespace brevanto::app
