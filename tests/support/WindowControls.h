#pragma once

// The window's controls for tests, found as a user finds them: the list, the preview pane, and
// the settings' boxes, lists and buttons by their object names.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <stdexcept>
#include <string>

#include "app/BatchList.h"
#include "app/PreviewPane.h"

namespace brevanto::testing {

// The child of `root` of type T named `name` (any name when empty); throws, failing the test, without one.
template <typename T>
T& control(const QWidget& root, const char* name = "") {
  T* found = root.findChild<T*>(QString::fromUtf8(name));
  if (!found) throw std::runtime_error(std::string("no control named \"") + name + '"');
  return *found;
}

inline app::BatchList& batchList(const QWidget& window) { return control<app::BatchList>(window); }
inline app::PreviewPane& previewPane(const QWidget& window) { return control<app::PreviewPane>(window); }

// The settings' boxes: "path", "width", "height", "quality", "frameRate"; lists: "sizeMode",
// "pictures", "loop", "timing"; the "..." button: "browse".
inline QLineEdit& box(const QWidget& window, const char* name) { return control<QLineEdit>(window, name); }
inline QComboBox& choice(const QWidget& window, const char* name) { return control<QComboBox>(window, name); }
inline QStringList itemTexts(const QComboBox& list) {
  QStringList texts;
  for (int i = 0; i < list.count(); ++i) texts << list.itemText(i);
  return texts;
}
// The box that holds the keyboard focus.
inline bool focused(const QWidget& window, const char* name) { return window.focusWidget() == &box(window, name); }

}  // namespace brevanto::testing
