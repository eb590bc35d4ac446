// Drop objects: invisible units that make one widget a target for files dropped from the
// desktop. A drop object accepts drags that carry local files only, reports the copy effect
// (dropped files are never moved) and raises `FilesDropped` with the dropped paths:
//   one file:   "/home/a/x.txt"                 (no line end)
//   two files:  "/home/a/x.txt\r\n/home/a/y.txt\r\n"
// Paths are GB18030 `Text`; they become UTF-8 again only where a file is opened.
#ifndef LANZHOU_UI_QT_DROP_OBJECT_H_
#define LANZHOU_UI_QT_DROP_OBJECT_H_

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "text/text.h"

class QMimeData;

namespace lanzhou {

// The `FilesDropped` text for `paths`, in their order (see the file comment).
Text FilesDroppedText(const std::vector<Text>& paths);

// The local files a drag carries, in its order, or nullopt when it carries anything else.
std::optional<std::vector<Text>> DroppedLocalFiles(const QMimeData* data);
// The `FilesDropped` text of a drag, or nullopt when it carries anything but local files.
std::optional<Text> DroppedFilesText(const QMimeData* data);

class DropObject : public QObject {
  Q_OBJECT

 public:
  using FilesDroppedHandler = std::function<void(const Text& paths)>;

  explicit DropObject(QObject* parent = nullptr) : QObject(parent) {}

  void SetFilesDroppedHandler(FilesDroppedHandler handler) { handler_ = std::move(handler); }
  // Raises `FilesDropped` as a drop of `paths` would (files named on the command line).
  void DropFiles(const std::vector<Text>& paths) {
    if (handler_ && !paths.empty()) handler_(FilesDroppedText(paths));
  }

  // Makes `window` a drop target served by this object (for a scroll area such as a grid,
  // its viewport too). False, changing nothing, when this object already serves a window
  // or `window` is null.
  bool RegisterDropWindow(QWidget* window);
  QWidget* window() const { return window_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
  bool registered_ = false;
  FilesDroppedHandler handler_;
};

}  // namespace lanzhou

#endif  // LANZHOU_UI_QT_DROP_OBJECT_H_
