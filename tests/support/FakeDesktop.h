#pragma once

// The window's desktop for tests: dialogs answered as a user would, message boxes and shell
// requests recorded instead of shown.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <ostream>
#include <vector>

#include "app/Platform.h"

// Readable failure output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace brevanto::testing {

class FakeDesktop final : public app::DialogService, public app::MessageService, public app::ShellService {
 public:
  std::deque<QStringList> fileAnswers;  // one entry per open-file dialog; none = cancel
  std::deque<QString> folderAnswers;    // one entry per folder dialog; none = cancel
  app::SaveChoice saveAnswer;           // every save dialog's answer (empty: cancel)
  QStringList saveFilters;              // the last save dialog's filters
  int saveDialogs = 0;
  QStringList messages;
  std::vector<app::MessageIcon> icons;
  QStringList opened;
  std::vector<app::ShowMode> openModes;
  QStringList refused;  // paths the desktop has no program for
  bool urlOpens = true;

  app::Services services() { return {this, this, this}; }

  QStringList openFiles(QWidget*, const QString&) override { return take(fileAnswers); }
  QString chooseFolder(QWidget*, const QString&) override { return take(folderAnswers); }
  app::SaveChoice saveFile(QWidget*, const QStringList& filters) override {
    ++saveDialogs;
    saveFilters = filters;
    return saveAnswer;
  }
  void show(QWidget*, const QString& text, app::MessageIcon icon) override {
    messages << text;
    icons.push_back(icon);
  }
  bool openPath(const QString& path, app::ShowMode mode) override {
    opened << path;
    openModes.push_back(mode);
    return !refused.contains(path);
  }
  bool openUrl(const QUrl& url) override {
    opened << url.toString();
    return urlOpens;
  }

 private:
  template <typename T>
  static T take(std::deque<T>& answers) {
    if (answers.empty()) return {};
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace brevanto::testing
