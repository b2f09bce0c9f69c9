#include "controls/HyperlinkLabel.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using brevanto::controls::HyperlinkLabel;

namespace {

// A press at `at` and its release at `releaseAt` (the same place unless given).
void click(QWidget* w, QPointF at, Qt::MouseButton button = Qt::LeftButton, std::optional<QPointF> releaseAt = {}) {
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  const QPointF up = releaseAt.value_or(at);
  QMouseEvent release(QEvent::MouseButtonRelease, up, w->mapToGlobal(up), button, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

struct Recorder {
  QStringList opened;
  QStringList messages;
  int result = HyperlinkLabel::OpenSucceeded;

  void wire(HyperlinkLabel& label) {
    label.setOpener([this](const QString& target) {
      opened << target;
      return result;
    });
    label.setFailureReporter([this](const QString& message) { messages << message; });
  }
};

class HyperlinkLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog = std::make_unique<QWidget>();
    dialog->resize(400, 200);
  }
  // A label of `caption` on the shown dialog, its opener and failures recorded in `rec`.
  HyperlinkLabel* shownLabel(const QString& caption) {
    auto* label = new HyperlinkLabel(caption, dialog.get());
    rec.wire(*label);
    dialog->show();
    return label;
  }
  std::unique_ptr<QWidget> dialog;
  Recorder rec;
};

TEST_F(HyperlinkLabelTest, CaptionIsTheTargetAndAClickOpensItAndMarksItVisited) {
  auto* label = shownLabel(QStringLiteral("https://www.tolvane.example/"));
  EXPECT_EQ(label->target(), "https://www.tolvane.example/");
  EXPECT_EQ(label->toolTip(), "https://www.tolvane.example/");
  EXPECT_TRUE(label->font().underline());
  EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 238));

  click(label, QPoint(2, 2));
  ASSERT_EQ(rec.opened, QStringList{"https://www.tolvane.example/"});
  EXPECT_TRUE(rec.messages.isEmpty());
  EXPECT_TRUE(label->isVisited());
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(85, 26, 139));
}

TEST_F(HyperlinkLabelTest, FailureShowsTheTextForTheCodeAndLeavesVisitedAlone) {
  auto* label = shownLabel(QStringLiteral("x"));
  label->setTarget(QStringLiteral("https://www.tolvane.example/more"));
  EXPECT_EQ(label->toolTip(), "https://www.tolvane.example/more");

  for (const int result : {26, 4, 31}) {
    rec.result = result;
    click(label, QPoint(1, 1));
  }

  ASSERT_EQ(rec.messages.size(), 3);
  EXPECT_EQ(rec.messages[0], "Unable to open hyperlink:\n\nA sharing violation occurred. ");
  EXPECT_EQ(rec.messages[1], "Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
  EXPECT_EQ(rec.messages[2],
            "Unable to open hyperlink:\n\nThere is no application associated\n"
            "with the given filename extension.");
  EXPECT_EQ(rec.opened.size(), 3);
  EXPECT_FALSE(label->isVisited());
  // 32 is still a failure; only results above it count as opened.
  rec.result = 32;
  click(label, QPoint(1, 1));
  EXPECT_FALSE(label->isVisited());
  EXPECT_EQ(rec.messages.back(), "Unable to open hyperlink:\n\nThe specified dynamic-link library was not found.");
}

TEST_F(HyperlinkLabelTest, OnlyAFullLeftClickInsideOpens) {
  auto* label = shownLabel(QStringLiteral("https://a.example/"));
  click(label, QPoint(1, 1), Qt::RightButton);
  click(label, QPoint(1, 1), Qt::LeftButton, QPointF(label->width() + 50, 1));  // released outside
  EXPECT_TRUE(rec.opened.isEmpty());
}

TEST_F(HyperlinkLabelTest, HoverUsesTheHighlightColourUnlessOneIsGiven) {
  auto* label = shownLabel(QStringLiteral("https://a.example/"));
  const QColor highlight = label->palette().color(QPalette::Highlight);

  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(label, &enter);
  EXPECT_TRUE(label->isHovering());
  EXPECT_EQ(label->palette().color(QPalette::WindowText), highlight);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(label, &leave);
  EXPECT_FALSE(label->isHovering());
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 238));

  label->setColours(Qt::red, Qt::green, Qt::blue);
  QApplication::sendEvent(label, &enter);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue));
  label->setColours(Qt::red, Qt::green);  // hover back to the highlight colour
  EXPECT_EQ(label->palette().color(QPalette::WindowText), highlight);
}

TEST_F(HyperlinkLabelTest, UnderlineCanBeSwitchedOffAndAnEmptyCaptionTakesTheTarget) {
  auto* label = new HyperlinkLabel(dialog.get());
  label->setTarget(QStringLiteral("https://b.example/"));
  label->setUnderline(false);
  dialog->show();
  EXPECT_EQ(label->text(), "https://b.example/");
  EXPECT_FALSE(label->font().underline());
  // A font handed down by the dialog keeps the label's own underline setting.
  label->setUnderline(true);
  QFont big = dialog->font();
  big.setPointSize(big.pointSize() + 6);
  dialog->setFont(big);
  EXPECT_TRUE(label->font().underline());
  EXPECT_EQ(label->font().pointSize(), big.pointSize());
}

TEST_F(HyperlinkLabelTest, FittingKeepsTheEdgeOrCentreTheAlignmentNames) {
  auto place = [&](Qt::Alignment align) {
    auto* label = new HyperlinkLabel(QStringLiteral("https://c.example/a/long/caption"), dialog.get());
    label->setAlignment(align);
    label->setGeometry(10, 20, 300, 40);
    label->setTarget(QStringLiteral("https://c.example/a/long/caption"));
    return label;
  };
  auto* right = place(Qt::AlignRight | Qt::AlignTop);
  auto* centre = place(Qt::AlignHCenter | Qt::AlignVCenter);
  auto* left = place(Qt::AlignLeft | Qt::AlignTop);
  dialog->show();

  const QSize extent = right->sizeHint();
  ASSERT_LT(extent.width(), 300);
  EXPECT_EQ(right->size(), extent);
  EXPECT_EQ(right->geometry().right(), 10 + 300 - 1);
  EXPECT_EQ(right->y(), 20);
  EXPECT_EQ(left->x(), 10);
  EXPECT_EQ(left->y(), 20);
  EXPECT_EQ(centre->x(), 10 + (300 - extent.width()) / 2);
  EXPECT_EQ(centre->y(), 20 + (40 - extent.height()) / 2);

  // A shorter caption set later shrinks the right-aligned label towards its right edge.
  right->setText(QStringLiteral("x.example"));
  right->setTarget(QStringLiteral("https://x.example/"));
  EXPECT_LT(right->width(), extent.width());
  EXPECT_EQ(right->geometry().right(), 10 + 300 - 1);
}

TEST_F(HyperlinkLabelTest, InALayoutTheLabelTakesItsTextSizeAndAlignment) {
  auto* layout = new QVBoxLayout(dialog.get());
  auto* label = new HyperlinkLabel(QStringLiteral("https://d.example/"));
  label->setAlignment(Qt::AlignRight);
  layout->addWidget(label);
  dialog->show();
  QApplication::processEvents();
  EXPECT_EQ(label->size(), label->sizeHint());
  EXPECT_EQ(label->geometry().right(), layout->contentsRect().right());
}

TEST(HyperlinkOpenTest, LocalTargetsAreCheckedBeforeTheDesktopIsAsked) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString existing = dir.filePath("help.html");
  QFile f(existing);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();

  QList<QUrl> asked;
  const HyperlinkLabel::UrlOpener accept = [&](const QUrl& url) {
    asked << url;
    return true;
  };
  const HyperlinkLabel::UrlOpener refuse = [&](const QUrl& url) {
    asked << url;
    return false;
  };

  EXPECT_EQ(HyperlinkLabel::openThrough(dir.filePath("missing.html"), accept), HyperlinkLabel::FileNotFound);
  EXPECT_EQ(HyperlinkLabel::openThrough(dir.filePath("no/such/dir/x.html"), accept), HyperlinkLabel::PathNotFound);
  EXPECT_EQ(HyperlinkLabel::openThrough(QStringLiteral("   "), accept), HyperlinkLabel::FileNotFound);
  EXPECT_TRUE(asked.isEmpty());

  EXPECT_EQ(HyperlinkLabel::openThrough(existing, accept), HyperlinkLabel::OpenSucceeded);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_EQ(asked[0], QUrl::fromLocalFile(existing));

  EXPECT_EQ(HyperlinkLabel::openThrough(QStringLiteral("www.tolvane.example"), refuse), HyperlinkLabel::NoAssociation);
  ASSERT_EQ(asked.size(), 2);
  EXPECT_EQ(asked[1], QUrl(QStringLiteral("http://www.tolvane.example")));
}

}  // namespace
