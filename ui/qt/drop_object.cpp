#include "ui/qt/drop_object.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "ui/qt/qt_text.h"

namespace lanzhou {

Text FilesDroppedText(const std::vector<Text>& paths) {
  if (paths.size() == 1) return paths.front();
  Text text;
  for (const Text& path : paths) {
    text += path;
    text += std::string_view("\r\n");
  }
  return text;
}

std::optional<std::vector<Text>> DroppedLocalFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  const QList<QUrl> urls = data->urls();
  if (urls.isEmpty()) return std::nullopt;
  std::vector<Text> paths;
  paths.reserve(static_cast<size_t>(urls.size()));
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) return std::nullopt;
    const QString path = url.toLocalFile();
    if (path.isEmpty()) return std::nullopt;
    paths.push_back(FromQString(path));
  }
  return paths;
}

std::optional<Text> DroppedFilesText(const QMimeData* data) {
  std::optional<std::vector<Text>> paths = DroppedLocalFiles(data);
  if (!paths) return std::nullopt;
  return FilesDroppedText(*paths);
}

bool DropObject::RegisterDropWindow(QWidget* window) {
  if (registered_ || window == nullptr) return false;
  registered_ = true;
  window_ = window;
  window->setAcceptDrops(true);
  window->installEventFilter(this);
  // Drags over a scroll area arrive at its viewport.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(window)) {
    area->viewport()->setAcceptDrops(true);
    area->viewport()->installEventFilter(this);
  }
  return true;
}

bool DropObject::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (DroppedFilesText(drag->mimeData())) {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::DragLeave:
      return true;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      std::optional<Text> paths = DroppedFilesText(drop->mimeData());
      if (!paths) {
        drop->ignore();
        return true;
      }
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      if (handler_) handler_(*paths);
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace lanzhou
