#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

namespace brevanto::app {

// What reading one GIF file for the batch list gives: the first frame's size and the number of
// frames. A file that cannot be decoded gives zeros.
struct FileFacts {
  int width = 0;
  int height = 0;
  int frameCount = 0;
};

// Decodes a file through the image core. May throw (for example std::bad_alloc); the worker
// reports that as "Open file failed".
FileFacts readFileFacts(const QString& path);

// Reads GIF files for the batch list on a thread of its own (decoding a few files ahead in
// parallel). Every result is handed to the
// user-interface thread one file at a time, as soon as that file has been read, through the
// callbacks below (they always run on the thread that owns `context`).
class AddWorker {
 public:
  // At most this many files are added by one add operation.
  static constexpr int kFileLimit = 1000;

  struct Callbacks {
    std::function<void()> clearList;  // Add folder only, before the first row
    std::function<void(const QString& path, const FileFacts& facts)> rowRead;
    std::function<void(const QString& message)> message;
    std::function<void()> finished;  // always the last call
  };

  using Reader = std::function<FileFacts(const QString& path)>;

  // Reads the given files in order ("ADD Gif(s)"). A read failure ends the operation.
  static std::unique_ptr<AddWorker> addFiles(QStringList paths, QObject* context, Callbacks callbacks,
                                             Reader reader = readFileFacts);
  // Replaces the list by the GIF files of one folder, no sub-folders ("Add Folder"). A read
  // failure skips that file.
  static std::unique_ptr<AddWorker> addFolder(QString folder, QObject* context, Callbacks callbacks,
                                              Reader reader = readFileFacts);

  // Asks the thread to stop after the file it is reading, and waits for it.
  ~AddWorker();
  AddWorker(const AddWorker&) = delete;
  AddWorker& operator=(const AddWorker&) = delete;

  bool isFinished() const { return finished_.load(); }

  // Adds dropped or start-up paths in the order given: a file is read as "ADD Gif(s)" reads
  // it, a folder gives its GIF files as "Add Folder" does (the list is not cleared). One
  // operation: the 1000-file limit counts over all of them. With a folder among the paths a
  // read failure skips the file and the limit message is the folder's.
  static std::unique_ptr<AddWorker> addPaths(QStringList paths, QObject* context, Callbacks callbacks,
                                             Reader reader = readFileFacts);

  // The GIF files of a folder in the order the worker reads them: entries whose name ends in
  // ".gif" (any letter case), directories skipped, sorted by name.
  static QStringList gifFilesIn(const QString& folder);

 private:
  AddWorker(QObject* context, Callbacks callbacks, Reader reader);
  // Makes a worker whose thread runs `run` on `input`.
  template <typename Input, typename Run>
  static std::unique_ptr<AddWorker> start(Input input, QObject* context, Callbacks callbacks, Reader reader, Run run);
  void post(std::function<void()> call);
  void runFiles(std::stop_token stop, const QStringList& paths);
  void runFolder(std::stop_token stop, const QString& folder);
  void runPaths(std::stop_token stop, const QStringList& paths);
  enum class FailurePolicy { EndOperation, SkipFile };
  void readInOrder(std::stop_token stop, const QStringList& paths, FailurePolicy onFailure,
                   const QString& limitMessage);

  QPointer<QObject> context_;
  Callbacks callbacks_;
  Reader reader_;
  std::atomic<bool> finished_{false};
  std::jthread thread_;  // last: started after everything it uses exists
};

}  // namespace brevanto::app
