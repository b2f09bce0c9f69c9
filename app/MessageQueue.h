#pragma once

#include <QString>

#include <utility>
#include <vector>

#include "app/Platform.h"

class QWidget;

namespace brevanto::app {

// The window's message boxes, one at a time: a message that arrives while a box is open (a run
// keeps going meanwhile, and its box runs an event loop) is shown when that box has been closed.
class MessageQueue {
 public:
  MessageQueue(MessageService& service, QWidget* parent) : service_(service), parent_(parent) {}

  void show(const QString& text, MessageIcon icon = MessageIcon::None);

 private:
  MessageService& service_;
  QWidget* parent_;
  bool open_ = false;
  std::vector<std::pair<QString, MessageIcon>> pending_;
};

}  // namespace brevanto::app
