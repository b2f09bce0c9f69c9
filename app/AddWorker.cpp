#include "app/AddWorker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <climits>
#include <cctype>
#include <deque>
#include <future>
#include <exception>
#include <filesystem>
#include <vector>

#include "image/AnimatedImage.h"

namespace brevanto::app {

AddWorker::AddWorker(QObject* context, Callbacks callbacks, Reader reader)
    : context_(context), callbacks_(std::move(callbacks)), reader_(std::move(reader)) {}

AddWorker::~AddWorker() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

template <typename Input, typename Run>
std::unique_ptr<AddWorker> AddWorker::start(Input input, QObject* context, Callbacks callbacks, Reader reader,
                                            Run run) {
  std::unique_ptr<AddWorker> worker(new AddWorker(context, std::move(callbacks), std::move(reader)));
  worker->thread_ =
      std::jthread([w = worker.get(), input = std::move(input), run](std::stop_token stop) { (w->*run)(stop, input); });
  return worker;
}

std::unique_ptr<AddWorker> AddWorker::addFiles(QStringList paths, QObject* context, Callbacks callbacks,
                                               Reader reader) {
  return start(std::move(paths), context, std::move(callbacks), std::move(reader), &AddWorker::runFiles);
}

std::unique_ptr<AddWorker> AddWorker::addFolder(QString folder, QObject* context, Callbacks callbacks, Reader reader) {
  return start(std::move(folder), context, std::move(callbacks), std::move(reader), &AddWorker::runFolder);
}

std::unique_ptr<AddWorker> AddWorker::addPaths(QStringList paths, QObject* context, Callbacks callbacks,
                                               Reader reader) {
  return start(std::move(paths), context, std::move(callbacks), std::move(reader), &AddWorker::runPaths);
}

void AddWorker::post(std::function<void()> call) {
  // Queued to the context's thread; dropped when the context is gone.
  QObject* context = context_.data();
  if (!context || !call) return;
  QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

void AddWorker::runFiles(std::stop_token stop, const QStringList& paths) {
  readInOrder(stop, paths, FailurePolicy::EndOperation, QStringLiteral("selected file can't more than 1000!"));
}

void AddWorker::runFolder(std::stop_token stop, const QString& folder) {
  post(callbacks_.clearList);
  readInOrder(stop, gifFilesIn(folder), FailurePolicy::SkipFile,
              QStringLiteral("selected files can't more than 1000!"));
}

void AddWorker::runPaths(std::stop_token stop, const QStringList& paths) {
  QStringList files;
  bool anyFolder = false;
  for (const QString& path : paths) {
    if (QFileInfo(path).isDir()) {
      anyFolder = true;
      files << gifFilesIn(path);
    } else {
      files << path;
    }
  }
  if (anyFolder) {
    readInOrder(stop, files, FailurePolicy::SkipFile, QStringLiteral("selected files can't more than 1000!"));
  } else {
    readInOrder(stop, files, FailurePolicy::EndOperation, QStringLiteral("selected file can't more than 1000!"));
  }
}

void AddWorker::readInOrder(std::stop_token stop, const QStringList& paths, FailurePolicy onFailure,
                            const QString& limitMessage) {
  // A few files are decoded ahead in parallel; rows are still handed over one by one, in the
  // order of `paths`, each as soon as it and every file before it have been read.
  const std::size_t readAhead = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  std::deque<std::pair<QString, std::future<FileFacts>>> reading;
  qsizetype next = 0;
  int added = 0;
  while (!stop.stop_requested()) {
    while (reading.size() < readAhead && next < paths.size()) {
      const QString path = paths[next++];
      reading.emplace_back(path, std::async(std::launch::async, reader_, path));
    }
    if (reading.empty()) break;
    auto [path, pending] = std::move(reading.front());
    reading.pop_front();
    FileFacts facts;
    try {
      facts = pending.get();
    } catch (const std::exception&) {
      post([cb = callbacks_.message] { cb(QStringLiteral("Open file failed")); });
      if (onFailure == FailurePolicy::EndOperation) break;
      continue;
    }
    post([cb = callbacks_.rowRead, path, facts] { cb(path, facts); });
    if (++added == kFileLimit) {
      post([cb = callbacks_.message, limitMessage] { cb(limitMessage); });
      break;
    }
  }
  reading.clear();  // waits for the files still being read; their results are dropped
  finished_ = true;
  post(callbacks_.finished);
}

QStringList AddWorker::gifFilesIn(const QString& folder) {
  // std::filesystem rather than QDir: it does not stat every entry, which matters for large
  // folders, and a symbolic link to a file counts as a file.
  std::vector<std::filesystem::path> names;
  std::error_code error;
  const std::filesystem::path root(QFile::encodeName(folder).toStdString());
  for (std::filesystem::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    const std::filesystem::path name = it->path().filename();
    std::string ext = name.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".gif") continue;
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  QString prefix = QDir::fromNativeSeparators(folder);
  if (!prefix.endsWith(QLatin1Char('/'))) prefix += QLatin1Char('/');
  QStringList paths;
  paths.reserve(static_cast<qsizetype>(names.size()));
  for (const auto& name : names) paths.push_back(prefix + QFile::decodeName(QByteArray::fromStdString(name.string())));
  return paths;
}

}  // namespace brevanto::app

namespace brevanto::app {

FileFacts readFileFacts(const QString& path) {
  image::AnimatedImage animation;
  FileFacts facts;
  // A file that cannot be decoded has no frames: its facts stay empty.
  if (!animation.load(std::filesystem::path(QFile::encodeName(path).toStdString()))) return facts;
  facts.frameCount = static_cast<int>(std::min<std::size_t>(animation.frameCount(), INT_MAX));
  if (facts.frameCount > 0) {
    facts.width = animation.frame(0).width();
    facts.height = animation.frame(0).height();
  }
  return facts;
}

}  // namespace brevanto::app
