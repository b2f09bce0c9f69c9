#include "app/DropHandler.h"

#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace brevanto::app {

DroppedPaths sortDroppedPaths(const QStringList& paths) {
  DroppedPaths sorted;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (info.isDir() || (info.isFile() && info.suffix().compare(QStringLiteral("gif"), Qt::CaseInsensitive) == 0)) {
      sorted.accepted << info.absoluteFilePath();
    } else {
      ++sorted.skipped;
    }
  }
  return sorted;
}

QString skippedFilesMessage(int skipped) {
  if (skipped == 1) return QStringLiteral("1 file was not added: only GIF files and folders can be added.");
  return QStringLiteral("%1 files were not added: only GIF files and folders can be added.").arg(skipped);
}

namespace {

bool hasLocalFiles(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return false;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

}  // namespace

DropHandler::DropHandler(QAbstractItemView& list, std::function<void(const QStringList&)> add)
    : QObject(&list), add_(std::move(add)) {
  // Drops on an item view arrive at its viewport.
  list.setAcceptDrops(true);
  list.viewport()->setAcceptDrops(true);
  list.setDragDropMode(QAbstractItemView::DropOnly);
  list.viewport()->installEventFilter(this);
}

bool DropHandler::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!hasLocalFiles(drag->mimeData())) return false;
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!hasLocalFiles(drop->mimeData())) return false;
      QStringList paths;
      int remote = 0;
      for (const QUrl& url : drop->mimeData()->urls()) {
        if (url.isLocalFile()) {
          paths << url.toLocalFile();
        } else {
          ++remote;
        }
      }
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      // Remote addresses count as skipped files.
      for (int i = 0; i < remote; ++i) paths << QString();
      add_(paths);
      return true;
    }
    default: return QObject::eventFilter(watched, event);
  }
}

}  // namespace brevanto::app
