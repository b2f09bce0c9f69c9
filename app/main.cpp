// Brevanto: turns animated GIF files into Flash movies. Starts the application and runs the
// main window until it closes. Arguments are GIF files and folders to list at start.

#include <QApplication>
#include <QFile>
#include <QStringList>

#include "app/AppIcon.h"
#include "app/MainWindow.h"
#include "app/Platform.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Runs unskinned: the native Qt style stands in for the optional skin library.
  QApplication::setApplicationName(QString::fromUtf8(brevanto::app::kApplicationName));
  QApplication::setApplicationVersion(QStringLiteral("2.3"));
  QApplication::setWindowIcon(brevanto::app::applicationIcon());

  brevanto::app::MainWindow window(brevanto::app::desktopServices());
  window.show();
  // Files and folders named on the command line (a file manager's "Open With") are added.
  QStringList paths;
  for (int i = 1; i < argc; ++i) paths << QFile::decodeName(argv[i]);
  window.addStartupPaths(paths);
  return QApplication::exec();
}
