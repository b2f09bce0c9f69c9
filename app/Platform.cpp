#include "app/Platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace brevanto::app {
namespace {

class QtDialogService final : public DialogService {
 public:
  QStringList openFiles(QWidget* parent, const QString& filter) override {
    return QFileDialog::getOpenFileNames(parent, QString(), QString(), filter);
  }

  QString chooseFolder(QWidget* parent, const QString& title) override {
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
  }

  SaveChoice saveFile(QWidget* parent, const QStringList& filters) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return {};
    }
    SaveChoice choice;
    choice.path = dialog.selectedFiles().constFirst();
    choice.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (choice.filterIndex < 1) choice.filterIndex = 1;
    return choice;
  }
};

class QtMessageService final : public MessageService {
 public:
  void show(QWidget* parent, const QString& text, MessageIcon icon) override {
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromUtf8(kApplicationName));
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
      case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
      case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
      case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
      case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.exec();
  }
};

class QtShellService final : public ShellService {
 public:
  bool openPath(const QString& path, ShowMode /*mode*/) override {
    // The desktop decides how the opened program's window is shown.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path)));
  }
  bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }

  // The desktop's launcher (xdg-open) is run as a child, so its exit status is known: it ends
  // with a failure status when the program it chose for the file does not start. A launcher
  // still running after kLauncherPatienceMs has its program up (some launchers wait for it to
  // end); a later failure is not reported. Without a launcher the desktop services decide.
  void openPathOrReport(const QString& path, ShowMode mode, std::function<void()> failed) override {
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) {
      if (!openPath(path, mode)) failed();
      return;
    }
    auto* process = new QProcess;
    // The launcher's program may outlive this process: it must not write into our pipes.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed, clock](int code, QProcess::ExitStatus status) {
                       const bool failure = status != QProcess::NormalExit || code != 0;
                       if (failure && clock.elapsed() < kLauncherPatienceMs) failed();
                       process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError error) {
      if (error != QProcess::FailedToStart) return;
      failed();
      process->deleteLater();
    });
    process->start(launcher, {QDir::cleanPath(path)});
  }

 private:
  static constexpr qint64 kLauncherPatienceMs = 10000;
};

}  // namespace

Services desktopServices() {
  static QtDialogService dialogs;
  static QtMessageService messages;
  static QtShellService shell;
  return Services{&dialogs, &messages, &shell};
}

}  // namespace brevanto::app
