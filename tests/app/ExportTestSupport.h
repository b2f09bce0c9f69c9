#pragma once

// Shared pieces of the export tests: the colours of the GIFs they write, and the export dialogs.

// The window fixture comes first: its GIF builder names a local "emit", which Qt defines as a macro.
#include "tests/support/WindowTest.h"

#include <QApplication>
#include <QDir>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "app/FrameExportDialog.h"
#include "app/Platform.h"
#include "tests/support/FakeDesktop.h"
#include "image/RasterImage.h"

namespace brevanto::app::exporttest {

using brevanto::image::RasterImage;

using brevanto::testing::writeGif;

// Blue, green, red of the default palette entry.
inline std::array<int, 3> paletteBgr(std::uint8_t index) {
  switch (index) {
    case 1: return {0, 0, 255};
    case 2: return {0, 255, 0};
    case 3: return {255, 0, 0};
    default: return {255, 255, 255};
  }
}

inline std::array<int, 3> centreBgr(const RasterImage& image) {
  const int bpp = image.bytesPerPixel();
  EXPECT_GE(bpp, 3);
  const std::uint8_t* p = image.row(image.height() / 2) + (image.width() / 2) * bpp;
  return {p[0], p[1], p[2]};
}

inline QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files, QDir::Name); }

// Records the counter text of every FrameExportDialog that appears while `run` runs: the text
// before the first tick, then the text after every frame.
inline QStringList watchExportDialogs(const std::function<void()>& run) {
  QStringList counters;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* d = qobject_cast<FrameExportDialog*>(w);
      if (d == nullptr || d->property("watched").toBool()) continue;
      d->setProperty("watched", true);
      EXPECT_EQ(d->windowTitle(), "Dialog");
      EXPECT_TRUE(d->isModal());
      counters << d->counterText();
      QObject::connect(d, &FrameExportDialog::frameWritten, [&counters, d] { counters << d->counterText(); });
    }
  });
  watch.start();
  run();
  return counters;
}

}  // namespace brevanto::app::exporttest
