// Drives the real main window through its controls, with the dialogs, message boxes and the
// shell answered by the test.

// First: its builder has a local named like a Qt keyword macro.
#include "tests/support/GifBuilder.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <semaphore>

#include "app/AddWorker.h"
#include "app/BatchList.h"
#include "app/MainWindow.h"
#include "app/PreviewPane.h"
#include "convert/HeadlessConverter.h"

namespace brevanto::app {
namespace {

class FakeDesktop final : public DialogService, public MessageService, public ShellService {
 public:
  std::deque<QStringList> fileAnswers;  // one entry per open-file dialog; none = cancel
  std::deque<QString> folderAnswers;    // one entry per folder dialog; none = cancel
  QStringList messages;
  std::vector<MessageIcon> icons;
  QStringList opened;
  std::vector<ShowMode> openModes;

  Services services() { return {this, this, this}; }

  QStringList openFiles(QWidget*, const QString&) override { return take(fileAnswers); }
  QString chooseFolder(QWidget*, const QString&) override { return take(folderAnswers); }
  SaveChoice saveFile(QWidget*, const QStringList&) override { return {}; }
  void show(QWidget*, const QString& text, MessageIcon icon) override {
    messages << text;
    icons.push_back(icon);
  }
  bool openPath(const QString& path, ShowMode mode) override {
    opened << path;
    openModes.push_back(mode);
    return true;
  }
  bool openUrl(const QUrl& url) override {
    opened << url.toString();
    return true;
  }

 private:
  template <typename T>
  static T take(std::deque<T>& answers) {
    if (answers.empty()) return {};
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// A GIF of `frames` frames of one colour each (red, green, blue, red, ...), `delay` hundredths.
void writeGif(const QString& path, int frames, int width, int height, int delay = 10) {
  testing::GifBuilder gif(width, height);
  for (int i = 0; i < frames; ++i) gif.frame(delay, width, height, static_cast<std::uint8_t>(1 + i % 3));
  gif.trailer();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(reinterpret_cast<const char*>(gif.bytes().data()), static_cast<qint64>(gif.size()));
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The stage of an uncompressed SWF file in pixels, from the RECT after its 8-byte header.
QSize stageOf(const QByteArray& swf) {
  if (swf.size() < 9 || !swf.startsWith("FWS")) return {};
  int bit = 8 * 8;
  auto bits = [&](int n) {
    int value = 0;
    for (int i = 0; i < n; ++i, ++bit) {
      value = (value << 1) | ((static_cast<unsigned char>(swf[bit / 8]) >> (7 - bit % 8)) & 1);
    }
    return value;
  };
  const int n = bits(5);
  const int xMin = bits(n), xMax = bits(n), yMin = bits(n), yMax = bits(n);
  return {(xMax - xMin) / 20, (yMax - yMin) / 20};
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("gifs"));
    QDir(dir.path()).mkpath(QStringLiteral("out"));
    window = std::make_unique<MainWindow>(desktop.services(), dir.path() + QStringLiteral("/out/"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override { window.reset(); }

  const MainWindow::Ui& ui() const { return window->ui(); }
  QString gif(const QString& name) const { return dir.path() + QStringLiteral("/gifs/") + name; }
  QString outputFolder() const { return dir.path() + QStringLiteral("/out/"); }

  void addFiles(const QStringList& paths) {
    desktop.fileAnswers.push_back(paths);
    ui().addFilesButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->addingFiles(); }, 10000));
  }
  void clickRow(int row) {
    QTreeWidgetItem* item = ui().list->topLevelItem(row);
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(ui().list->viewport(), Qt::LeftButton, {}, ui().list->visualItemRect(item).center());
  }
  void chooseSizeMode(const QString& mode) {
    const int index = ui().sizeModeBox->findText(mode);
    ASSERT_GE(index, 0);
    ui().sizeModeBox->setCurrentIndex(index);
    emit ui().sizeModeBox->activated(index);
  }
  QStringList column(int column) const {
    QStringList texts;
    for (int row = 0; row < ui().list->rowCount(); ++row) texts << ui().list->topLevelItem(row)->text(column);
    return texts;
  }

  QTemporaryDir dir;
  FakeDesktop desktop;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, StartsWithItsCaptionAndDefaults) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Brevanto 2.3 "));
  EXPECT_EQ(ui().pathBox->text(), outputFolder());
  EXPECT_FALSE(ui().pathBox->isEnabled());
  EXPECT_EQ(ui().sizeModeBox->currentText(), QStringLiteral("Original Size"));
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("0"));
  EXPECT_FALSE(ui().widthBox->isEnabled());
  EXPECT_EQ(ui().qualityBox->text(), QStringLiteral("100"));
  EXPECT_EQ(ui().frameRateBox->text(), QStringLiteral("10"));
  EXPECT_EQ(ui().percentLabel->text(), QStringLiteral("0%"));
  EXPECT_EQ(ui().frameTotalLabel->text(), QStringLiteral("0"));
  QStringList modes;
  for (int i = 0; i < ui().sizeModeBox->count(); ++i) modes << ui().sizeModeBox->itemText(i);
  EXPECT_EQ(modes, (QStringList{"1/2 Original Size", "Original Size", "2x Original Size", "3x Original Size", "Custom"}));
  QStringList headers;
  for (int c = 0; c < 5; ++c) headers << ui().list->headerItem()->text(c);
  EXPECT_EQ(headers, (QStringList{"No", "FileName", "Dimension", "Count", "FilePath"}));
  QStringList menu;
  for (QAction* a : ui().contextMenu->actions()) menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(menu, (QStringList{"Remove", "Remove All", "-", "Add Files", "Add Folder", "-", "Export", "-", "Convert",
                               "Convert All"}));
  QStringList exports;
  for (QAction* a : ui().exportMenu->actions()) exports << a->text();
  EXPECT_EQ(exports, (QStringList{"Single Image", "Bmp Sequence", "Tga Sequence", "Gif Sequence", "Jpg Sequence",
                                  "Png Sequence", "Tiff Sequence"}));
  // The menu's commands are the window's.
  ui().contextMenu->actions().at(9)->trigger();
  EXPECT_EQ(desktop.messages, QStringList{"Please select files.There are'n files in list"});
}

TEST_F(MainWindowTest, AddFilesListsRowsWhileTheWorkerRuns) {
  writeGif(gif("a.gif"), 3, 8, 6);
  writeGif(gif("b.gif"), 2, 4, 4);
  QFile bad(gif("bad.gif"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not a picture");
  bad.close();

  // The second file is held back until the test has seen the first row arrive.
  std::binary_semaphore gate(0);
  window->setFileReader([&gate](const QString& path) {
    if (path.endsWith(QStringLiteral("b.gif"))) gate.acquire();
    return readFileFacts(path);
  });
  desktop.fileAnswers.push_back({gif("a.gif"), gif("b.gif"), gif("bad.gif"), gif("a.gif")});
  ui().addFilesButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ui().list->rowCount() == 1; }, 5000));
  EXPECT_TRUE(window->addingFiles());
  EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(ui().fileCountBox->text(), QStringLiteral("1"));
  gate.release();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->addingFiles(); }, 10000));
  EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"1", "2", "3", "4"}));
  EXPECT_EQ(column(BatchList::FileNameColumn), (QStringList{"a.gif", "b.gif", "bad.gif", "a.gif"}));
  EXPECT_EQ(column(BatchList::DimensionColumn), (QStringList{"8*6", "4*4", "0*0", "8*6"}));
  EXPECT_EQ(column(BatchList::CountColumn), (QStringList{"3", "2", "0", "3"}));
  EXPECT_EQ(column(BatchList::FilePathColumn), (QStringList{gif("a.gif"), gif("b.gif"), gif("bad.gif"), gif("a.gif")}));
  EXPECT_EQ(ui().fileCountBox->text(), QStringLiteral("4"));

  // A cancelled dialog adds nothing; numbering goes on after Remove All.
  ui().addFilesButton->click();
  EXPECT_EQ(ui().list->rowCount(), 4);
  ui().removeAllButton->click();
  window->setFileReader(readFileFacts);
  addFiles({gif("b.gif")});
  EXPECT_EQ(column(BatchList::NumberColumn), QStringList{"5"});
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(MainWindowTest, OneAddStopsAtOneThousandFiles) {
  window->setFileReader([](const QString&) { return FileFacts{2, 3, 1}; });
  QStringList names;
  for (int i = 0; i < 1001; ++i) names << QStringLiteral("/nowhere/%1.gif").arg(i);
  addFiles(names);
  EXPECT_EQ(ui().list->rowCount(), 1000);
  EXPECT_EQ(ui().list->entry(999).filePath, QStringLiteral("/nowhere/999.gif"));
  EXPECT_EQ(desktop.messages, QStringList{"selected file can't more than 1000!"});
}

TEST_F(MainWindowTest, AddFolderReplacesTheListWithTheFoldersGifs) {
  writeGif(gif("b.gif"), 2, 4, 4);
  writeGif(gif("a.GIF"), 1, 3, 5);
  QDir(dir.path()).mkpath(QStringLiteral("gifs/sub.gif"));
  QFile(gif("notes.txt")).open(QIODevice::WriteOnly);
  addFiles({gif("b.gif"), gif("b.gif")});

  desktop.folderAnswers.push_back(dir.path() + QStringLiteral("/gifs"));
  ui().addFolderButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->addingFiles(); }, 10000));
  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"1", "2"}));
  EXPECT_EQ(column(BatchList::FilePathColumn), (QStringList{gif("a.GIF"), gif("b.gif")}));
  EXPECT_EQ(column(BatchList::DimensionColumn), (QStringList{"3*5", "4*4"}));

  ui().addFolderButton->click();  // cancelled: nothing changes
  EXPECT_EQ(ui().list->rowCount(), 2);

  desktop.folderAnswers.push_back(dir.path() + QStringLiteral("/gifs/sub.gif"));
  ui().addFolderButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->addingFiles(); }, 10000));
  EXPECT_EQ(ui().list->rowCount(), 0);
  EXPECT_EQ(ui().fileCountBox->text(), QStringLiteral("0"));
}

TEST_F(MainWindowTest, ClickingARowMakesItCurrentAndSizeModesFollowIt) {
  writeGif(gif("wide.gif"), 1, 101, 75);
  writeGif(gif("small.gif"), 1, 10, 20);

  chooseSizeMode(QStringLiteral("2x Original Size"));  // nothing current yet: 0 x 0
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("0"));

  addFiles({gif("wide.gif"), gif("small.gif")});
  clickRow(0);
  EXPECT_EQ(window->currentFile(), gif("wide.gif"));
  EXPECT_EQ(window->currentRow(), 0);
  EXPECT_EQ(ui().sizeModeBox->currentText(), QStringLiteral("Original Size"));
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("101"));
  EXPECT_EQ(ui().heightBox->text(), QStringLiteral("75"));

  chooseSizeMode(QStringLiteral("1/2 Original Size"));
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("50"));
  EXPECT_EQ(ui().heightBox->text(), QStringLiteral("37"));
  chooseSizeMode(QStringLiteral("3x Original Size"));
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("303"));
  EXPECT_FALSE(ui().widthBox->isEnabled());

  chooseSizeMode(QStringLiteral("Custom"));
  EXPECT_TRUE(ui().widthBox->isEnabled());
  EXPECT_TRUE(ui().heightBox->isEnabled());
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("303"));
  ui().widthBox->setText(QStringLiteral(" 640 "));
  chooseSizeMode(QStringLiteral("Custom"));
  EXPECT_EQ(window->settings().outputWidth, 640);

  // A preset after "Custom" sets the size but leaves the boxes editable; so does a new row.
  chooseSizeMode(QStringLiteral("Original Size"));
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("101"));
  EXPECT_TRUE(ui().widthBox->isEnabled());
  chooseSizeMode(QStringLiteral("Custom"));
  clickRow(1);
  EXPECT_EQ(window->currentFile(), gif("small.gif"));
  EXPECT_EQ(ui().sizeModeBox->currentText(), QStringLiteral("Original Size"));
  EXPECT_EQ(ui().widthBox->text(), QStringLiteral("10"));
  EXPECT_TRUE(ui().heightBox->isEnabled());
  EXPECT_TRUE(desktop.messages.isEmpty());

  // The arrow keys make the newly selected row current, whichever control has the focus.
  clickRow(0);
  ui().list->setFocus();
  QTest::keyClick(ui().list, Qt::Key_Down);
  EXPECT_EQ(window->currentFile(), gif("small.gif"));
  EXPECT_EQ(window->currentRow(), 1);
}

TEST_F(MainWindowTest, NumberBoxesMustHoldIntegers) {
  ui().qualityBox->setText(QStringLiteral("12x"));
  ui().frameRateBox->setText(QStringLiteral(" +25\t"));
  chooseSizeMode(QStringLiteral("Custom"));
  ASSERT_EQ(desktop.messages, QStringList{"Please enter an integer."});
  EXPECT_EQ(window->focusWidget(), ui().qualityBox);
  // The fields before the bad one were read; the quality kept its value, which the size-mode
  // change writes back into the box.
  EXPECT_EQ(window->settings().frameRate, 25);
  EXPECT_EQ(window->settings().jpegQuality, 100);
  EXPECT_EQ(ui().qualityBox->text(), QStringLiteral("100"));

  // Exit reads the boxes: a bad box keeps the window open.
  ui().widthBox->setText(QStringLiteral("-0"));
  ui().exitButton->click();
  EXPECT_EQ(desktop.messages.size(), 2);
  EXPECT_EQ(window->focusWidget(), ui().widthBox);
  EXPECT_EQ(ui().widthBox->selectedText(), QStringLiteral("-0"));
  EXPECT_TRUE(window->isVisible());

  ui().widthBox->setText(QStringLiteral("0"));
  ui().qualityBox->setText(QStringLiteral("500"));
  ui().exitButton->click();
  EXPECT_EQ(desktop.messages.size(), 2);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, EnterAndEscapeDoNotCloseTheWindow) {
  QSignalSpy returnPressed(ui().qualityBox, &QLineEdit::returnPressed);
  ui().qualityBox->setFocus();
  QTest::keyClick(ui().qualityBox, Qt::Key_Return);
  QTest::keyClick(ui().qualityBox, Qt::Key_Enter);
  QTest::keyClick(ui().qualityBox, Qt::Key_Escape);
  QTest::keyClick(ui().list, Qt::Key_Escape);
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_EQ(returnPressed.count(), 0);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(desktop.messages.isEmpty());
  EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(MainWindowTest, MoveAndRemoveRowsWithTheirMessages) {
  ui().moveUpButton->click();
  ui().moveDownButton->click();
  EXPECT_EQ(desktop.messages, (QStringList{"There is no rows!", "There is no rows!"}));
  desktop.messages.clear();

  window->setFileReader([](const QString&) { return FileFacts{1, 1, 1}; });
  addFiles({"/x/a.gif", "/x/b.gif", "/x/c.gif"});
  // Nothing clicked yet: row 0 is current.
  ui().moveUpButton->click();
  EXPECT_EQ(desktop.messages, QStringList{"It's the first row!"});
  ui().moveDownButton->click();
  EXPECT_EQ(column(BatchList::FileNameColumn), (QStringList{"b.gif", "a.gif", "c.gif"}));
  EXPECT_EQ(column(BatchList::NumberColumn), (QStringList{"2", "1", "3"}));
  EXPECT_EQ(window->currentRow(), 1);
  ui().moveDownButton->click();
  EXPECT_EQ(window->currentRow(), 2);
  ui().moveDownButton->click();
  EXPECT_EQ(desktop.messages, (QStringList{"It's the first row!", "It's the last row!"}));
  EXPECT_EQ(column(BatchList::FileNameColumn), (QStringList{"b.gif", "c.gif", "a.gif"}));

  // Remove deletes every selected row; the current file stays as it was.
  clickRow(0);
  ui().list->topLevelItem(2)->setSelected(true);
  ui().removeButton->click();
  EXPECT_EQ(column(BatchList::FileNameColumn), QStringList{"c.gif"});
  EXPECT_EQ(ui().fileCountBox->text(), QStringLiteral("1"));
  EXPECT_EQ(window->currentFile(), QStringLiteral("/x/b.gif"));
  ui().removeAllButton->click();
  EXPECT_EQ(ui().list->rowCount(), 0);
  EXPECT_EQ(ui().fileCountBox->text(), QStringLiteral("0"));
  EXPECT_EQ(ui().frameTotalLabel->text(), QStringLiteral("0"));
}

TEST_F(MainWindowTest, PlayRunsToTheEndOfTheFile) {
  ui().playButton->click();
  EXPECT_EQ(desktop.messages, QStringList{"Please select a file!!!"});
  ui().pauseButton->click();  // no file: nothing happens
  EXPECT_EQ(desktop.messages.size(), 1);

  writeGif(gif("three.gif"), 3, 8, 6);
  addFiles({gif("three.gif")});
  clickRow(0);
  ui().playButton->click();
  EXPECT_FALSE(ui().playButton->isEnabled());
  EXPECT_TRUE(ui().pauseButton->isEnabled());
  EXPECT_EQ(ui().frameTotalLabel->text(), QStringLiteral("/3"));
  bool sawLastFrame = false;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        sawLastFrame = sawLastFrame || ui().frameBox->text() == QStringLiteral("2") ||
                       window->player().currentFrame() == 2;
        return ui().playButton->isEnabled();
      },
      5000));
  EXPECT_TRUE(sawLastFrame);
  EXPECT_FALSE(ui().pauseButton->isEnabled());
  EXPECT_FALSE(window->isPlaying());

  // The pane shows frame 0 (red) stretched over the whole pane.
  ui().previewPane->grab();
  const QImage painted = ui().previewPane->lastPainted();
  ASSERT_FALSE(painted.isNull());
  EXPECT_EQ(painted.size(), ui().previewPane->contentsRect().size());
  EXPECT_EQ(QColor(painted.pixel(0, 0)), QColor(Qt::red));
  EXPECT_EQ(QColor(painted.pixel(painted.width() - 1, painted.height() - 1)), QColor(Qt::red));
}

TEST_F(MainWindowTest, AFileWithFewerFramesAfterPauseStartsWithinItsFrames) {
  writeGif(gif("long.gif"), 6, 8, 6, 30);
  writeGif(gif("short.gif"), 2, 8, 6, 30);
  addFiles({gif("long.gif"), gif("short.gif")});
  clickRow(0);
  ui().playButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->player().currentFrame() >= 3; }, 5000));
  ui().pauseButton->click();
  ASSERT_GE(window->player().currentFrame(), 3);

  clickRow(1);
  ui().playButton->click();
  EXPECT_EQ(ui().frameTotalLabel->text(), QStringLiteral("/2"));
  EXPECT_LT(window->player().currentFrame(), window->player().frameCount());
  ui().previewPane->grab();
  EXPECT_FALSE(ui().previewPane->lastPainted().isNull());
  ui().pauseButton->click();
}

TEST_F(MainWindowTest, ConvertWritesTheSameMovieAsTheHeadlessConverter) {
  ui().convertButton->click();
  EXPECT_EQ(desktop.messages, QStringList{"Please select files.There are'n files in list"});
  EXPECT_EQ(desktop.icons.back(), MessageIcon::Exclamation);

  writeGif(gif("anim.gif"), 3, 12, 8);
  writeGif(gif("other.gif"), 2, 5, 5);
  addFiles({gif("anim.gif"), gif("other.gif"), gif("other.gif"), gif("other.gif")});
  ui().convertButton->click();
  EXPECT_EQ(desktop.messages.back(), QStringLiteral("Please select the file you want to convert"));

  clickRow(0);
  ui().qualityBox->setText(QStringLiteral("80"));
  ui().frameRateBox->setText(QStringLiteral("12"));
  ui().convertButton->click();
  EXPECT_TRUE(window->isConverting());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 10000));
  const QString movie = outputFolder() + QStringLiteral("anim.swf");
  EXPECT_EQ(desktop.opened, QStringList{movie});
  EXPECT_EQ(ui().percentLabel->text(), QStringLiteral("25%"));  // Convert counts as the first of four
  EXPECT_FALSE(window->isConverting());
  EXPECT_FALSE(window->playbackTimerActive());
  EXPECT_TRUE(ui().convertAllButton->isEnabled());
  EXPECT_TRUE(ui().removeButton->isEnabled());
  EXPECT_TRUE(QDir(outputFolder() + QStringLiteral("tolvane_brevanto/Temp")).isEmpty());

  const QByteArray windowMovie = readAll(movie);
  ASSERT_FALSE(windowMovie.isEmpty());
  EXPECT_EQ(stageOf(windowMovie), QSize(12, 8));
  const QString headless = dir.path() + QStringLiteral("/headless/");
  QDir().mkpath(headless);
#ifdef BREVANTO_CONVERT_EXE
  QProcess converter;
  converter.start(QStringLiteral(BREVANTO_CONVERT_EXE),
                  {"-o", headless, "-q", "80", "-r", "12", "-j", "1", gif("anim.gif")});
  ASSERT_TRUE(converter.waitForFinished(30000));
  ASSERT_EQ(converter.exitCode(), 0) << converter.readAllStandardError().toStdString();
#else
  convert::HeadlessOptions options;
  options.outputFolder = headless.toStdString();
  options.jpegQuality = 80;
  options.frameRate = 12;
  ASSERT_TRUE(convert::convertFile(gif("anim.gif").toStdString(), options).ok);
#endif
  EXPECT_EQ(windowMovie, readAll(headless + QStringLiteral("anim.swf")));
}

TEST_F(MainWindowTest, ConvertAllAppliesTheSizeModeToEachFileAndOpensTheFolder) {
  writeGif(gif("a.gif"), 2, 8, 6, 30);
  writeGif(gif("b.gif"), 1, 10, 4);
  writeGif(gif("c.gif"), 2, 5, 5);
  addFiles({gif("a.gif"), gif("b.gif"), gif("c.gif")});
  clickRow(0);
  chooseSizeMode(QStringLiteral("2x Original Size"));

  std::vector<int> percentages;
  QObject::connect(ui().progressBar, &QProgressBar::valueChanged, [&](int value) {
    if (percentages.empty() || percentages.back() != value) percentages.push_back(value);
  });
  ui().convertAllButton->click();
  EXPECT_TRUE(window->isConvertAll());
  // The first tick locks the controls.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !ui().convertButton->isEnabled(); }, 1000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 20000));

  EXPECT_EQ(desktop.opened, QStringList{outputFolder()});
  EXPECT_EQ(percentages, (std::vector<int>{33, 66, 100}));
  EXPECT_FALSE(window->isConvertAll());
  EXPECT_TRUE(ui().convertButton->isEnabled());
  EXPECT_TRUE(ui().list->topLevelItem(2)->isSelected());
  EXPECT_EQ(window->currentFile(), gif("c.gif"));
  EXPECT_EQ(stageOf(readAll(outputFolder() + "a.swf")), QSize(16, 12));
  EXPECT_EQ(stageOf(readAll(outputFolder() + "b.swf")), QSize(20, 8));
  EXPECT_EQ(stageOf(readAll(outputFolder() + "c.swf")), QSize(10, 10));
  EXPECT_TRUE(desktop.messages.isEmpty());

  // "Custom" gives every movie the custom size.
  desktop.opened.clear();
  chooseSizeMode(QStringLiteral("Custom"));
  ui().widthBox->setText(QStringLiteral("30"));
  ui().heightBox->setText(QStringLiteral("20"));
  ui().convertAllButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 20000));
  for (const char* name : {"a.swf", "b.swf", "c.swf"}) {
    EXPECT_EQ(stageOf(readAll(outputFolder() + name)), QSize(30, 20)) << name;
  }
}

TEST_F(MainWindowTest, AMovieThatCannotBeWrittenIsReportedAndConvertAllGoesOn) {
  writeGif(gif("a.gif"), 2, 8, 6);
  writeGif(gif("b.gif"), 2, 8, 6);
  writeGif(gif("c.gif"), 2, 8, 6);
  // A non-empty folder where b's movie belongs cannot be replaced by the movie.
  QDir(outputFolder()).mkpath(QStringLiteral("b.swf"));
  QFile(outputFolder() + QStringLiteral("b.swf/keep")).open(QIODevice::WriteOnly);
  addFiles({gif("a.gif"), gif("b.gif"), gif("c.gif")});
  ui().convertAllButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 20000));

  ASSERT_EQ(desktop.messages.size(), 1);
  EXPECT_TRUE(desktop.messages[0].contains(outputFolder() + QStringLiteral("b.swf"))) << desktop.messages[0].toStdString();
  EXPECT_EQ(desktop.icons[0], MessageIcon::Exclamation);
  EXPECT_EQ(desktop.opened, QStringList{outputFolder()});
  EXPECT_FALSE(readAll(outputFolder() + "a.swf").isEmpty());
  EXPECT_FALSE(readAll(outputFolder() + "c.swf").isEmpty());

  // A single Convert of the same file reports it too and opens nothing.
  desktop.opened.clear();
  clickRow(1);
  ui().convertButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.messages.size() == 2; }, 10000));
  EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(MainWindowTest, ConvertAllCreatesAnOutputFolderThatDoesNotExistYet) {
  // The per-user start folder may not exist before the first conversion.
  writeGif(gif("a.gif"), 2, 8, 6);
  addFiles({gif("a.gif")});
  const QString fresh = dir.path() + QStringLiteral("/new/deeper");
  desktop.folderAnswers.push_back(fresh);
  ui().browseButton->click();
  ui().convertAllButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 10000));
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join(' ').toStdString();
  EXPECT_EQ(desktop.opened, QStringList{fresh + QStringLiteral("/")});
  EXPECT_FALSE(readAll(fresh + QStringLiteral("/a.swf")).isEmpty());
}

TEST_F(MainWindowTest, OutputFolderBrowseAndHelp) {
  desktop.folderAnswers.push_back(dir.path() + QStringLiteral("/movies"));
  ui().browseButton->click();
  EXPECT_EQ(ui().pathBox->text(), dir.path() + QStringLiteral("/movies/"));
  EXPECT_EQ(window->settings().outputFolder, (dir.path() + QStringLiteral("/movies/")).toStdString());
  ui().browseButton->click();  // cancelled: the folder stays
  EXPECT_EQ(ui().pathBox->text(), dir.path() + QStringLiteral("/movies/"));

  ui().helpButton->click();  // no help file: nothing happens
  EXPECT_TRUE(desktop.opened.isEmpty());
  QFile(outputFolder() + QStringLiteral("tolvane_Brevanto.chm")).open(QIODevice::WriteOnly);
  ui().helpButton->click();
  EXPECT_EQ(desktop.opened, QStringList{outputFolder() + QStringLiteral("tolvane_Brevanto.chm")});
  EXPECT_EQ(desktop.openModes.back(), ShowMode::Maximised);
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
