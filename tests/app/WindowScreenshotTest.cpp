// Draws the README's picture of the window: a few GIFs listed, one of them previewing.
// Runs only when BREVANTO_SCREENSHOT names the PNG to write (see docs/make_screenshot.sh, which
// runs it on a virtual X display); otherwise it is skipped.

// The GIF builder comes first: it names a local "emit", which Qt defines as a macro.
#include "tests/support/GifBuilder.h"
#include "tests/support/Files.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

#include "app/BatchList.h"
#include "app/MainWindow.h"
#include "app/BatchPanel.h"
#include "app/Platform.h"
#include "tests/support/FakeDesktop.h"

namespace brevanto::app {
namespace {

// A 200 x 150 sunset: a sky gradient, a sun that sinks frame by frame, and dark hills.
void writeSunset(const QString& path) {
  constexpr int W = 200, H = 150, kFrames = 12;
  std::vector<std::uint32_t> colours(256, 0);
  for (int i = 0; i < 128; ++i) {  // sky: deep blue at the top to orange at the horizon
    const double t = i / 127.0;
    const int r = static_cast<int>(40 + t * 215), g = static_cast<int>(50 + t * 110),
              b = static_cast<int>(120 - t * 70);
    colours[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(r << 16 | g << 8 | b);
  }
  colours[200] = 0xFFE066;  // sun
  colours[201] = 0xFFF3B0;  // sun's rim
  colours[210] = 0x23402C;  // hills
  colours[211] = 0x2F5A3A;
  brevanto::testing::GifBuilder gif(W, H, colours);
  gif.loop();
  for (int f = 0; f < kFrames; ++f) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(W * H));
    const double sunX = 70 + f * 5, sunY = 40 + f * 6;
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        std::uint8_t index = static_cast<std::uint8_t>(std::min(127, y * 128 / 110));
        const double d = std::hypot(x - sunX, y - sunY);
        if (d < 16)
          index = 200;
        else if (d < 19)
          index = 201;
        const double hill1 = 112 + 10 * std::sin(x / 23.0);
        const double hill2 = 124 + 8 * std::sin(x / 13.0 + 1.5);
        if (y > hill2)
          index = 210;
        else if (y > hill1)
          index = 211;
        px[static_cast<std::size_t>(y * W + x)] = index;
      }
    }
    gif.control({.delay = 12});
    gif.image(0, 0, W, H, px);
  }
  gif.trailer();
  brevanto::testing::writeFile(path.toStdString(), gif.bytes());
}

TEST(WindowScreenshot, DrawsTheWindowWithFilesListedAndOnePreviewing) {
  const QByteArray target = qgetenv("BREVANTO_SCREENSHOT");
  if (target.isEmpty()) {
    GTEST_SKIP() << "set BREVANTO_SCREENSHOT to the PNG file to write";
  }
  QDir home(QDir::tempPath() + "/brevanto-demo/ann");
  home.removeRecursively();
  const QString gifs = home.path() + "/Pictures/gifs";
  ASSERT_TRUE(QDir().mkpath(gifs));
  writeSunset(gifs + "/sunset.gif");
  testing::FakeDesktop services;
  QStringList files{gifs + "/sunset.gif"};
  // The project's example GIFs (this file lives in tests/app/).
  const QDir examples(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../examples");
  for (const char* name : {"bouncing-ball.gif", "spinner.gif", "traffic-light.gif", "still.gif"}) {
    const QString copy = gifs + "/" + QString::fromUtf8(name);
    if (QFile::copy(examples.filePath(QString::fromUtf8(name)), copy)) {
      files << copy;
    }
  }

  // As for an installed program whose folder the user cannot write: the output folder is the
  // per-user one.
  const QByteArray realHome = qgetenv("HOME");
  qputenv("HOME", home.path().toUtf8());
  services.fileAnswers.push_back(files);
  MainWindow window(services.services(), QStringLiteral("/nonexistent/brevanto/bin/"));
  window.resize(960, 600);
  window.show();
  window.batch().addFiles();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.batch().rowCount() == files.size() && !window.addingFiles(); }, 10000));

  window.batch().selectRow(0);
  window.batch().makeRowCurrent(0, true);
  window.play();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.player().currentFrame() >= 6; }));
  window.pause();
  QTest::qWait(200);

  const QPixmap shot = window.grab();
  qputenv("HOME", realHome);
  home.removeRecursively();
  ASSERT_TRUE(shot.save(QString::fromUtf8(target), "PNG"));
  EXPECT_EQ(services.messages, QStringList());
}

}  // namespace
}  // namespace brevanto::app
