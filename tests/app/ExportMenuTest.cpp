// The Export submenu driven through the real window: files added through the (answered) open
// dialog, a row made current, the menu's commands triggered as a user picks them.

// First: the test support pulls in the GIF builder, which must precede the Qt headers.
#include "tests/app/ExportTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "app/BatchList.h"
#include "app/ExportCommands.h"
#include "app/LinkLabel.h"
#include "controls/HyperlinkLabel.h"
#include "app/MainWindow.h"
#include "app/BatchPanel.h"
#include "app/SettingsPanel.h"
#include "image/AnimatedImage.h"
#include "tests/support/WindowControls.h"

namespace brevanto::app {
namespace {

using namespace brevanto::app::exporttest;
using brevanto::testing::box;

class ExportMenuTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    gifPath = gif("anim.gif");
    writeGif(gifPath, 3, 7, 5);
  }

  void addGifAndMakeItCurrent() {
    addFiles({gifPath});
    window->batch().makeRowCurrent(0, true);
    ASSERT_EQ(window->currentFile(), gifPath);
  }

  void trigger(const QString& text) {
    for (QAction* action : window->batch().contextMenu().actions().at(6)->menu()->actions()) {
      if (action->text() == text) {
        action->trigger();
        return;
      }
    }
    ADD_FAILURE() << "no Export menu item " << text.toStdString();
  }

  QString gifPath;
};

TEST_F(ExportMenuTest, PngAndJpgSequencesOfTheCurrentGif) {
  addGifAndMakeItCurrent();
  const QString png = outputFolder() + "tolvane_brevanto/png/";
  const QStringList pngNames{"anim.gif00000.png", "anim.gif00001.png", "anim.gif00002.png"};

  const QStringList counters = watchExportDialogs([&] { trigger("Png Sequence"); });
  EXPECT_EQ(counters, (QStringList{"IDC_STATIC_PROGRESS", "1/3", "2/3", "3/3"}));
  EXPECT_EQ(filesIn(png), pngNames);
  EXPECT_EQ(desktop.opened, QStringList{png});

  // Again: the same names are written again, nothing is added.
  for (const QString& name : pngNames) QFile::remove(png + name);
  watchExportDialogs([&] { trigger("Png Sequence"); });
  EXPECT_EQ(filesIn(png), pngNames);

  watchExportDialogs([&] { trigger("Jpg Sequence"); });
  EXPECT_EQ(filesIn(outputFolder() + "tolvane_brevanto/jpeg/"),
            (QStringList{"anim.gif00000.jpeg", "anim.gif00001.jpeg", "anim.gif00002.jpeg"}));
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(ExportMenuTest, WithoutACurrentFileEveryExportSaysNoGifFiles) {
  trigger("Png Sequence");
  trigger("Single Image");
  EXPECT_EQ(desktop.messages, (QStringList{"No gif files!", "No gif files!"}));
  EXPECT_EQ(desktop.saveDialogs, 0);
  EXPECT_FALSE(QDir(outputFolder() + "tolvane_brevanto").exists());
}

TEST_F(ExportMenuTest, SingleImageSavesThePreviewFrameAtTheChosenSize) {
  addGifAndMakeItCurrent();
  desktop.saveAnswer = SaveChoice{dir.path() + "/still", 4};

  // Never played: no frame in the preview, nothing asked, nothing written.
  trigger("Single Image");
  ASSERT_EQ(desktop.messages.size(), 1);
  EXPECT_EQ(desktop.messages[0].toStdString(), kNoPreviewFrameMessage);
  EXPECT_EQ(desktop.saveDialogs, 0);

  window->play();
  clock.run();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlaying() && !window->player().playbackRunning(); }));
  ASSERT_NE(window->player().currentImage(), nullptr);

  window->settingsPanel().chooseSizeMode("2x Original Size");
  trigger("Single Image");
  EXPECT_EQ(desktop.saveFilters, singleImageFilters());
  image::AnimatedImage written;
  ASSERT_TRUE(written.load((dir.path() + "/still.png").toStdString()));
  EXPECT_EQ(written.frame(0).width(), 14);
  EXPECT_EQ(written.frame(0).height(), 10);
  EXPECT_EQ(desktop.messages.size(), 1);

  // A custom size counts as soon as it is typed.
  window->settingsPanel().chooseSizeMode("Custom");
  box(*window, "width").setText("20");
  box(*window, "height").setText("9");
  desktop.saveAnswer = SaveChoice{dir.path() + "/custom.bmp", 1};
  trigger("Single Image");
  image::AnimatedImage custom;
  ASSERT_TRUE(custom.load((dir.path() + "/custom.bmp").toStdString()));
  EXPECT_EQ(custom.frame(0).width(), 20);
  EXPECT_EQ(custom.frame(0).height(), 9);
  EXPECT_EQ(desktop.messages.size(), 1);
}

TEST_F(ExportMenuTest, TheLinkLabelOpensTheMakersAddressThroughTheShell) {
  auto* link = window->findChild<controls::HyperlinkLabel*>();
  ASSERT_NE(link, nullptr);
  window->show();
  EXPECT_EQ(link->text(), kMakerAddress);
  EXPECT_EQ(link->toolTip(), kMakerAddress);

  desktop.urlOpens = false;
  link->openTarget();
  EXPECT_FALSE(link->isVisited());
  ASSERT_EQ(desktop.messages.size(), 1);
  EXPECT_EQ(desktop.messages[0],
            "Unable to open hyperlink:\n\nThere is no application associated\n"
            "with the given filename extension.");

  desktop.urlOpens = true;
  link->openTarget();
  EXPECT_TRUE(link->isVisited());
  EXPECT_EQ(desktop.opened, (QStringList{kMakerAddress, kMakerAddress}));
  EXPECT_EQ(desktop.messages.size(), 1);
}

}  // namespace
}  // namespace brevanto::app
