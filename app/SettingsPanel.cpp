#include "app/SettingsPanel.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/FolderPicker.h"
#include "app/MessageQueue.h"
#include "app/SizeModeText.h"

namespace brevanto::app {

namespace {

// A number box: a one-line edit sized for a few digits.
QLineEdit* numberBox(QWidget* parent, int digits) {
  auto* box = new QLineEdit(parent);
  box->setMaxLength(31);
  box->setAlignment(Qt::AlignRight);
  const int width = box->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) + 16;
  box->setFixedWidth(width);
  return box;
}

}  // namespace

SettingsPanel::SettingsPanel(DialogService& dialogs, MessageQueue& messages, convert::OutputSettings& settings,
                             const QString& outputFolder, QWidget* parent)
    : QGroupBox(QStringLiteral("swf file"), parent), dialogs_(dialogs), messages_(messages), settings_(settings) {
  pathBox_ = new QLineEdit(this);
  pathBox_->setEnabled(false);
  browseButton_ = new QPushButton(QStringLiteral("..."), this);
  browseButton_->setFixedWidth(browseButton_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 20);
  widthBox_ = numberBox(this, 6);
  heightBox_ = numberBox(this, 6);
  sizeModeBox_ = new QComboBox(this);
  for (std::string_view mode : kSizeModeTexts) {
    sizeModeBox_->addItem(QString::fromUtf8(mode.data(), static_cast<qsizetype>(mode.size())));
  }
  qualityBox_ = numberBox(this, 5);
  frameRateBox_ = numberBox(this, 5);
  // Item order follows the enumerations' order.
  picturesBox_ = new QComboBox(this);
  picturesBox_->addItems({QStringLiteral("JPEG"), QStringLiteral("Lossless")});
  loopBox_ = new QComboBox(this);
  loopBox_->addItems({QStringLiteral("Forever"), QStringLiteral("As the GIF")});
  timingBox_ = new QComboBox(this);
  timingBox_->addItems({QStringLiteral("100 ms steps"), QStringLiteral("As the GIF")});

  // Names for finding the controls (tests, accessibility tools); no user sees them.
  pathBox_->setObjectName(QStringLiteral("path"));
  browseButton_->setObjectName(QStringLiteral("browse"));
  widthBox_->setObjectName(QStringLiteral("width"));
  heightBox_->setObjectName(QStringLiteral("height"));
  sizeModeBox_->setObjectName(QStringLiteral("sizeMode"));
  qualityBox_->setObjectName(QStringLiteral("quality"));
  frameRateBox_->setObjectName(QStringLiteral("frameRate"));
  picturesBox_->setObjectName(QStringLiteral("pictures"));
  loopBox_->setObjectName(QStringLiteral("loop"));
  timingBox_->setObjectName(QStringLiteral("timing"));

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Path:"), this), 0, 0);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(pathBox_, 1);
  pathRow->addWidget(browseButton_);
  grid->addLayout(pathRow, 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Size:"), this), 1, 0);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(widthBox_);
  sizeRow->addWidget(new QLabel(QStringLiteral("*"), this));
  sizeRow->addWidget(heightBox_);
  sizeRow->addWidget(sizeModeBox_);
  // Each further control: a gap, its label, the control and its unit when it has one.
  const auto addLabelled = [this, sizeRow](const char* label, QWidget* control, const char* unit = nullptr) {
    sizeRow->addSpacing(16);
    sizeRow->addWidget(new QLabel(QString::fromUtf8(label), this));
    sizeRow->addWidget(control);
    if (unit != nullptr) sizeRow->addWidget(new QLabel(QString::fromUtf8(unit), this));
  };
  addLabelled("Pictures:", picturesBox_);
  addLabelled("File quality:", qualityBox_, "%");
  addLabelled("Frame Rate:", frameRateBox_, "FPS");
  addLabelled("Loop:", loopBox_);
  addLabelled("Timing:", timingBox_);
  sizeRow->addStretch(1);
  grid->addLayout(sizeRow, 1, 1, 1, 2);
  grid->setColumnStretch(1, 1);

  connect(browseButton_, &QPushButton::clicked, this, &SettingsPanel::browse);
  connect(sizeModeBox_, &QComboBox::activated, this, [this](int) { chooseSizeMode(sizeModeBox_->currentText()); });
  connect(picturesBox_, &QComboBox::activated, this,
          [this](int row) { choosePictures(static_cast<convert::PictureKind>(row)); });
  connect(loopBox_, &QComboBox::activated, this, [this](int row) { chooseLoop(static_cast<convert::LoopMode>(row)); });
  connect(timingBox_, &QComboBox::activated, this,
          [this](int row) { chooseTiming(static_cast<convert::Timing>(row)); });

  // Start values: the output folder, "Original Size" at the (still zero) source size, quality
  // 100, 10 frames per second; the width and height boxes are disabled.
  settings_.outputFolder = outputFolder.toStdString();
  settings_.resetToSource(sourceWidth_, sourceHeight_);
  pathBox_->setText(outputFolder);
  widthBox_->setEnabled(false);
  heightBox_->setEnabled(false);
  writeBack();
}

void SettingsPanel::setSourceSize(int width, int height) {
  sourceWidth_ = width;
  sourceHeight_ = height;
}

bool SettingsPanel::readFields() {
  const auto failed = settings_.readFields(widthBox_->text().toStdString(), heightBox_->text().toStdString(),
                                           sizeModeAtRow(sizeModeBox_->currentIndex()),
                                           frameRateBox_->text().toStdString(), qualityBox_->text().toStdString());
  if (!failed) return true;
  QLineEdit* box = nullptr;
  switch (*failed) {
    case convert::SettingsField::OutputWidth: box = widthBox_; break;
    case convert::SettingsField::OutputHeight: box = heightBox_; break;
    case convert::SettingsField::FrameRate: box = frameRateBox_; break;
    case convert::SettingsField::JpegQuality: box = qualityBox_; break;
  }
  messages_.show(QString::fromUtf8(convert::kEnterIntegerMessage.data(),
                                   static_cast<qsizetype>(convert::kEnterIntegerMessage.size())));
  if (box) {
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
  }
  return false;
}

bool SettingsPanel::frameRateUsable() {
  const auto refused = settings_.frameRateRefusal();
  if (!refused) return true;
  messages_.show(QString::fromStdString(*refused), MessageIcon::Exclamation);
  frameRateBox_->setFocus(Qt::OtherFocusReason);
  frameRateBox_->selectAll();
  return false;
}

void SettingsPanel::writeBack() {
  widthBox_->setText(QString::number(settings_.outputWidth));
  heightBox_->setText(QString::number(settings_.outputHeight));
  sizeModeBox_->setCurrentIndex(sizeModeRow(settings_.sizeMode));
  qualityBox_->setText(QString::number(settings_.jpegQuality));
  frameRateBox_->setText(QString::number(settings_.frameRate));
}

void SettingsPanel::makeSourceCurrent(int width, int height) {
  setSourceSize(width, height);
  settings_.resetToSource(sourceWidth_, sourceHeight_);
  writeBack();
}

void SettingsPanel::showFileStage(convert::PixelSize source, convert::PixelSize stage) {
  setSourceSize(source.width, source.height);
  settings_.outputWidth = stage.width;
  settings_.outputHeight = stage.height;
  writeBack();
}

void SettingsPanel::chooseSizeMode(const QString& mode) {
  const int index = sizeModeBox_->findText(mode);
  if (index >= 0) sizeModeBox_->setCurrentIndex(index);
  readFields();
  if (settings_.applySizeMode(sizeModeAtRow(sizeModeBox_->currentIndex()), sourceWidth_, sourceHeight_)) {
    // Once "Custom" has been chosen the boxes stay editable.
    widthBox_->setEnabled(true);
    heightBox_->setEnabled(true);
  }
  writeBack();
}

void SettingsPanel::choosePictures(convert::PictureKind kind) {
  settings_.pictures = kind;
  picturesBox_->setCurrentIndex(static_cast<int>(kind));
  qualityBox_->setEnabled(kind == convert::PictureKind::Jpeg);
}

void SettingsPanel::chooseLoop(convert::LoopMode mode) {
  settings_.loop = mode;
  loopBox_->setCurrentIndex(static_cast<int>(mode));
}

void SettingsPanel::chooseTiming(convert::Timing timing) {
  settings_.timing = timing;
  timingBox_->setCurrentIndex(static_cast<int>(timing));
  updateFrameRateBox();
}

void SettingsPanel::browse() {
  FolderPicker picker(dialogs_);
  // A cancelled browse keeps the folder chosen before.
  if (!picker.browse()) return;
  settings_.outputFolder = convert::outputFolderFromPicked(QDir::fromNativeSeparators(picker.resultPath).toStdString());
  pathBox_->setText(QString::fromStdString(settings_.outputFolder));
}

void SettingsPanel::setLocked(bool locked) {
  locked_ = locked;
  for (QWidget* control :
       std::initializer_list<QWidget*>{browseButton_, sizeModeBox_, picturesBox_, loopBox_, timingBox_}) {
    control->setEnabled(!locked);
  }
  updateFrameRateBox();
}

void SettingsPanel::updateFrameRateBox() {
  frameRateBox_->setEnabled(!locked_ && settings_.timing == convert::Timing::Steps);
}

}  // namespace brevanto::app
