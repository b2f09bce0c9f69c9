#pragma once

// The core's text (std::string, UTF-8) as the window shows it.

#include <QString>

#include <string>

namespace brevanto::app {

inline QString fromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace brevanto::app
