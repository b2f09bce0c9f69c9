// Drives the real main window through its controls, with the dialogs, message boxes and the
// shell answered by the test, and play time let pass by the test.

// First: its builder has a local named like a Qt keyword macro.
#include "tests/support/WindowTest.h"

#include <QDropEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

#include <chrono>
#include <iostream>
#include <semaphore>

#include "app/AddWorker.h"
#include "app/PreviewPane.h"
#include "app/RunController.h"
#include "convert/HeadlessConverter.h"
#include "tests/support/SwfReader.h"

namespace brevanto::app {
namespace {

using namespace brevanto::testing;
using namespace std::chrono_literals;

// The stage of a movie in pixels.
QSize stageOf(const QString& movie) {
  const SwfFile swf = readSwfFile(movie.toStdString());
  return {swf.stageWidth, swf.stageHeight};
}

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, StartsWithItsCaptionAndDefaults) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Brevanto 2.3 "));
  EXPECT_EQ(box(*window, "path").text(), outputFolder());
  EXPECT_FALSE(box(*window, "path").isEnabled());
  EXPECT_EQ(choice(*window, "sizeMode").currentText(), QStringLiteral("Original Size"));
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("0"));
  EXPECT_FALSE(box(*window, "width").isEnabled());
  EXPECT_EQ(box(*window, "quality").text(), QStringLiteral("100"));
  EXPECT_EQ(box(*window, "frameRate").text(), QStringLiteral("10"));
  EXPECT_EQ(batch().progressText(), QStringLiteral("0%"));
  EXPECT_EQ(preview().frameCountText(), QStringLiteral("0"));
  EXPECT_EQ(itemTexts(choice(*window, "sizeMode")),
            (QStringList{"1/2 Original Size", "Original Size", "2x Original Size", "3x Original Size", "Custom"}));
  QStringList headers;
  for (int c = 0; c < 5; ++c) headers << list().headerItem()->text(c);
  EXPECT_EQ(headers, (QStringList{"No", "FileName", "Dimension", "Count", "FilePath"}));
  QStringList menu;
  for (QAction* a : batch().contextMenu().actions()) menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(menu, (QStringList{"Remove", "Remove All", "-", "Add Files", "Add Folder", "-", "Export", "-", "Convert",
                               "Convert All"}));
  QStringList exports;
  for (QAction* a : batch().contextMenu().actions().at(6)->menu()->actions()) exports << a->text();
  EXPECT_EQ(exports, (QStringList{"Single Image", "Bmp Sequence", "Tga Sequence", "Gif Sequence", "Jpg Sequence",
                                  "Png Sequence", "Tiff Sequence"}));
  // The menu's commands are the window's.
  batch().contextMenu().actions().at(9)->trigger();
  EXPECT_EQ(desktop.messages, QStringList{"Please select files.There are'n files in list"});
}

TEST_F(MainWindowTest, AddFilesListsRowsWhileTheWorkerRuns) {
  writeGif(gif("a.gif"), 3, 8, 6);
  writeGif(gif("b.gif"), 2, 4, 4);
  writeFile(gif("bad.gif").toStdString(), {'n', 'o', 't', ' ', 'a', ' ', 'G', 'I', 'F'});

  // The second file is held back until the test has seen the first row arrive.
  std::binary_semaphore gate(0);
  batch().setFileReader([&gate](const QString& path) {
    if (path.endsWith(QStringLiteral("b.gif"))) gate.acquire();
    return readFileFacts(path);
  });
  desktop.fileAnswers.push_back({gif("a.gif"), gif("b.gif"), gif("bad.gif"), gif("a.gif")});
  batch().addFiles();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list().rowCount() == 1; }, 5000));
  EXPECT_TRUE(window->addingFiles());
  EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(batch().fileCountText(), QStringLiteral("1"));
  gate.release();
  waitForAdds();
  EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"1", "2", "3", "4"}));
  EXPECT_EQ(column(BatchList::FileNameColumn), (QStringList{"a.gif", "b.gif", "bad.gif", "a.gif"}));
  EXPECT_EQ(column(BatchList::DimensionColumn), (QStringList{"8*6", "4*4", "0*0", "8*6"}));
  EXPECT_EQ(column(BatchList::CountColumn), (QStringList{"3", "2", "0", "3"}));
  EXPECT_EQ(column(BatchList::FilePathColumn), (QStringList{gif("a.gif"), gif("b.gif"), gif("bad.gif"), gif("a.gif")}));
  EXPECT_EQ(batch().fileCountText(), QStringLiteral("4"));

  // A cancelled dialog adds nothing; numbering goes on after Remove All.
  batch().addFiles();
  EXPECT_EQ(list().rowCount(), 4);
  batch().removeAll();
  batch().setFileReader(readFileFacts);
  addFiles({gif("b.gif")});
  EXPECT_EQ(column(BatchList::NumberColumn), QStringList{"5"});
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(MainWindowTest, OneAddStopsAtOneThousandFiles) {
  batch().setFileReader([](const QString&) { return FileFacts{2, 3, 1}; });
  QStringList names;
  for (int i = 0; i < 1001; ++i) names << QStringLiteral("/nowhere/%1.gif").arg(i);
  addFiles(names);
  EXPECT_EQ(list().rowCount(), 1000);
  EXPECT_EQ(list().entry(999).filePath, QStringLiteral("/nowhere/999.gif"));
  EXPECT_EQ(desktop.messages, QStringList{"selected file can't more than 1000!"});
}

TEST_F(MainWindowTest, AddFolderReplacesTheListWithTheFoldersGifs) {
  writeGif(gif("b.gif"), 2, 4, 4);
  writeGif(gif("a.GIF"), 1, 3, 5);
  QDir(dir.path()).mkpath(QStringLiteral("gifs/sub.gif"));
  QFile(gif("notes.txt")).open(QIODevice::WriteOnly);
  addFiles({gif("b.gif"), gif("b.gif")});

  desktop.folderAnswers.push_back(dir.path() + QStringLiteral("/gifs"));
  batch().addFolder();
  waitForAdds();
  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"1", "2"}));
  EXPECT_EQ(column(BatchList::FilePathColumn), (QStringList{gif("a.GIF"), gif("b.gif")}));
  EXPECT_EQ(column(BatchList::DimensionColumn), (QStringList{"3*5", "4*4"}));

  batch().addFolder();  // cancelled: nothing changes
  EXPECT_EQ(list().rowCount(), 2);

  desktop.folderAnswers.push_back(dir.path() + QStringLiteral("/gifs/sub.gif"));
  batch().addFolder();
  waitForAdds();
  EXPECT_EQ(list().rowCount(), 0);
  EXPECT_EQ(batch().fileCountText(), QStringLiteral("0"));
}

TEST_F(MainWindowTest, ClickingARowMakesItCurrentAndSizeModesFollowIt) {
  writeGif(gif("wide.gif"), 1, 101, 75);
  writeGif(gif("small.gif"), 1, 10, 20);

  chooseSizeMode(QStringLiteral("2x Original Size"));  // nothing current yet: 0 x 0
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("0"));

  addFiles({gif("wide.gif"), gif("small.gif")});
  clickRow(0);
  EXPECT_EQ(window->currentFile(), gif("wide.gif"));
  EXPECT_EQ(window->currentRow(), 0);
  EXPECT_EQ(choice(*window, "sizeMode").currentText(), QStringLiteral("Original Size"));
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("101"));
  EXPECT_EQ(box(*window, "height").text(), QStringLiteral("75"));

  chooseSizeMode(QStringLiteral("1/2 Original Size"));
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("50"));
  EXPECT_EQ(box(*window, "height").text(), QStringLiteral("37"));
  chooseSizeMode(QStringLiteral("3x Original Size"));
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("303"));
  EXPECT_FALSE(box(*window, "width").isEnabled());

  chooseSizeMode(QStringLiteral("Custom"));
  EXPECT_TRUE(box(*window, "width").isEnabled());
  EXPECT_TRUE(box(*window, "height").isEnabled());
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("303"));
  box(*window, "width").setText(QStringLiteral(" 640 "));
  chooseSizeMode(QStringLiteral("Custom"));
  EXPECT_EQ(window->settings().outputWidth, 640);

  // A preset after "Custom" sets the size but leaves the boxes editable; so does a new row.
  chooseSizeMode(QStringLiteral("Original Size"));
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("101"));
  EXPECT_TRUE(box(*window, "width").isEnabled());
  chooseSizeMode(QStringLiteral("Custom"));
  clickRow(1);
  EXPECT_EQ(window->currentFile(), gif("small.gif"));
  EXPECT_EQ(choice(*window, "sizeMode").currentText(), QStringLiteral("Original Size"));
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("10"));
  EXPECT_TRUE(box(*window, "height").isEnabled());
  EXPECT_TRUE(desktop.messages.isEmpty());

  // The arrow keys make the newly selected row current, whichever control has the focus.
  clickRow(0);
  list().setFocus();
  QTest::keyClick(&list(), Qt::Key_Down);
  EXPECT_EQ(window->currentFile(), gif("small.gif"));
  EXPECT_EQ(window->currentRow(), 1);
}

TEST_F(MainWindowTest, NumberBoxesMustHoldIntegers) {
  box(*window, "quality").setText(QStringLiteral("12x"));
  box(*window, "frameRate").setText(QStringLiteral(" +25\t"));
  chooseSizeMode(QStringLiteral("Custom"));
  ASSERT_EQ(desktop.messages, QStringList{"Please enter an integer."});
  EXPECT_TRUE(focused(*window, "quality"));
  // The fields before the bad one were read; the quality kept its value, which the size-mode
  // change writes back into the box.
  EXPECT_EQ(window->settings().frameRate, 25);
  EXPECT_EQ(window->settings().jpegQuality, 100);
  EXPECT_EQ(box(*window, "quality").text(), QStringLiteral("100"));

  // Exit reads the boxes: a bad box keeps the window open.
  box(*window, "width").setText(QStringLiteral("-0"));
  window->exitClicked();
  EXPECT_EQ(desktop.messages.size(), 2);
  EXPECT_TRUE(focused(*window, "width"));
  EXPECT_EQ(box(*window, "width").selectedText(), QStringLiteral("-0"));
  EXPECT_TRUE(window->isVisible());

  box(*window, "width").setText(QStringLiteral("0"));
  box(*window, "quality").setText(QStringLiteral("500"));
  window->exitClicked();
  EXPECT_EQ(desktop.messages.size(), 2);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, EnterAndEscapeDoNotCloseTheWindow) {
  auto* box = panel().findChildren<QLineEdit*>().at(3);  // any box of the settings
  QSignalSpy returnPressed(box, &QLineEdit::returnPressed);
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Return);
  QTest::keyClick(box, Qt::Key_Enter);
  QTest::keyClick(box, Qt::Key_Escape);
  QTest::keyClick(&list(), Qt::Key_Escape);
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_EQ(returnPressed.count(), 0);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(desktop.messages.isEmpty());
  EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(MainWindowTest, MoveAndRemoveRowsWithTheirMessages) {
  batch().moveUp();
  batch().moveDown();
  EXPECT_EQ(desktop.messages, (QStringList{"There is no rows!", "There is no rows!"}));
  desktop.messages.clear();

  batch().setFileReader([](const QString&) { return FileFacts{1, 1, 1}; });
  addFiles({"/x/a.gif", "/x/b.gif", "/x/c.gif"});
  // Nothing clicked yet: row 0 is current.
  batch().moveUp();
  EXPECT_EQ(desktop.messages, QStringList{"It's the first row!"});
  batch().moveDown();
  EXPECT_EQ(column(BatchList::FileNameColumn), (QStringList{"b.gif", "a.gif", "c.gif"}));
  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"2", "1", "3"}));
  EXPECT_EQ(window->currentRow(), 1);
  batch().moveDown();
  EXPECT_EQ(window->currentRow(), 2);
  batch().moveDown();
  EXPECT_EQ(desktop.messages, (QStringList{"It's the first row!", "It's the last row!"}));
  EXPECT_EQ(column(BatchList::FileNameColumn), (QStringList{"b.gif", "c.gif", "a.gif"}));

  // Remove deletes every selected row; the current file stays as it was.
  clickRow(0);
  list().topLevelItem(2)->setSelected(true);
  batch().removeSelected();
  EXPECT_EQ(column(BatchList::FileNameColumn), QStringList{"c.gif"});
  EXPECT_EQ(batch().fileCountText(), QStringLiteral("1"));
  EXPECT_EQ(window->currentFile(), QStringLiteral("/x/b.gif"));
  batch().removeAll();
  EXPECT_EQ(list().rowCount(), 0);
  EXPECT_EQ(batch().fileCountText(), QStringLiteral("0"));
  EXPECT_EQ(preview().frameCountText(), QStringLiteral("0"));
}

TEST_F(MainWindowTest, PlayRunsToTheEndOfTheFile) {
  window->play();
  EXPECT_EQ(desktop.messages, QStringList{"Please select a file!!!"});
  window->pause();  // no file: nothing happens
  EXPECT_EQ(desktop.messages.size(), 1);

  addGifs({"three.gif"}, 3, 8, 6);
  clickRow(0);
  window->play();
  EXPECT_FALSE(preview().isPlayEnabled());
  EXPECT_TRUE(preview().isPauseEnabled());
  EXPECT_EQ(preview().frameCountText(), QStringLiteral("/3"));
  clock.advance(200ms);  // frames 0 and 1 have had their time: the last one is shown, then play ends
  bool sawLastFrame = false;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        sawLastFrame =
            sawLastFrame || preview().frameText() == QStringLiteral("2") || window->player().currentFrame() == 2;
        return preview().isPlayEnabled();
      },
      5000));
  EXPECT_TRUE(sawLastFrame);
  EXPECT_FALSE(preview().isPauseEnabled());
  EXPECT_FALSE(window->isPlaying());

  // The pane shows frame 0 (red) stretched over the whole pane.
  previewPane(*window).grab();
  const QImage painted = previewPane(*window).lastPainted();
  ASSERT_FALSE(painted.isNull());
  EXPECT_EQ(painted.size(), previewPane(*window).contentsRect().size());
  EXPECT_EQ(QColor(painted.pixel(0, 0)), QColor(Qt::red));
  EXPECT_EQ(QColor(painted.pixel(painted.width() - 1, painted.height() - 1)), QColor(Qt::red));
}

TEST_F(MainWindowTest, AFileWithFewerFramesAfterPauseStartsWithinItsFrames) {
  writeGif(gif("short.gif"), 2, 8, 6, 30);
  addGifs({"long.gif"}, 6, 8, 6, 30);
  addFiles({gif("short.gif")});
  clickRow(0);
  window->play();
  clock.advance(900ms);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->player().currentFrame() == 3; }, 5000));
  window->pause();

  clickRow(1);
  window->play();
  EXPECT_EQ(preview().frameCountText(), QStringLiteral("/2"));
  EXPECT_LT(window->player().currentFrame(), window->player().frameCount());
  previewPane(*window).grab();
  EXPECT_FALSE(previewPane(*window).lastPainted().isNull());
  window->pause();
}

TEST_F(MainWindowTest, ConvertWritesTheSameMovieAsTheHeadlessConverter) {
  window->convert();
  EXPECT_EQ(desktop.messages, QStringList{"Please select files.There are'n files in list"});
  EXPECT_EQ(desktop.icons.back(), MessageIcon::Exclamation);

  writeGif(gif("anim.gif"), 3, 12, 8);
  writeGif(gif("other.gif"), 2, 5, 5);
  addFiles({gif("anim.gif"), gif("other.gif"), gif("other.gif"), gif("other.gif")});
  window->convert();
  EXPECT_EQ(desktop.messages.back(), QStringLiteral("Please select the file you want to convert"));

  clickRow(0);
  box(*window, "quality").setText(QStringLiteral("80"));
  box(*window, "frameRate").setText(QStringLiteral("12"));
  window->convert();
  EXPECT_TRUE(window->isConverting());
  waitForRunEnd();
  const QString movie = outputFolder() + QStringLiteral("anim.swf");
  EXPECT_EQ(desktop.opened, QStringList{movie});
  EXPECT_EQ(batch().progressText(), QStringLiteral("25%"));  // Convert counts as the first of four
  EXPECT_FALSE(window->isConverting());
  EXPECT_FALSE(window->runner().playbackTimerActive());
  EXPECT_TRUE(!window->commandsLocked());
  EXPECT_TRUE(!batch().isLocked());
  EXPECT_TRUE(captureFolderEmpty());

  EXPECT_EQ(stageOf(movie), QSize(12, 8));
  const QString headless = dir.path() + QStringLiteral("/headless/");
  convertHeadless(headless, {"-q", "80", "-r", "12", "-j", "1", gif("anim.gif")});
  expectSameMovie(headless, QStringLiteral("anim.swf"));
}

TEST_F(MainWindowTest, ConvertAllAppliesTheSizeModeToEachFileAndOpensTheFolder) {
  writeGif(gif("a.gif"), 2, 8, 6, 30);
  writeGif(gif("b.gif"), 1, 10, 4);
  writeGif(gif("c.gif"), 2, 5, 5);
  addFiles({gif("a.gif"), gif("b.gif"), gif("c.gif")});
  clickRow(0);
  chooseSizeMode(QStringLiteral("2x Original Size"));

  std::vector<int> percentages;
  QObject::connect(&batch(), &BatchPanel::progressChanged, [&](int value) {
    if (percentages.empty() || percentages.back() != value) percentages.push_back(value);
  });
  window->convertAll();
  EXPECT_TRUE(window->isConvertAll());
  // The first tick locks the controls.
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->commandsLocked(); }, 1000));
  waitForRunEnd();

  EXPECT_EQ(desktop.opened, QStringList{outputFolder()});
  EXPECT_EQ(percentages, (std::vector<int>{33, 66, 100}));
  EXPECT_FALSE(window->isConvertAll());
  EXPECT_TRUE(!window->commandsLocked());
  EXPECT_TRUE(list().topLevelItem(2)->isSelected());
  EXPECT_EQ(window->currentFile(), gif("c.gif"));
  EXPECT_EQ(stageOf(outputFolder() + "a.swf"), QSize(16, 12));
  EXPECT_EQ(stageOf(outputFolder() + "b.swf"), QSize(20, 8));
  EXPECT_EQ(stageOf(outputFolder() + "c.swf"), QSize(10, 10));
  EXPECT_TRUE(desktop.messages.isEmpty());

  // "Custom" gives every movie the custom size.
  desktop.opened.clear();
  chooseSizeMode(QStringLiteral("Custom"));
  box(*window, "width").setText(QStringLiteral("30"));
  box(*window, "height").setText(QStringLiteral("20"));
  window->convertAll();
  waitForRunEnd();
  EXPECT_EQ(desktop.opened, QStringList{outputFolder()});
  for (const char* name : {"a.swf", "b.swf", "c.swf"}) EXPECT_EQ(stageOf(outputFolder() + name), QSize(30, 20)) << name;
}

TEST_F(MainWindowTest, AMovieThatCannotBeWrittenIsReportedAndConvertAllGoesOn) {
  // A non-empty folder where b's movie belongs cannot be replaced by the movie.
  QDir(outputFolder()).mkpath(QStringLiteral("b.swf"));
  QFile(outputFolder() + QStringLiteral("b.swf/keep")).open(QIODevice::WriteOnly);
  addGifs({"a.gif", "b.gif", "c.gif"}, 2, 8, 6);
  window->convertAll();
  waitForRunEnd();

  ASSERT_EQ(desktop.messages.size(), 1);
  EXPECT_TRUE(desktop.messages[0].contains(outputFolder() + QStringLiteral("b.swf")))
      << desktop.messages[0].toStdString();
  EXPECT_EQ(desktop.icons[0], MessageIcon::Exclamation);
  EXPECT_EQ(desktop.opened, QStringList{outputFolder()});
  expectMovies({"a.swf", "c.swf"});

  // A single Convert of the same file reports it too and opens nothing.
  desktop.opened.clear();
  clickRow(1);
  window->convert();
  waitForRunEnd();
  EXPECT_EQ(desktop.messages.size(), 2);
  EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(MainWindowTest, ConvertAllCreatesAnOutputFolderThatDoesNotExistYet) {
  // The per-user start folder may not exist before the first conversion.
  addGifs({"a.gif"}, 2, 8, 6);
  const QString fresh = dir.path() + QStringLiteral("/new/deeper");
  desktop.folderAnswers.push_back(fresh);
  panel().browse();
  window->convertAll();
  waitForRunEnd();
  EXPECT_EQ(desktop.messages, QStringList());
  EXPECT_EQ(desktop.opened, QStringList{fresh + QStringLiteral("/")});
  EXPECT_FALSE(readAll(fresh + QStringLiteral("/a.swf")).isEmpty());

  // So does Full speed.
  desktop.opened.clear();
  desktop.folderAnswers.push_back(fresh + QStringLiteral("2"));
  panel().browse();
  window->setFullSpeed(true);
  window->convertAll();
  waitForRunEnd();
  EXPECT_EQ(desktop.messages, QStringList());
  EXPECT_EQ(desktop.opened, QStringList{fresh + QStringLiteral("2/")});
  EXPECT_FALSE(readAll(fresh + QStringLiteral("2/a.swf")).isEmpty());
}

// A rate whose low 8 bits are 0 would be stored as 0 frames a second: Convert and Convert All,
// real-time and full speed, refuse it and write nothing. 300 is stored as 44.
TEST_F(MainWindowTest, FrameRatesStoredAsZeroAreRefusedAndOthersKeepTheirLowBits) {
  addGifs({"a.gif"}, 2, 8, 6);
  clickRow(0);
  const QString movie = outputFolder() + QStringLiteral("a.swf");
  for (const bool fullSpeed : {false, true}) {
    window->setFullSpeed(fullSpeed);
    for (const QString& rate : {QStringLiteral("0"), QStringLiteral("256")}) {
      box(*window, "frameRate").setText(rate);
      desktop.messages.clear();
      window->convert();
      window->convertAll();
      EXPECT_FALSE(window->isRunning());
      ASSERT_EQ(desktop.messages.size(), 2) << rate.toStdString();
      for (const QString& message : desktop.messages) {
        EXPECT_TRUE(message.contains(QStringLiteral("from 1 to 255, not %1:").arg(rate))) << message.toStdString();
      }
      EXPECT_TRUE(focused(*window, "frameRate"));
    }
  }
  clock.run();
  QTest::qWait(300);
  EXPECT_FALSE(QFile::exists(movie));
  EXPECT_TRUE(desktop.opened.isEmpty());

  box(*window, "frameRate").setText(QStringLiteral("300"));
  window->convert();
  waitForRunEnd();
  EXPECT_EQ(readSwfFile(movie.toStdString()).frameRate, 44 << 8);
  EXPECT_EQ(desktop.messages.size(), 2);
}

TEST_F(MainWindowTest, OutputFolderBrowseAndHelp) {
  desktop.folderAnswers.push_back(dir.path() + QStringLiteral("/movies"));
  panel().browse();
  EXPECT_EQ(box(*window, "path").text(), dir.path() + QStringLiteral("/movies/"));
  EXPECT_EQ(window->settings().outputFolder, (dir.path() + QStringLiteral("/movies/")).toStdString());
  panel().browse();  // cancelled: the folder stays
  EXPECT_EQ(box(*window, "path").text(), dir.path() + QStringLiteral("/movies/"));

  // Help opens the manual beside the program, else the installed one; without either the
  // message says where it belongs.
  window->showHelp();
  EXPECT_TRUE(desktop.opened.isEmpty());
  ASSERT_EQ(desktop.messages.size(), 1);
  EXPECT_TRUE(desktop.messages[0].contains(outputFolder() + QStringLiteral("manual.html")));
  EXPECT_TRUE(desktop.messages[0].contains(dir.path() + QStringLiteral("/share/doc/brevanto/manual.html")));
  QDir(dir.path()).mkpath(QStringLiteral("share/doc/brevanto"));
  QFile(dir.path() + QStringLiteral("/share/doc/brevanto/manual.html")).open(QIODevice::WriteOnly);
  window->showHelp();
  EXPECT_EQ(desktop.opened, QStringList{dir.path() + QStringLiteral("/share/doc/brevanto/manual.html")});
  QFile(outputFolder() + QStringLiteral("manual.html")).open(QIODevice::WriteOnly);
  window->showHelp();
  EXPECT_EQ(desktop.opened.back(), outputFolder() + QStringLiteral("manual.html"));
  EXPECT_EQ(desktop.openModes.back(), ShowMode::Maximised);
  EXPECT_EQ(desktop.messages.size(), 1);
}

// A GIF the list cannot decode (a 60000 x 60000 screen with a 1x1 frame) is listed as 0*0; a
// refusal still names its real size, in the converter's words, whichever way it is converted.
TEST_F(MainWindowTest, ARefusedHugeScreenIsReportedWithItsRealSize) {
  const QString path = gif(QStringLiteral("huge.gif"));
  testing::GifBuilder huge(60000, 60000);
  huge.image(0, 0, 1, 1, std::uint8_t{1}).trailer();
  testing::writeFile(path.toStdString(), huge.bytes());
  addFiles({path});
  clickRow(0);
  convert::OutputSettings settings;
  settings.outputFolder = outputFolder().toStdString();
  const auto converter = convert::convertFile(path.toStdString(), settings, 1);
  ASSERT_FALSE(converter.ok());
  const QString reason = QString::fromStdString(converter.error().reason);
  ASSERT_TRUE(reason.contains(QStringLiteral("60000 x 60000"))) << reason.toStdString();

  for (const bool fullSpeed : {false, true}) {
    window->setFullSpeed(fullSpeed);
    desktop.messages.clear();
    window->convert();
    waitForRunEnd();
    window->convertAll();
    waitForRunEnd();
    ASSERT_EQ(desktop.messages.size(), 2) << fullSpeed;
    for (const QString& message : desktop.messages) EXPECT_TRUE(message.contains(reason)) << message.toStdString();
  }
  EXPECT_FALSE(QFile::exists(outputFolder() + QStringLiteral("huge.swf")));
}

// Help runs the desktop's launcher and hears when the viewer it starts fails: the message names
// the manual, so the user can open it.
TEST_F(MainWindowTest, HelpNamesTheManualWhenTheDesktopsLauncherFails) {
  const QString bin = dir.path() + QStringLiteral("/bin");
  const QString launched = bin + QStringLiteral("/launched");
  const QString status = bin + QStringLiteral("/status");
  QDir().mkpath(bin);
  QFile script(bin + QStringLiteral("/xdg-open"));
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(QStringLiteral("#!/bin/sh\necho \"$1\" >>'%1'\nexit $(cat '%2')\n").arg(launched, status).toUtf8());
  script.close();
  script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
  auto setStatus = [&](const char* code) {
    QFile file(status);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(code);
  };
  struct PathGuard {
    QByteArray saved = qgetenv("PATH");
    ~PathGuard() { qputenv("PATH", saved); }
  } path;
  qputenv("PATH", bin.toUtf8() + ':' + path.saved);
  const QString manual = outputFolder() + QStringLiteral("manual.html");
  QFile(manual).open(QIODevice::WriteOnly);
  window = std::make_unique<MainWindow>(Services{&desktop, &desktop, desktopServices().shell}, outputFolder());

  setStatus("4");
  window->showHelp();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.messages.isEmpty(); }, 5000));
  EXPECT_TRUE(desktop.messages[0].contains(QStringLiteral("\"%1\"").arg(manual))) << desktop.messages[0].toStdString();
  EXPECT_EQ(readAll(launched), (manual + QStringLiteral("\n")).toUtf8());

  setStatus("0");
  window->showHelp();
  ASSERT_TRUE(QTest::qWaitFor([&] { return readAll(launched).count('\n') == 2; }, 5000));
  QTest::qWait(200);
  EXPECT_EQ(desktop.messages.size(), 1);
}

// ---------------------------------------------------------------------------------------------
// A run cannot be made to skip a file; it can be stopped; its end is visible.

using WindowRunTest = WindowTest;

TEST_F(WindowRunTest, ArrowKeysClicksAndPlayDuringConvertAllLoseNoFile) {
  addGifs({"a.gif", "b.gif", "c.gif"}, 3, 8, 6, 20);
  window->convertAll();
  clock.advance(600ms);  // a's three frames: b starts and stays at its first frame
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->currentFile() == gif("b.gif") && window->isConverting(); }, 10000));
  EXPECT_FALSE(preview().isPlayEnabled());
  EXPECT_FALSE(preview().isPauseEnabled());
  EXPECT_TRUE(window->stopAvailable());
  list().setFocus();
  QTest::keyClick(&list(), Qt::Key_Down);
  clickRow(2);
  clickRow(0);
  window->play();  // disabled while a run goes on: does nothing
  window->pause();
  EXPECT_EQ(window->currentFile(), gif("b.gif"));
  waitForRunEnd();
  EXPECT_EQ(desktop.opened, QStringList{outputFolder()});
  expectMovies({"a.swf", "b.swf", "c.swf"});
  EXPECT_EQ(desktop.messages, QStringList());
  EXPECT_TRUE(preview().isPlayEnabled());
  EXPECT_FALSE(window->stopAvailable());
}

// Add Folder would replace the list the run walks: it is locked for the run. ADD Gif(s) appends,
// and the run converts the rows it adds.
TEST_F(WindowRunTest, AddFolderIsLockedDuringARunAndAddedFilesAreConverted) {
  writeGif(gif("d.gif"), 3, 8, 6, 20);
  QDir(dir.path()).mkpath(QStringLiteral("other"));
  for (const char* name : {"x.gif", "y.gif"}) writeGif(dir.path() + QStringLiteral("/other/") + name, 2, 4, 4);
  addGifs({"a.gif", "b.gif", "c.gif"}, 3, 8, 6, 20);
  QPushButton* addFolderButton = nullptr;
  for (auto* button : batch().findChildren<QPushButton*>()) {
    if (button->text() == QStringLiteral("Add Folder")) addFolderButton = button;
  }
  ASSERT_NE(addFolderButton, nullptr);
  QAction* addFolderItem = batch().contextMenu().actions().at(4);
  ASSERT_EQ(addFolderItem->text(), QStringLiteral("Add Folder"));

  window->convertAll();
  ASSERT_TRUE(window->isConverting());
  EXPECT_FALSE(addFolderButton->isEnabled());
  EXPECT_FALSE(addFolderItem->isEnabled());
  desktop.folderAnswers.push_back(dir.path() + QStringLiteral("/other"));
  batch().addFolder();
  EXPECT_EQ(desktop.folderAnswers.size(), 1u);  // no dialog was opened
  addFiles({gif("d.gif")});  // while the run is still at a's first frame
  waitForRunEnd(30000);

  EXPECT_EQ(column(4), (QStringList{gif("a.gif"), gif("b.gif"), gif("c.gif"), gif("d.gif")}));
  expectMovies({"a.swf", "b.swf", "c.swf", "d.swf"});
  EXPECT_EQ(desktop.messages, QStringList());
  EXPECT_TRUE(addFolderButton->isEnabled());
  EXPECT_TRUE(addFolderItem->isEnabled());
  batch().addFolder();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->addingFiles() && list().rowCount() == 2; }, 10000));
}

TEST_F(WindowRunTest, PlayDuringConvertDoesNotStallItAndARefusedMovieOpensTheFolder) {
  addGifs({"a.gif"}, 4, 8, 6, 20);
  clickRow(0);
  const QString movie = outputFolder() + QStringLiteral("a.swf");
  desktop.refused << movie;
  window->convert();
  window->play();
  window->pause();
  clickRow(0);
  waitForRunEnd();
  EXPECT_EQ(desktop.opened, (QStringList{movie, outputFolder()}));
  EXPECT_FALSE(readAll(movie).isEmpty());
  EXPECT_FALSE(window->commandsLocked());
  EXPECT_TRUE(captureFolderEmpty());
}

TEST_F(WindowRunTest, StopAndClosingMidRunLeaveNoCaptureFilesNoPartialMovieAndKeepOldMovies) {
  writeFile((outputFolder() + QStringLiteral("c.swf")).toStdString(), {'o', 'l', 'd'});
  addGifs({"a.gif", "b.gif", "c.gif"}, 10, 8, 6, 20);

  window->convertAll();
  clock.advance(2000ms);  // a's ten frames: b starts and stays at its first frame
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->currentFile() == gif("b.gif") && !captureFolderEmpty(); }, 10000));
  window->stop();
  EXPECT_FALSE(window->isRunning());
  EXPECT_FALSE(window->commandsLocked());
  EXPECT_FALSE(batch().isLocked());
  EXPECT_TRUE(preview().isPlayEnabled());
  clock.advance(1000ms);  // half of b's play time: no timer or frame of the stopped run writes anything
  QTest::qWait(300);
  EXPECT_TRUE(captureFolderEmpty());
  EXPECT_FALSE(readAll(outputFolder() + "a.swf").isEmpty());
  EXPECT_FALSE(QFile::exists(outputFolder() + "b.swf"));
  EXPECT_EQ(readAll(outputFolder() + "c.swf"), QByteArray("old"));
  EXPECT_TRUE(desktop.opened.isEmpty());

  // Closing the window during a Convert stops it the same way (b plays its first five frames).
  clickRow(1);
  window->convert();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->player().currentFrame() == 5 && !captureFolderEmpty(); }, 10000));
  window->close();
  EXPECT_FALSE(window->isRunning());
  QTest::qWait(300);
  EXPECT_TRUE(captureFolderEmpty());
  EXPECT_FALSE(QFile::exists(outputFolder() + "b.swf"));
  EXPECT_EQ(QDir(outputFolder()).entryList(QDir::Files), (QStringList{"a.swf", "c.swf"}));
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(WindowRunTest, FullSpeedWritesTheHeadlessConvertersMoviesAndLocksLikeARun) {
  EXPECT_FALSE(window->fullSpeed());
  QStringList paths;
  for (int i = 0; i < 4; ++i) {
    paths << gif(QStringLiteral("f%1.gif").arg(i));
    writeGif(paths.back(), 5 + i, 9 + i, 7, 50);  // 2.5 s to 4 s of play each
  }
  addFiles(paths);
  box(*window, "quality").setText(QStringLiteral("80"));
  box(*window, "frameRate").setText(QStringLiteral("12"));
  chooseSizeMode(QStringLiteral("2x Original Size"));
  std::vector<int> percentages;
  QObject::connect(&batch(), &BatchPanel::progressChanged, [&](int value) { percentages.push_back(value); });
  window->setFullSpeed(true);
  QElapsedTimer clock;
  clock.start();
  window->convertAll();
  EXPECT_TRUE(window->isRunning());
  EXPECT_TRUE(window->commandsLocked());
  EXPECT_TRUE(batch().isLocked());
  EXPECT_FALSE(preview().isPlayEnabled());
  waitForRunEnd();
  std::cout << "Full speed Convert All of 4 GIFs (14 s of play): " << clock.elapsed() << " ms\n";
  EXPECT_EQ(desktop.opened, QStringList{outputFolder()});
  EXPECT_EQ(percentages.back(), 100);
  EXPECT_FALSE(window->commandsLocked());
  EXPECT_TRUE(preview().isPlayEnabled());
  EXPECT_EQ(desktop.messages, QStringList());
  // The size boxes show the stage of the file started last (12x7 at 2x), as in a real-time run.
  EXPECT_EQ(box(*window, "width").text(), QStringLiteral("24"));
  EXPECT_EQ(box(*window, "height").text(), QStringLiteral("14"));

  const QString headless = dir.path() + QStringLiteral("/headless/");
  convertHeadless(headless, QStringList{"-q", "80", "-r", "12", "-s", "2x"} + paths);
  for (int i = 0; i < 4; ++i) expectSameMovie(headless, QStringLiteral("f%1.swf").arg(i));

  // Convert at full speed writes the movie the real-time Convert writes, and opens it.
  desktop.opened.clear();
  clickRow(1);
  window->convert();
  waitForRunEnd();
  EXPECT_EQ(desktop.opened, QStringList{outputFolder() + QStringLiteral("f1.swf")});
  const QByteArray fast = readAll(outputFolder() + QStringLiteral("f1.swf"));
  window->setFullSpeed(false);
  window->convert();
  waitForRunEnd();
  EXPECT_EQ(readAll(outputFolder() + QStringLiteral("f1.swf")), fast);

  // Stop at full speed: the files in progress finish, no further one starts, nothing is opened.
  desktop.opened.clear();
  window->setFullSpeed(true);
  window->convertAll();
  window->stop();
  EXPECT_FALSE(window->isRunning());
  EXPECT_FALSE(window->commandsLocked());
  QTest::qWait(200);
  EXPECT_TRUE(desktop.opened.isEmpty());
  EXPECT_TRUE(desktop.messages.isEmpty());
}

// Lossless movies from the window (real-time Convert and Convert All) are the converter's:
// changed rectangles at 1x, whole shrunk pictures at half size, the stop of a GIF without a
// looping extension with "As the GIF".
TEST_F(WindowRunTest, LosslessConvertAndConvertAllWriteTheConvertersMovies) {
  EXPECT_EQ(choice(*window, "pictures").currentText(), QStringLiteral("JPEG"));
  EXPECT_EQ(choice(*window, "loop").currentText(), QStringLiteral("Forever"));
  EXPECT_TRUE(box(*window, "quality").isEnabled());
  testing::GifBuilder moving(12, 8);  // no looping extension
  moving.frame(20, 12, 8, 1);
  moving.control({.delay = 20}).image(3, 2, 4, 3, 2);
  moving.control({.delay = 20}).image(3, 2, 4, 3, 2);  // the same picture again
  moving.control({.delay = 30}).image(0, 5, 2, 3, 3).trailer();
  writeFile(gif("moving.gif").toStdString(), moving.bytes());
  writeGif(gif("plain.gif"), 3, 10, 6);
  addFiles({gif("moving.gif"), gif("plain.gif")});
  panel().choosePictures(convert::PictureKind::Lossless);
  panel().chooseLoop(convert::LoopMode::AsGif);
  EXPECT_FALSE(box(*window, "quality").isEnabled());

  const auto converterMovies = [&](const QString& folder, const QStringList& extra) {
    convertHeadless(folder, QStringList{"--pictures", "lossless", "--loop", "gif", "-q", "5"} + extra +
                                QStringList{gif("moving.gif"), gif("plain.gif")});
  };
  clickRow(0);
  window->convert();
  waitForRunEnd();
  const QString original = dir.path() + QStringLiteral("/original/");
  converterMovies(original, {});
  EXPECT_TRUE(readAll(outputFolder() + "moving.swf").contains(QByteArray::fromHex("02030700")));  // DoAction, ActionStop
  expectSameMovie(original, QStringLiteral("moving.swf"));

  chooseSizeMode(QStringLiteral("1/2 Original Size"));
  window->convertAll();
  waitForRunEnd();
  const QString half = dir.path() + QStringLiteral("/half/");
  converterMovies(half, {"-s", "half"});
  for (const char* name : {"moving.swf", "plain.swf"}) expectSameMovie(half, name);
  EXPECT_TRUE(captureFolderEmpty());
  EXPECT_EQ(desktop.messages, QStringList());
}

// "As the GIF" timing from the window: the frame-rate box is off, and Convert, Convert All and
// Full speed write the converter's movies (the GIF's own rate, its passes, a one-frame movie).
TEST_F(WindowRunTest, AsTheGifTimingWritesTheConvertersMoviesAndNamesTheRate) {
  EXPECT_EQ(choice(*window, "timing").currentText(), QStringLiteral("100 ms steps"));
  testing::GifBuilder fast(6, 4);  // 33.33 fps, played twice
  fast.loop(1);
  for (int i = 0; i < 4; ++i) fast.frame(3, 6, 4, static_cast<std::uint8_t>(1 + i % 3));
  fast.trailer();
  writeFile(gif("fast.gif").toStdString(), fast.bytes());
  writeGif(gif("still.gif"), 1, 5, 5);
  addFiles({gif("fast.gif"), gif("still.gif")});
  panel().chooseTiming(convert::Timing::AsGif);
  panel().chooseLoop(convert::LoopMode::AsGif);
  EXPECT_FALSE(box(*window, "frameRate").isEnabled());

  const QString headless = dir.path() + QStringLiteral("/headless/");
  const QByteArray said =
      convertHeadless(headless, {"--timing", "gif", "--loop", "gif", gif("fast.gif"), gif("still.gif")});
  if (converted) {
    EXPECT_TRUE(said.contains("(4 frames at 33.33 fps, played 2 times)")) << said.toStdString();
  }
  clickRow(0);
  window->convert();
  waitForRunEnd();
  EXPECT_EQ(window->lastMovieText(), QStringLiteral("fast.swf: 4 frames at 33.33 fps, played 2 times"));
  expectSameMovie(headless, QStringLiteral("fast.swf"));
  for (const bool fullSpeed : {false, true}) {
    SCOPED_TRACE(fullSpeed ? "full speed" : "real time");
    for (const char* name : {"fast.swf", "still.swf"}) QFile::remove(outputFolder() + name);
    window->setFullSpeed(fullSpeed);
    window->convertAll();
    waitForRunEnd();
    for (const char* name : {"fast.swf", "still.swf"}) expectSameMovie(headless, name);
  }
  EXPECT_EQ(readSwfFile((outputFolder() + "still.swf").toStdString()).frameCount, 1);
  EXPECT_EQ(desktop.messages, QStringList());
  panel().chooseTiming(convert::Timing::Steps);
  EXPECT_TRUE(box(*window, "frameRate").isEnabled());
}

// ---------------------------------------------------------------------------------------------
// Files in: drag and drop, start-up arguments, keys.

class WindowInputTest : public MainWindowTest {
 protected:
  // Drops local paths on the list as a file manager does; returns whether the drop was taken.
  bool drop(const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    const QPoint at = list().viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list().viewport(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list().viewport(), &dropped);
    return dropped.isAccepted();
  }
};

TEST_F(WindowInputTest, DroppedGifsAndFoldersAreAddedInOrderAndOtherFilesCounted) {
  writeGif(gif("one.gif"), 2, 4, 4);
  QDir(dir.path()).mkpath(QStringLiteral("folder"));
  writeGif(dir.path() + QStringLiteral("/folder/b.gif"), 1, 3, 3);
  writeGif(dir.path() + QStringLiteral("/folder/a.GIF"), 3, 5, 5);
  QFile(dir.path() + QStringLiteral("/folder/skip.png")).open(QIODevice::WriteOnly);
  QFile(gif("notes.txt")).open(QIODevice::WriteOnly);
  addFiles({gif("one.gif")});

  ASSERT_TRUE(drop({gif("notes.txt"), dir.path() + QStringLiteral("/folder"), gif("one.gif"),
                    dir.path() + QStringLiteral("/missing.gif")}));
  waitForAdds();
  EXPECT_EQ(column(BatchList::FileNameColumn), (QStringList{"one.gif", "a.GIF", "b.gif", "one.gif"}));
  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"1", "2", "3", "4"}));
  EXPECT_EQ(column(BatchList::DimensionColumn), (QStringList{"4*4", "5*5", "3*3", "4*4"}));
  EXPECT_EQ(desktop.messages, QStringList{"2 files were not added: only GIF files and folders can be added."});

  // Start-up arguments take the same way; a relative path counts from the working folder.
  desktop.messages.clear();
  const QString working = QDir::currentPath();
  QDir::setCurrent(dir.path() + QStringLiteral("/gifs"));
  window->addStartupPaths({QStringLiteral("one.gif"), QStringLiteral("notes.txt")});
  QDir::setCurrent(working);
  waitForAdds();
  EXPECT_EQ(list().entry(4).filePath, gif("one.gif"));
  EXPECT_EQ(desktop.messages, QStringList{"1 file was not added: only GIF files and folders can be added."});
}

TEST_F(WindowInputTest, OneDropStopsAtOneThousandFiles) {
  batch().setFileReader([](const QString&) { return FileFacts{2, 3, 1}; });
  QDir(dir.path()).mkpath(QStringLiteral("many"));
  for (int i = 0; i < 1001; ++i) {
    QFile(dir.path() + QStringLiteral("/many/%1.gif").arg(i, 4, 10, QLatin1Char('0'))).open(QIODevice::WriteOnly);
  }
  ASSERT_TRUE(drop({dir.path() + QStringLiteral("/many")}));
  waitForAdds();
  EXPECT_EQ(list().rowCount(), 1000);
  EXPECT_EQ(list().topLevelItem(999)->text(BatchList::FileNameColumn), QStringLiteral("0999.gif"));
  EXPECT_EQ(desktop.messages, QStringList{"selected files can't more than 1000!"});
}

TEST_F(WindowInputTest, DeleteRemovesTheSelectionAndCtrlOAddsFiles) {
  writeGif(gif("a.gif"), 2, 4, 4);
  list().setFocus();
  desktop.fileAnswers.push_back({gif("a.gif"), gif("a.gif"), gif("a.gif")});
  QTest::keyClick(&list(), Qt::Key_O, Qt::ControlModifier);
  waitForAdds();
  ASSERT_EQ(list().rowCount(), 3);
  clickRow(1);
  QTest::keyClick(&list(), Qt::Key_Delete);
  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"1", "3"}));
  EXPECT_EQ(batch().fileCountText(), QStringLiteral("2"));
  // In a number box Delete edits the text.
  auto* box = panel().findChildren<QLineEdit*>().at(3);
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Delete);
  EXPECT_EQ(list().rowCount(), 2);
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST(InitialOutputFolder, IsTheProgramFolderOnlyWhenItIsWritable) {
  QTemporaryDir writable;
  const QString folder = writable.path() + QStringLiteral("/");
  EXPECT_EQ(MainWindow::initialOutputFolder(folder), folder);
  EXPECT_TRUE(QDir(writable.path()).isEmpty());  // the write test leaves nothing behind
  const QString fallback = MainWindow::initialOutputFolder(QStringLiteral("/proc/"));
  EXPECT_TRUE(fallback.endsWith(QStringLiteral("/Brevanto/"))) << fallback.toStdString();
  EXPECT_TRUE(fallback.startsWith(QDir::homePath())) << fallback.toStdString();
}

}  // namespace
}  // namespace brevanto::app
