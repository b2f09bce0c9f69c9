#pragma once

#include <QString>

#include <functional>

#include "controls/HyperlinkLabel.h"

class QWidget;

namespace brevanto::app {

class ShellService;

// The maker's web address: the caption and target of the window's link label.
inline constexpr const char* kMakerAddress = "https://www.tolvane.example/";

// A link label that opens its target through the window's shell service and reports a failure
// with `report` (the text "Unable to open hyperlink:\n\n..." is already complete).
controls::HyperlinkLabel* makeLinkLabel(const QString& address, QWidget* parent, ShellService* shell,
                                        std::function<void(const QString&)> report);

}  // namespace brevanto::app
