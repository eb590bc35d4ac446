#include "ui/qt/text_box.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "ui/qt/drop_object.h"

namespace lanzhou {
namespace {

// Set on the format of a block whose preceding break is soft. The format, unlike the
// block's user state, is restored by undo.
constexpr int kSoftBreakProperty = QTextFormat::UserProperty + 1;

bool FollowsSoftBreak(const QTextBlock& block) {
  return block.blockFormat().boolProperty(kSoftBreakProperty);
}

void SetFollowsSoftBreak(const QTextBlock& block, bool soft) {
  QTextBlockFormat format = block.blockFormat();
  if (soft) {
    format.setProperty(kSoftBreakProperty, true);
  } else {
    format.clearProperty(kSoftBreakProperty);
  }
  QTextCursor(block).setBlockFormat(format);
}

}  // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);  // a long text can be scrolled with the mouse
  setTabChangesFocus(false);
  connect(document(), &QTextDocument::contentsChanged, this, [this] { cache_valid_ = false; });
  connect(document(), &QTextDocument::undoCommandAdded, this, &TextBox::DropRedone);
}

void TextBox::SetContent(const BoxContent& content, lanzhou::Text text,
                         const std::function<void()>& between) {
  if (!between) {
    setPlainText(content.text);
  } else {
    // The same document as setPlainText gives.
    setPlainText(QString());
    QTextDocument* doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    InsertInPieces(cursor, content.text, between);
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
    setTextCursor(QTextCursor(doc));
  }
  may_have_soft_breaks_ = !content.soft_blocks.empty();
  if (may_have_soft_breaks_) {
    // The marks belong to the text just set: no undo step may take them away.
    QTextDocument* doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (int n : content.soft_blocks) SetFollowsSoftBreak(doc->findBlockByNumber(n), true);
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
  }
  cached_ = std::move(text);
  cache_valid_ = true;
}

void TextBox::ReplaceContent(const BoxContent& content, lanzhou::Text text,
                             const std::function<void()>& between) {
  DropRedone();
  document()->clearUndoRedoStacks(QTextDocument::RedoStack);  // an edit ends what redo had
  ShowDocument({NewDocument(), false}, undone_);
  SetContent(content, std::move(text), between);
}

QTextDocument* TextBox::NewDocument() {
  const QTextDocument* now = document();
  auto* doc = new QTextDocument(this);
  doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
  doc->setDefaultFont(now->defaultFont());
  doc->setDefaultTextOption(now->defaultTextOption());
  doc->setDocumentMargin(now->documentMargin());
  doc->setUndoRedoEnabled(now->isUndoRedoEnabled());
  connect(doc, &QTextDocument::contentsChanged, this, [this] { cache_valid_ = false; });
  connect(doc, &QTextDocument::undoCommandAdded, this, &TextBox::DropRedone);
  return doc;
}

void TextBox::ShowDocument(KeptDocument next, std::vector<KeptDocument>& to) {
  QTextDocument* now = document();
  now->setParent(this);  // the box's control deletes a document it owns when replacing it
  to.push_back({now, may_have_soft_breaks_});
  setDocument(next.doc);
  may_have_soft_breaks_ = next.may_have_soft_breaks;
  cache_valid_ = false;
}

void TextBox::DropRedone() {
  for (const KeptDocument& kept : redone_) delete kept.doc;
  redone_.clear();
}

void TextBox::Undo() {
  if (document()->isUndoAvailable() || undone_.empty()) {
    undo();
    return;
  }
  const KeptDocument back = undone_.back();
  undone_.pop_back();
  ShowDocument(back, redone_);
}

void TextBox::Redo() {
  if (document()->isRedoAvailable() || redone_.empty()) {
    redo();
    return;
  }
  const KeptDocument forward = redone_.back();
  redone_.pop_back();
  ShowDocument(forward, undone_);
}

void TextBox::InsertInPieces(QTextCursor& cursor, const QString& text,
                             const std::function<void()>& between) {
  if (!between) {
    cursor.insertText(text);
    return;
  }
  // Painting a document in the middle of an edit would show a layout not yet brought up to
  // date; and within one edit the layout hears of the change once, at its end, rather than
  // measuring the last blocks again after every piece.
  const bool updates = viewport()->updatesEnabled();
  viewport()->setUpdatesEnabled(false);
  cursor.beginEditBlock();
  constexpr qsizetype kPiece = qsizetype{1} << 18;
  for (qsizetype at = 0; at < text.size();) {
    qsizetype end = text.indexOf(u'\n', std::min(at + kPiece, text.size()));
    end = end < 0 ? text.size() : end + 1;
    cursor.insertText(text.sliced(at, end - at));
    at = end;
    between();
  }
  cursor.endEditBlock();
  viewport()->setUpdatesEnabled(updates);
}

const lanzhou::Text& TextBox::Text() const {
  if (!cache_valid_) {
    const RawText raw = Raw();
    KeepText(FromBoxRawText(raw.raw, raw.soft_breaks));
  }
  return cached_;
}

TextBox::RawText TextBox::Raw() const {
  return {document()->toRawText(), SoftBreaks(1, blockCount() - 1)};
}

void TextBox::KeepText(lanzhou::Text text) const {
  cached_ = std::move(text);
  cache_valid_ = true;
}

std::vector<qsizetype> TextBox::SoftBreaks(int first, int last) const {
  std::vector<qsizetype> soft;
  if (!may_have_soft_breaks_) return soft;
  int n = first;
  for (QTextBlock block = document()->findBlockByNumber(first); block.isValid() && n <= last;
       block = block.next(), ++n) {
    if (FollowsSoftBreak(block)) soft.push_back(block.position() - 1);
  }
  return soft;
}

void TextBox::MarkBlocks(int first, int last, const std::vector<int>& soft) {
  auto next_soft = soft.begin();
  int n = 0;
  for (QTextBlock block = document()->findBlockByNumber(first);
       block.isValid() && first + n <= last; block = block.next(), ++n) {
    while (next_soft != soft.end() && *next_soft < n) ++next_soft;
    const bool want = next_soft != soft.end() && *next_soft == n;
    if (FollowsSoftBreak(block) != want) SetFollowsSoftBreak(block, want);
  }
  if (!soft.empty()) may_have_soft_breaks_ = true;
}

void TextBox::keyPressEvent(QKeyEvent* event) {
  // Ctrl+Y redoes on every desktop, as users of the program expect, besides the desktop's key.
  const bool redo = event->matches(QKeySequence::Redo) ||
                    event->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
  if (!isReadOnly() && (event->matches(QKeySequence::Undo) || redo)) {
    redo ? Redo() : Undo();
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
  // Enter copies the block format, soft-break mark included, to the block it starts; that
  // block follows a line end.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter || (event->modifiers() & Qt::ShiftModifier) || isReadOnly()) return;
  QTextCursor cursor = textCursor();
  if (cursor.positionInBlock() == 0 && FollowsSoftBreak(cursor.block())) {
    cursor.joinPreviousEditBlock();
    SetFollowsSoftBreak(cursor.block(), false);
    cursor.endEditBlock();
  }
}

void TextBox::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu(event->pos());
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // The menu's undo and redo see only the current document.
  const bool editable = !isReadOnly();
  for (QAction* action : menu->actions()) {
    const bool undo = action->objectName() == u"edit-undo";
    if (!undo && action->objectName() != u"edit-redo") continue;
    disconnect(action, &QAction::triggered, nullptr, nullptr);
    connect(action, &QAction::triggered, this, undo ? &TextBox::Undo : &TextBox::Redo);
    action->setEnabled(editable && (undo ? document()->isUndoAvailable() || !undone_.empty()
                                         : document()->isRedoAvailable() || !redone_.empty()));
  }
  menu->popup(event->globalPos());
}

void TextBox::insertFromMimeData(const QMimeData* source) {
  if (isReadOnly() || source == nullptr || !source->hasText()) {
    QPlainTextEdit::insertFromMimeData(source);
    return;
  }
  InsertContent(PastedBoxContent(source->text()));
}

void TextBox::CopyFromElsewhere(QDropEvent* event) const {
  if (event->isAccepted() && event->source() != this &&
      (event->possibleActions() & Qt::CopyAction)) {
    event->setDropAction(Qt::CopyAction);
  }
}

void TextBox::dragEnterEvent(QDragEnterEvent* event) {
  QPlainTextEdit::dragEnterEvent(event);
  CopyFromElsewhere(event);
}

void TextBox::dragMoveEvent(QDragMoveEvent* event) {
  QPlainTextEdit::dragMoveEvent(event);
  CopyFromElsewhere(event);
}

void TextBox::dropEvent(QDropEvent* event) {
  std::optional<std::vector<lanzhou::Text>> files;
  if (load_files_ && !isReadOnly()) files = DroppedLocalFiles(event->mimeData());
  if (!files) {
    QPlainTextEdit::dropEvent(event);
    CopyFromElsewhere(event);
    return;
  }
  event->setDropAction(Qt::CopyAction);  // the files stay where they are
  event->accept();
  QDragLeaveEvent end_of_drag;  // takes the drop caret away
  QPlainTextEdit::dragLeaveEvent(&end_of_drag);
  setTextCursor(cursorForPosition(event->position().toPoint()));
  InsertFiles(*files);
}

void TextBox::InsertFiles(const std::vector<lanzhou::Text>& paths) {
  if (!load_files_ || isReadOnly()) return;
  const BoxContent content = load_files_(paths);
  if (!content.text.isEmpty()) InsertContent(content, between_pieces_);
}

void TextBox::InsertContent(const BoxContent& content, const std::function<void()>& between) {
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  const int before = cursor.blockNumber();
  InsertInPieces(cursor, content.text, between);
  // The blocks the paste starts copy the format of the one it went into: set each mark.
  // Soft block numbers count from the block the paste went into.
  std::vector<int> soft = content.soft_blocks;
  for (int& n : soft) n -= 1;
  MarkBlocks(before + 1, cursor.blockNumber(), soft);
  cursor.endEditBlock();
  setTextCursor(cursor);
  ensureCursorVisible();
}

QMimeData* TextBox::createMimeDataFromSelection() const {
  const QTextCursor cursor = textCursor();
  if (!cursor.hasSelection()) return QPlainTextEdit::createMimeDataFromSelection();
  const int start = cursor.selectionStart();
  std::vector<qsizetype> soft =
      SoftBreaks(document()->findBlock(start).blockNumber() + 1,
                 document()->findBlock(cursor.selectionEnd()).blockNumber());
  for (qsizetype& position : soft) position -= start;
  auto* mime = new QMimeData;
  mime->setText(BoxPlainText(cursor.selectedText(), soft, u"\n"));
  return mime;
}

}  // namespace lanzhou
