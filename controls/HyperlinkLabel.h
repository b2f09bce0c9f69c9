#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QUrl>

#include <functional>

namespace brevanto::controls {

// A static text that behaves as a web link: drawn in link colours with an underlined font,
// a pointing-hand cursor, a tooltip with its target, hover tracking, a remembered "visited"
// state, and a click that asks the desktop to open the target.
//
// Opening reports a result in the shell's convention: a value above 32 is success, anything
// else is a failure code whose text is shown as "Unable to open hyperlink:\n\n" + text.
// Both the opener and the failure report are hooks, so the window can route them through its
// own shell and message services and tests can answer them without a desktop.
class HyperlinkLabel : public QLabel {
  Q_OBJECT

 public:
  // Result of a successful open (the shell convention: anything above 32).
  static constexpr int OpenSucceeded = 33;

  // Failure codes this program produces when the desktop cannot open a target.
  static constexpr int FileNotFound = 2;
  static constexpr int PathNotFound = 3;
  static constexpr int AccessDenied = 5;
  static constexpr int NoAssociation = 31;

  // Opens a target and returns a shell-style result (above 32: success).
  using Opener = std::function<int(const QString& target)>;
  // Shows a failure message (the full text, already prefixed).
  using FailureReporter = std::function<void(const QString& message)>;
  // The raw desktop request: true when the desktop accepted the address.
  using UrlOpener = std::function<bool(const QUrl& url)>;

  explicit HyperlinkLabel(QWidget* parent = nullptr);
  explicit HyperlinkLabel(const QString& caption, QWidget* parent = nullptr);

  // An invalid hover colour means the palette's highlight colour.
  void setColours(const QColor& link, const QColor& visited, const QColor& hover = QColor());
  void setVisited(bool visited);
  void setUnderline(bool underline);
  void setFitToText(bool fit);
  // Sets the address opened on a click; an empty caption takes the target as its text.
  void setTarget(const QString& target);

  // The address a click opens: the target, or the caption while no target is set.
  QString target() const;
  bool isVisited() const { return visited_; }
  bool isHovering() const { return hovering_; }
  bool underline() const { return underline_; }
  bool fitToText() const { return fitToText_; }
  QColor linkColour() const { return linkColour_; }
  QColor visitedColour() const { return visitedColour_; }
  // The hover colour in effect (the highlight colour unless one was set).
  QColor hoverColour() const;
  // The colour the caption is drawn in right now.
  QColor currentColour() const;

  void setOpener(Opener opener) { opener_ = std::move(opener); }
  void setFailureReporter(FailureReporter reporter) { reporter_ = std::move(reporter); }

  // Text for a failure code, and the whole message shown for it.
  static QString failureText(int code);
  static QString failureMessage(int code);

  // Turns a target into an address and asks `open` for it, mapping the outcome to a
  // shell-style result: local files that are missing, in a missing folder or unreadable give
  // 2, 3 or 5 before the desktop is asked; an address that cannot be parsed gives 2; a refusal
  // by the desktop gives 31 (no application to open it with).
  static int openThrough(const QString& target, const UrlOpener& open);
  // The default opener: openThrough with QDesktopServices::openUrl.
  static int openWithDesktop(const QString& target);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 public slots:
  // Opens the target as a click does.
  void openTarget();

 protected:
  bool event(QEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void attach();
  void applyColour();
  void applyFont();
  QSize textExtent() const;
  void fit();

  QColor linkColour_{0, 0, 238};
  QColor visitedColour_{85, 26, 139};
  QColor hoverColour_;  // invalid: the palette's highlight colour
  bool hovering_ = false;
  bool visited_ = false;
  bool underline_ = true;
  bool fitToText_ = true;
  bool attached_ = false;
  bool pressed_ = false;
  bool applyingStyle_ = false;
  QString target_;
  Opener opener_;
  FailureReporter reporter_;
};

}  // namespace brevanto::controls
