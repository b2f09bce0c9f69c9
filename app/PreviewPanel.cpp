#include "app/PreviewPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/PreviewPane.h"

namespace brevanto::app {

PreviewPanel::PreviewPanel(const convert::PreviewPlayer& player, QWidget* parent)
    : QGroupBox(QStringLiteral("Preview"), parent) {
  pane_ = new PreviewPane(player, this);
  playButton_ = new QPushButton(QStringLiteral("Play"), this);
  pauseButton_ = new QPushButton(QStringLiteral("Pause"), this);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setRange(0, 100);
  // The slider shows the position within the file; it is not a seek control.
  slider_->setAttribute(Qt::WA_TransparentForMouseEvents);
  slider_->setFocusPolicy(Qt::NoFocus);
  frameBox_ = new QLineEdit(QStringLiteral("0"), this);
  frameBox_->setReadOnly(true);
  frameBox_->setAlignment(Qt::AlignRight);
  frameBox_->setFixedWidth(frameBox_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
  frameTotalLabel_ = new QLabel(QStringLiteral("0"), this);
  frameTotalLabel_->setMinimumWidth(frameTotalLabel_->fontMetrics().horizontalAdvance(QStringLiteral("/00000")));
  auto* playRow = new QHBoxLayout;
  playRow->addWidget(playButton_);
  playRow->addWidget(pauseButton_);
  playRow->addStretch(1);
  playRow->addWidget(frameBox_);
  playRow->addWidget(frameTotalLabel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pane_, 1);
  layout->addWidget(slider_);
  layout->addLayout(playRow);

  connect(playButton_, &QPushButton::clicked, this, &PreviewPanel::playClicked);
  connect(pauseButton_, &QPushButton::clicked, this, &PreviewPanel::pauseClicked);
}

void PreviewPanel::repaintPane() { pane_->update(); }
void PreviewPanel::setPlayEnabled(bool enabled) { playButton_->setEnabled(enabled); }
void PreviewPanel::setPauseEnabled(bool enabled) { pauseButton_->setEnabled(enabled); }
bool PreviewPanel::isPlayEnabled() const { return playButton_->isEnabled(); }
bool PreviewPanel::isPauseEnabled() const { return pauseButton_->isEnabled(); }
void PreviewPanel::setFrame(int index) { frameBox_->setText(QString::number(index)); }
void PreviewPanel::setSliderPosition(int position) { slider_->setValue(position); }
void PreviewPanel::setFrameCountText(const QString& text) { frameTotalLabel_->setText(text); }
QString PreviewPanel::frameText() const { return frameBox_->text(); }
QString PreviewPanel::frameCountText() const { return frameTotalLabel_->text(); }
int PreviewPanel::sliderPosition() const { return slider_->value(); }

}  // namespace brevanto::app
