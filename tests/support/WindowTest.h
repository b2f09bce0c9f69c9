#pragma once

// The real main window for tests, in a scratch folder with gifs/ and out/ (the program folder,
// so the output folder), its desktop answered by a FakeDesktop and its preview playing on a
// ManualClock: play time passes only when a test lets it. Also the GIF files the window tests
// write and the headless converter they compare the window's movies with.

// First: its builder has a local named like a Qt keyword macro.
#include "tests/support/GifBuilder.h"
#include "tests/support/Files.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/BatchList.h"
#include "app/BatchPanel.h"
#include "app/MainWindow.h"
#include "app/PreviewPanel.h"
#include "app/SettingsPanel.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/ManualClock.h"
#include "tests/support/WindowControls.h"

namespace brevanto::testing {

// A GIF of `frames` frames of one colour each, palette indices 1, 2, 3, 1, ... (red, green,
// blue), each shown `delay` hundredths; returns the indices.
inline std::vector<std::uint8_t> writeGif(const QString& path, int frames, int width = 7, int height = 5,
                                          int delay = 10) {
  GifBuilder gif(width, height);
  std::vector<std::uint8_t> colours;
  for (int i = 0; i < frames; ++i) {
    colours.push_back(static_cast<std::uint8_t>(1 + i % 3));
    gif.frame(delay, width, height, colours.back());
  }
  gif.trailer();
  writeFile(path.toStdString(), gif.bytes());
  return colours;
}

// The file's bytes; empty when it cannot be read.
inline QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("gifs"));
    QDir(dir.path()).mkpath(QStringLiteral("out"));
    app::Services services = desktop.services();
    services.clock = &clock;
    window = std::make_unique<app::MainWindow>(services, outputFolder());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override { window.reset(); }

  app::BatchPanel& batch() const { return window->batch(); }
  app::SettingsPanel& panel() const { return window->settingsPanel(); }
  app::PreviewPanel& preview() const { return window->preview(); }
  app::BatchList& list() const { return batchList(*window); }
  QString gif(const QString& name) const { return dir.path() + QStringLiteral("/gifs/") + name; }
  QString outputFolder() const { return dir.path() + QStringLiteral("/out/"); }
  QString captureFolder() const { return outputFolder() + QStringLiteral("tolvane_brevanto/Temp"); }
  bool captureFolderEmpty() const { return QDir(captureFolder()).isEmpty(); }

  // Adds files as "ADD Gif(s)" does with the open dialog answered, and waits for the rows.
  void addFiles(const QStringList& paths) {
    desktop.fileAnswers.push_back(paths);
    batch().addFiles();
    waitForAdds();
  }
  // Writes each of `names` into gifs/ as writeGif does, adds them in order and returns their paths.
  QStringList addGifs(const QStringList& names, int frames, int width, int height, int delay = 10) {
    QStringList paths;
    for (const QString& name : names) {
      paths << gif(name);
      writeGif(paths.back(), frames, width, height, delay);
    }
    addFiles(paths);
    return paths;
  }
  void waitForAdds() { ASSERT_TRUE(QTest::qWaitFor([&] { return !window->addingFiles(); }, 10000)); }
  void clickRow(int row) {
    QTreeWidgetItem* item = list().topLevelItem(row);
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, list().visualItemRect(item).center());
  }
  void chooseSizeMode(const QString& mode) {
    ASSERT_TRUE(itemTexts(choice(*window, "sizeMode")).contains(mode));
    panel().chooseSizeMode(mode);
  }
  // The texts of one of the list's columns, top to bottom.
  QStringList column(int column) const {
    QStringList texts;
    for (int row = 0; row < list().rowCount(); ++row) texts << list().topLevelItem(row)->text(column);
    return texts;
  }
  // Lets play time pass freely and waits until no run goes on.
  void waitForRunEnd(int ms = 20000) {
    clock.run();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isRunning(); }, ms));
  }
  // The movies named are in the output folder, none of them empty.
  void expectMovies(const QStringList& names) const {
    for (const QString& name : names) EXPECT_FALSE(readAll(outputFolder() + name).isEmpty()) << name.toStdString();
  }

  // Runs the headless converter with `arguments` into `folder` (created); returns its standard
  // output. Without the converter built, returns nothing and `converted` stays false.
  QByteArray convertHeadless(const QString& folder, const QStringList& arguments) {
    QDir().mkpath(folder);
#ifdef BREVANTO_CONVERT_EXE
    QProcess converter;
    converter.start(QStringLiteral(BREVANTO_CONVERT_EXE), QStringList{"-o", folder} + arguments);
    EXPECT_TRUE(converter.waitForFinished(30000));
    EXPECT_EQ(converter.exitCode(), 0) << converter.readAllStandardError().toStdString();
    converted = converter.exitCode() == 0;
    return converter.readAllStandardOutput();
#else
    return {};
#endif
  }
  // The movie `name` written by the window is the headless converter's from `folder` (checked
  // only when the converter ran).
  void expectSameMovie(const QString& folder, const QString& name) const {
    const QByteArray made = readAll(outputFolder() + name);
    EXPECT_FALSE(made.isEmpty()) << name.toStdString();
    if (converted) {
      EXPECT_EQ(made, readAll(folder + name)) << name.toStdString();
    }
  }

  QTemporaryDir dir;
  FakeDesktop desktop;
  ManualClock clock;
  std::unique_ptr<app::MainWindow> window;
  bool converted = false;
};

}  // namespace brevanto::testing
