// First: the test support pulls in the GIF builder, which must precede the Qt headers.
#include "tests/app/ExportTestSupport.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/ExportCommands.h"
#include "app/FrameExportDialog.h"
#include "app/Platform.h"
#include "image/AnimatedImage.h"
#include "image/ImageCodecFactory.h"
#include "image/ImageProperties.h"
#include "image/RasterImage.h"

namespace brevanto::app {
namespace {

using namespace brevanto::app::exporttest;
using brevanto::image::AnimatedImage;

class FrameExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    outputFolder = (dir.path() + "/out/").toStdString();
    QDir().mkpath(dir.path() + "/out");
    QDir().mkpath(dir.path() + "/gifs");
    gifPath = dir.path() + "/gifs/anim.gif";
  }

  // The folder an export of `kind` ("png", "bmp", ...) writes to.
  QString exportFolder(const char* kind) const {
    return QString::fromStdString(outputFolder) + "tolvane_brevanto/" + kind + "/";
  }
  ExportContext context() { return ExportContext{nullptr, services.services(), {}, outputFolder, gifPath}; }

  QStringList runWatched(std::string_view extension) {
    return watchExportDialogs([&] { EXPECT_TRUE(exportSequence(context(), extension)); });
  }

  QTemporaryDir dir;
  testing::FakeDesktop services;
  std::string outputFolder;
  QString gifPath;
};

TEST_F(FrameExportTest, PngSequenceWritesEveryFrameCountsToTheEndAndOpensTheFolder) {
  const auto colours = writeGif(gifPath, 3);
  const QString folder = exportFolder("png");

  QElapsedTimer clock;
  clock.start();
  const QStringList counters = runWatched(".png");
  EXPECT_GE(clock.elapsed(), 250);  // one frame per 100 ms tick, not all at once
  EXPECT_EQ(counters, (QStringList{"IDC_STATIC_PROGRESS", "1/3", "2/3", "3/3"}));
  EXPECT_EQ(services.opened, QStringList{folder});
  EXPECT_TRUE(services.messages.isEmpty());

  const QStringList expected{"anim.gif00000.png", "anim.gif00001.png", "anim.gif00002.png"};
  ASSERT_EQ(filesIn(folder), expected);
  for (int i = 0; i < 3; ++i) {
    AnimatedImage written;
    ASSERT_TRUE(written.load((folder + expected[i]).toStdString()));
    ASSERT_EQ(written.frameCount(), 1u);
    EXPECT_EQ(written.frame(0).width(), 7);
    EXPECT_EQ(written.frame(0).height(), 5);
    EXPECT_EQ(centreBgr(written.frame(0)), paletteBgr(colours[static_cast<std::size_t>(i)])) << "frame " << i;
  }
}

TEST_F(FrameExportTest, JpgSequenceWritesJpegFilesAtTheWritersDefaultQuality) {
  writeGif(gifPath, 1, 16, 16);
  runWatched(".jpeg");
  const QString folder = exportFolder("jpeg");
  ASSERT_EQ(filesIn(folder), QStringList{"anim.gif00000.jpeg"});

  // Byte-identical to the same frame saved at quality 80.
  AnimatedImage source;
  ASSERT_TRUE(source.load(gifPath.toStdString()));
  image::ImageProperties q80;
  q80.set(image::ImageProperties::QualityKey, "80");
  const QString reference = dir.path() + "/reference.jpeg";
  ASSERT_TRUE(image::ImageCodecFactory::save(source.frame(0), reference.toStdString(), q80));
  const QByteArray exported = testing::readAll(folder + "anim.gif00000.jpeg");
  EXPECT_FALSE(exported.isEmpty());
  EXPECT_EQ(exported, testing::readAll(reference));
}

TEST_F(FrameExportTest, CommandsCheckTheOutputFolderAndTheCurrentFileFirst) {
  writeGif(gifPath, 1);
  for (const std::string folder : {"", "/"}) {
    ExportContext c = context();
    c.outputFolder = folder;
    EXPECT_FALSE(exportSequence(c, ".bmp"));
  }
  ExportContext noFile = context();
  noFile.currentFile.clear();
  EXPECT_FALSE(exportSequence(noFile, ".bmp"));
  RasterImage frame;
  ASSERT_TRUE(frame.create(4, 4, 32));
  EXPECT_TRUE(exportSingleImage(noFile, &frame, 8, 8).isEmpty());

  EXPECT_EQ(services.messages,
            (QStringList{"Please select the directory for converted files",
                         "Please select the directory for converted files", "No gif files!", "No gif files!"}));
  EXPECT_EQ(services.saveDialogs, 0);
  EXPECT_TRUE(services.opened.isEmpty());
  EXPECT_FALSE(QDir(QString::fromStdString(outputFolder) + "tolvane_brevanto").exists());
}

TEST_F(FrameExportTest, UndecodableSourceWritesNothingButStillOpensTheFolder) {
  testing::writeFile(gifPath.toStdString(), {'n', 'o', 't', ' ', 'a', ' ', 'G', 'I', 'F'});
  const QStringList counters = runWatched(".bmp");
  EXPECT_EQ(services.opened, QStringList{exportFolder("bmp")});
  EXPECT_TRUE(filesIn(exportFolder("bmp")).isEmpty());
  EXPECT_EQ(counters, QStringList{"IDC_STATIC_PROGRESS"});
}

TEST_F(FrameExportTest, ClosingEarlyKeepsTheWrittenFramesAndStops) {
  writeGif(gifPath, 4);
  FrameExportDialog dialog(gifPath, ".tga", outputFolder, &services);
  EXPECT_EQ(dialog.frameCount(), 4);
  EXPECT_EQ(dialog.exportFolder(), exportFolder("tga"));
  dialog.tick();
  EXPECT_EQ(dialog.counterText(), "1/4");
  dialog.reject();  // the close box
  const auto until = QDateTime::currentMSecsSinceEpoch() + 350;
  while (QDateTime::currentMSecsSinceEpoch() < until) QApplication::processEvents();
  EXPECT_EQ(filesIn(dialog.exportFolder()), QStringList{"anim.gif00000.tga"});
  EXPECT_EQ(dialog.framesWritten(), 1);
  EXPECT_TRUE(services.opened.isEmpty());
}

TEST_F(FrameExportTest, AnimationsBeyond65535FramesAreCountedWhole) {
  writeGif(gifPath, 70000, 1, 1);
  FrameExportDialog dialog(gifPath, ".bmp", outputFolder, &services);
  ASSERT_EQ(dialog.frameCount(), 70000);
  auto* bar = dialog.findChild<QProgressBar*>("exportProgress");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->maximum(), 70000);
  dialog.tick();
  dialog.tick();
  EXPECT_EQ(dialog.counterText(), "2/70000");
  EXPECT_FALSE(dialog.finished());
  dialog.reject();
}

TEST(SingleImageNames, TheFiltersAndTheExtensionTheyAdd) {
  EXPECT_EQ(singleImageFilters(), (QStringList{"BMP File (*.bmp)", "GIF File (*.gif)", "JPEG File (*.jpg *.jpeg)",
                                               "PNG Files (*.png)", "TIFF Files (*.tif *.tiff)"}));
  int filter = 1;
  for (const char* extension : {".bmp", ".gif", ".jpg", ".png", ".tif"}) {
    EXPECT_EQ(withFilterExtension("/tmp/out", filter++), QStringLiteral("/tmp/out") + extension);
  }
  EXPECT_EQ(withFilterExtension("/tmp/out.x", 4), "/tmp/out.x");
  // A dot in a folder name is not the file's extension.
  EXPECT_EQ(withFilterExtension("/home/ann.lee/out", 4), "/home/ann.lee/out.png");
}

class SingleImageTest : public FrameExportTest {
 protected:
  void SetUp() override {
    FrameExportTest::SetUp();
    writeGif(gifPath, 1);
    ASSERT_TRUE(frame.create(6, 4, 32));
    const std::uint8_t bgra[4] = {40, 90, 200, 255};
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) std::memcpy(frame.pixel(x, y), bgra, 4);
    }
  }
  RasterImage frame;
};

TEST_F(SingleImageTest, SavesTheShownFrameAtTheOutputSizeWithTheFiltersExtension) {
  services.saveAnswer = SaveChoice{dir.path() + "/single", 4};
  const QString written = exportSingleImage(context(), &frame, 12, 8);
  EXPECT_EQ(written, dir.path() + "/single.png");
  EXPECT_EQ(services.saveFilters, singleImageFilters());
  AnimatedImage result;
  ASSERT_TRUE(result.load(written.toStdString()));
  EXPECT_EQ(result.frame(0).width(), 12);
  EXPECT_EQ(result.frame(0).height(), 8);
  EXPECT_EQ(centreBgr(result.frame(0)), (std::array<int, 3>{40, 90, 200}));
  // The preview's frame itself is untouched.
  EXPECT_EQ(frame.width(), 6);
  EXPECT_TRUE(services.messages.isEmpty());
}

TEST_F(SingleImageTest, TypedExtensionIsKeptAndUnknownOnesAreReported) {
  services.saveAnswer = SaveChoice{dir.path() + "/shot.bmp", 4};
  EXPECT_EQ(exportSingleImage(context(), &frame, 6, 4), dir.path() + "/shot.bmp");
  EXPECT_TRUE(QFileInfo::exists(dir.path() + "/shot.bmp"));

  services.saveAnswer = SaveChoice{dir.path() + "/shot.x", 4};
  EXPECT_TRUE(exportSingleImage(context(), &frame, 6, 4).isEmpty());
  EXPECT_FALSE(QFileInfo::exists(dir.path() + "/shot.x"));
  ASSERT_EQ(services.messages.size(), 1);
  EXPECT_EQ(services.messages[0], "Unable to write the image file:\n\n" + dir.path() + "/shot.x");
}

TEST_F(SingleImageTest, NothingIsAskedOrWrittenWithoutAFrameOrAfterCancel) {
  RasterImage empty;
  EXPECT_TRUE(exportSingleImage(context(), &empty, 12, 8).isEmpty());
  EXPECT_TRUE(exportSingleImage(context(), nullptr, 12, 8).isEmpty());
  EXPECT_EQ(services.saveDialogs, 0);
  ASSERT_EQ(services.messages.size(), 2);
  EXPECT_EQ(services.messages[0].toStdString(), kNoPreviewFrameMessage);

  services.saveAnswer = SaveChoice{};  // cancelled
  EXPECT_TRUE(exportSingleImage(context(), &frame, 12, 8).isEmpty());
  EXPECT_EQ(services.saveDialogs, 1);
  EXPECT_EQ(services.messages.size(), 2);
}

}  // namespace
}  // namespace brevanto::app
