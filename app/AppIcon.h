#pragma once

#include <QIcon>

namespace brevanto::app {

// The application icon, drawn in code at the usual sizes (a film strip over a picture).
QIcon applicationIcon();

}  // namespace brevanto::app
