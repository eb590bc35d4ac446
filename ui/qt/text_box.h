// The multi-line edit box: a QPlainTextEdit that wraps at its width, shows a vertical scroll
// bar when its text is longer than the box, and takes Enter as a line break, and that exchanges its
// whole text as a `Text` with CR LF line ends quickly, also for millions of lines or one line of
// millions of characters.
//
// SetText lays the text out in few blocks of bounded size (BoxContent, qt_text.h); Text reads
// it back byte for byte and keeps the result until the document changes, so a handler that
// reads a box it has just filled costs one copy. Typing, Enter, pasting, undo and copying work
// on that layout: a pasted text is laid out the same way, and the soft breaks inside a long
// line never reach the text or the clipboard.
//
// Files dropped from the desktop insert the text that the file loader gives for them, where
// a dropped text would go (one undo step); text dragged from elsewhere inserts as text. A
// drop from elsewhere is always a copy, so the source keeps its file or text; only text
// dragged within the box moves.
//
// Example:
//   box.SetText(Text("a\r\nb"));  // shows two lines
//   box.Text() == Text("a\r\nb");
// Limits, for a text read from the document (Text() right after SetText(t) is t itself):
// U+FDD2 and U+FDD3 (noncharacters) come back as a lone CR and LF; U+2028, U+2029, U+FDD0
// and U+FDD1 come back as CR LF.
#ifndef LANZHOU_UI_QT_TEXT_BOX_H_
#define LANZHOU_UI_QT_TEXT_BOX_H_

#include <QPlainTextEdit>
#include <QTextCursor>
#include <functional>
#include <vector>

#include "text/text.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {

class TextBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TextBox(QWidget* parent = nullptr);

  // Replaces the whole text; the cursor goes to the start and the undo history is cleared.
  void SetText(const lanzhou::Text& text) { SetContent(ToBoxContent(text), text); }
  // Replaces the whole text as one edit that undo takes back; the cursor goes to the start.
  // The new text goes into a document of its own and the replaced one is kept for undo: as an
  // edit of the same document, both texts would share one buffer, and growing it copies the
  // old text in a single turn of the window (100 ms for 64 M characters).
  void ReplaceText(const lanzhou::Text& text) { ReplaceContent(ToBoxContent(text), text); }
  // The whole text, lines separated by CR LF; valid until the text changes.
  const lanzhou::Text& Text() const;

  // The two halves of each, so that the conversion, which takes most of the time for a large
  // text, can run on another thread: SetText(t) is SetContent(ToBoxContent(t), t), and Text()
  // is FromBoxRawText of `Raw()`, kept by `KeepText` for the next Text(), unless
  // `HasTextAtHand()`.
  // With `between`, a large text goes in a piece at a time and `between()` runs after each
  // (the window's events, so that it goes on meanwhile); the box is not repainted until the
  // text is whole. ReplaceText(t) is ReplaceContent(ToBoxContent(t), t): its pieces make one
  // edit all the same.
  void SetContent(const BoxContent& content, lanzhou::Text text,
                  const std::function<void()>& between = {});
  void ReplaceContent(const BoxContent& content, lanzhou::Text text,
                      const std::function<void()>& between = {});
  bool HasTextAtHand() const { return cache_valid_; }
  struct RawText {
    QString raw;
    std::vector<qsizetype> soft_breaks;
  };
  RawText Raw() const;
  void KeepText(lanzhou::Text text) const;

  // Undo and redo as Ctrl+Z, Ctrl+Y and the context menu give them: the document's own edits
  // first, then the rewrites of ReplaceText and ReplaceContent. (QPlainTextEdit's undo() and
  // redo() see only the current document.) Typing after an undo drops what redo would bring.
  void Undo();
  void Redo();

  // What dropped local files (paths in drop order) put into the box, as `PastedBoxContent`
  // makes it. Without a loader, dropped files insert their addresses, as in any text box.
  // `between`, when given, runs between the pieces a large content is inserted in.
  using FileLoader = std::function<BoxContent(const std::vector<lanzhou::Text>& paths)>;
  void SetFileLoader(FileLoader load, std::function<void()> between = {}) {
    load_files_ = std::move(load);
    between_pieces_ = std::move(between);
  }
  // Inserts the loader's text for `paths` at the cursor, as a drop of them there would.
  void InsertFiles(const std::vector<lanzhou::Text>& paths);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  QMimeData* createMimeDataFromSelection() const override;

 private:
  // Positions in the document of the breaks that are not line ends, ascending, for the
  // blocks from `first` to `last` (numbers).
  std::vector<qsizetype> SoftBreaks(int first, int last) const;
  // Marks the blocks `first + n` for every n of `soft` as following a soft break and every
  // other block from `first` to `last` as following a line end. Joins the current edit.
  void MarkBlocks(int first, int last, const std::vector<int>& soft);
  // Puts `content` in place of the selection, as one edit; with `between`, a piece at a time
  // as in SetContent.
  void InsertContent(const BoxContent& content, const std::function<void()>& between = {});
  // Inserts `text` at `cursor`, all at once without `between`, else a piece of whole blocks
  // at a time with `between()` after each and the box not repainted meanwhile.
  void InsertInPieces(QTextCursor& cursor, const QString& text,
                      const std::function<void()>& between);
  // Makes a drag or drop from outside the box a copy.
  void CopyFromElsewhere(QDropEvent* event) const;

  // A document a rewrite set aside, and whether its blocks may carry soft-break marks.
  struct KeptDocument {
    QTextDocument* doc;
    bool may_have_soft_breaks;
  };
  // Shows `next` and puts the current document on `to`.
  void ShowDocument(KeptDocument next, std::vector<KeptDocument>& to);
  // A new empty document laid out as the current one.
  QTextDocument* NewDocument();
  void DropRedone();

  std::vector<KeptDocument> undone_;  // the last is what Undo goes back to
  std::vector<KeptDocument> redone_;  // the last is what Redo goes forward to
  FileLoader load_files_;
  std::function<void()> between_pieces_;
  bool may_have_soft_breaks_ = false;
  mutable lanzhou::Text cached_;
  mutable bool cache_valid_ = false;
};

}  // namespace lanzhou

#endif  // LANZHOU_UI_QT_TEXT_BOX_H_
