#include "controls/HyperlinkLabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLayout>
#include <QMessageBox>
#include <QMouseEvent>

namespace brevanto::controls {

namespace {

// The layout (of the parent or one nested in it) that manages `w`, or null.
QLayout* managingLayout(QLayout* layout, QWidget* w) {
  if (layout == nullptr) {
    return nullptr;
  }
  if (layout->indexOf(w) >= 0) {
    return layout;
  }
  for (int i = 0; i < layout->count(); ++i) {
    if (QLayout* found = managingLayout(layout->itemAt(i)->layout(), w)) {
      return found;
    }
  }
  return nullptr;
}

void showFailure(QWidget* owner, const QString& message) {
  QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), message, QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace

HyperlinkLabel::HyperlinkLabel(QWidget* parent) : HyperlinkLabel(QString(), parent) {}

HyperlinkLabel::HyperlinkLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  opener_ = &HyperlinkLabel::openWithDesktop;
  reporter_ = [this](const QString& message) { showFailure(window(), message); };
  applyFont();
  applyColour();
}

void HyperlinkLabel::setColours(const QColor& link, const QColor& visited, const QColor& hover) {
  linkColour_ = link;
  visitedColour_ = visited;
  hoverColour_ = hover;
  applyColour();
}

void HyperlinkLabel::setVisited(bool visited) {
  visited_ = visited;
  applyColour();
}

void HyperlinkLabel::setUnderline(bool underline) {
  underline_ = underline;
  applyFont();
  fit();
}

void HyperlinkLabel::setFitToText(bool fitToText) {
  fitToText_ = fitToText;
  setSizePolicy(fitToText ? QSizePolicy::Fixed : QSizePolicy::Preferred,
                fitToText ? QSizePolicy::Fixed : QSizePolicy::Preferred);
  updateGeometry();
  fit();
}

void HyperlinkLabel::setTarget(const QString& target) {
  target_ = target;
  if (text().isEmpty()) {
    setText(target);
  }
  if (attached_) {
    setToolTip(this->target());
    fit();
  }
}

QString HyperlinkLabel::target() const { return target_.isEmpty() ? text() : target_; }

QColor HyperlinkLabel::hoverColour() const {
  return hoverColour_.isValid() ? hoverColour_ : palette().color(QPalette::Highlight);
}

QColor HyperlinkLabel::currentColour() const {
  if (hovering_) {
    return hoverColour();
  }
  return visited_ ? visitedColour_ : linkColour_;
}

QString HyperlinkLabel::failureText(int code) {
  switch (code) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because other DDE transactions\n"
          "were being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
  }
}

QString HyperlinkLabel::failureMessage(int code) {
  return QStringLiteral("Unable to open hyperlink:\n\n") + failureText(code);
}

int HyperlinkLabel::openThrough(const QString& target, const UrlOpener& open) {
  const QString trimmed = target.trimmed();
  if (trimmed.isEmpty()) {
    return FileNotFound;
  }
  // An existing relative path is a local file; anything else is read as a web address
  // ("www.example.com" becomes http://www.example.com, "/a/b" a file URL).
  const QUrl url = QUrl::fromUserInput(trimmed, QDir::currentPath());
  if (!url.isValid()) {
    return FileNotFound;
  }
  if (url.isLocalFile()) {
    const QFileInfo info(url.toLocalFile());
    if (!info.exists()) {
      return info.dir().exists() ? FileNotFound : PathNotFound;
    }
    if (!info.isReadable()) {
      return AccessDenied;
    }
  }
  return open(url) ? OpenSucceeded : NoAssociation;
}

int HyperlinkLabel::openWithDesktop(const QString& target) {
  return openThrough(target, [](const QUrl& url) { return QDesktopServices::openUrl(url); });
}

void HyperlinkLabel::openTarget() {
  const int result = opener_ ? opener_(target()) : NoAssociation;
  if (result > 32) {
    setVisited(true);
    return;
  }
  QApplication::beep();
  if (reporter_) {
    reporter_(failureMessage(result));
  }
}

QSize HyperlinkLabel::textExtent() const {
  const QFontMetrics metrics(font());
  QSize size = metrics.size(0, text());
  const QMargins m = contentsMargins();
  size += QSize(m.left() + m.right() + 2 * margin(), m.top() + m.bottom() + 2 * margin());
  return size.expandedTo(QSize(1, 1));
}

QSize HyperlinkLabel::sizeHint() const { return fitToText_ ? textExtent() : QLabel::sizeHint(); }

QSize HyperlinkLabel::minimumSizeHint() const { return fitToText_ ? textExtent() : QLabel::minimumSizeHint(); }

void HyperlinkLabel::fit() {
  if (!fitToText_) {
    return;
  }
  updateGeometry();
  const Qt::Alignment align = alignment();
  const Qt::Alignment vertical = (align & Qt::AlignVCenter) ? Qt::AlignVCenter : Qt::AlignTop;
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (align & Qt::AlignHCenter) {
    horizontal = Qt::AlignHCenter;
  } else if (align & Qt::AlignRight) {
    horizontal = Qt::AlignRight;
  }

  // Inside a layout the layout places the widget: hand it the same alignment rules.
  if (QWidget* parent = parentWidget()) {
    if (QLayout* layout = managingLayout(parent->layout(), this)) {
      layout->setAlignment(this, horizontal | vertical);
      return;
    }
  }

  // Free-standing: resize in place, keeping the edge (or centre) the alignment names.
  const QRect old = geometry();
  const QSize size = textExtent();
  int x = old.left();
  if (horizontal == Qt::AlignHCenter) {
    x = old.left() + (old.width() - size.width()) / 2;
  } else if (horizontal == Qt::AlignRight) {
    x = old.left() + old.width() - size.width();
  }
  int y = old.top();
  if (vertical == Qt::AlignVCenter) {
    y = old.top() + (old.height() - size.height()) / 2;
  }
  setGeometry(QRect(QPoint(x, y), size));
}

void HyperlinkLabel::applyColour() {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, currentColour());
  applyingStyle_ = true;
  setPalette(p);
  applyingStyle_ = false;
  update();
}

void HyperlinkLabel::applyFont() {
  QFont f = font();
  f.setUnderline(underline_);
  applyingStyle_ = true;
  setFont(f);
  applyingStyle_ = false;
  update();
}

void HyperlinkLabel::attach() {
  if (attached_) {
    return;
  }
  attached_ = true;
  if (target_.isEmpty()) {
    target_ = text();
  } else if (text().isEmpty()) {
    setText(target_);
  }
  applyFont();
  applyColour();
  setToolTip(target());
  fit();
}

bool HyperlinkLabel::event(QEvent* e) {
  if (e->type() == QEvent::Polish) {
    attach();
  }
  return QLabel::event(e);
}

void HyperlinkLabel::enterEvent(QEnterEvent* e) {
  hovering_ = true;
  applyColour();
  QLabel::enterEvent(e);
}

void HyperlinkLabel::leaveEvent(QEvent* e) {
  hovering_ = false;
  applyColour();
  QLabel::leaveEvent(e);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    pressed_ = true;
    e->accept();
    return;
  }
  QLabel::mousePressEvent(e);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    e->accept();
    if (rect().contains(e->position().toPoint())) {
      openTarget();
    }
    return;
  }
  QLabel::mouseReleaseEvent(e);
}

void HyperlinkLabel::changeEvent(QEvent* e) {
  QLabel::changeEvent(e);
  if (applyingStyle_) {
    return;
  }
  // A font or palette inherited from the parent replaces ours: put the link look back.
  if (e->type() == QEvent::FontChange) {
    if (font().underline() != underline_) {
      applyFont();
    }
    if (attached_) {
      fit();
    }
  } else if (e->type() == QEvent::PaletteChange) {
    if (palette().color(QPalette::WindowText) != currentColour()) {
      applyColour();
    }
  }
}

}  // namespace brevanto::controls
