// Adding a large folder keeps the window responsive: rows arrive while the worker reads and the
// user-interface thread keeps serving its events. BREVANTO_ADD_FOLDER names a folder to time
// (for instance the sample corpus repeated to 1000 files); without it a generated folder of
// 1000 small GIFs is used.

#include "tests/support/GifBuilder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "app/MainWindow.h"
#include "app/BatchPanel.h"
#include "app/BatchList.h"
#include "app/BatchList.h"

namespace brevanto::app {
namespace {

class QuietDesktop final : public DialogService, public MessageService, public ShellService {
 public:
  QString folder;
  QStringList messages;
  QStringList openFiles(QWidget*, const QString&) override { return {}; }
  QString chooseFolder(QWidget*, const QString&) override { return folder; }
  SaveChoice saveFile(QWidget*, const QStringList&) override { return {}; }
  void show(QWidget*, const QString& text, MessageIcon) override { messages << text; }
  bool openPath(const QString&, ShowMode) override { return true; }
  bool openUrl(const QUrl&) override { return true; }
};

TEST(AddFolderTiming, TheListGrowsWhileTheWorkerReadsAThousandFiles) {
  QTemporaryDir dir;
  QuietDesktop desktop;
  desktop.folder = qEnvironmentVariable("BREVANTO_ADD_FOLDER");
  if (desktop.folder.isEmpty()) {
    desktop.folder = dir.path();
    testing::GifBuilder gif(32, 24);
    for (int i = 0; i < 4; ++i) gif.frame(10, 32, 24, static_cast<std::uint8_t>(i % 4));
    gif.trailer();
    for (int i = 0; i < 1000; ++i) {
      QFile file(dir.path() + QStringLiteral("/%1.gif").arg(i, 4, 10, QLatin1Char('0')));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(reinterpret_cast<const char*>(gif.bytes().data()), static_cast<qint64>(gif.size()));
    }
  }
  const int files = static_cast<int>(QDir(desktop.folder).entryList({"*.gif", "*.GIF"}, QDir::Files).size());

  MainWindow window(Services{&desktop, &desktop, &desktop}, dir.path() + QStringLiteral("/"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  // A 10 ms heartbeat on the user-interface thread: the longest gap between beats is how long
  // the window was unable to react.
  QElapsedTimer clock;
  qint64 lastBeat = 0;
  qint64 longestGap = 0;
  QTimer heartbeat;
  heartbeat.setInterval(10);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longestGap = std::max(longestGap, now - lastBeat);
    lastBeat = now;
  });
  std::vector<int> rowsSeen;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    if (window.addingFiles()) rowsSeen.push_back(window.batch().rowCount());
  });

  clock.start();
  heartbeat.start();
  window.batch().addFolder();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.addingFiles(); }, 300000));
  const qint64 elapsed = clock.elapsed();
  heartbeat.stop();

  const int expected = std::min(files, 1000);
  EXPECT_EQ(window.batch().rowCount(), expected);
  // Rows were visible part-way through: some beat saw a partly filled list.
  EXPECT_TRUE(std::any_of(rowsSeen.begin(), rowsSeen.end(), [&](int n) { return n > 0 && n < expected; }));
  EXPECT_LT(longestGap, 2000);  // generous: the machine may be shared; rows seen part-way is the main check
  std::printf("added %d files in %lld ms; longest pause of the window %lld ms\n", expected,
              static_cast<long long>(elapsed), static_cast<long long>(longestGap));
}

}  // namespace
}  // namespace brevanto::app
