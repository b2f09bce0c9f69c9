#include "app/MessageQueue.h"

namespace brevanto::app {

void MessageQueue::show(const QString& text, MessageIcon icon) {
  pending_.emplace_back(text, icon);
  if (open_) return;
  open_ = true;
  while (!pending_.empty()) {
    const auto [nextText, nextIcon] = pending_.front();
    pending_.erase(pending_.begin());
    service_.show(parent_, nextText, nextIcon);
  }
  open_ = false;
}

}  // namespace brevanto::app
