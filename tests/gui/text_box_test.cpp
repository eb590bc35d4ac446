// The multi-line box: texts round-trip byte for byte through the real document (long lines,
// many lines, lone CR and LF), and typing, pasting, undo and copying never let the layout's
// soft breaks into the text.
#include "ui/qt/text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/utf8_text.h"
#include "text/encoding.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {
namespace {

std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

// Makes the box read its document again instead of the text it keeps.
void Touch(TextBox& box) {
  QTextCursor cursor(box.document());
  cursor.insertText(QStringLiteral("x"));
  cursor.deletePreviousChar();
}

void PlaceCursor(TextBox& box, int position) {
  QTextCursor cursor = box.textCursor();
  cursor.setPosition(position);
  box.setTextCursor(cursor);
}

TEST(TextBox, TextsComeBackByteForByte) {
  // U+00A0 stays: the document's plain-text view would give a space.
  const std::string nbsp_and_emoji = "\x81\x30\x84\x32 " + U("😀").bytes();
  const std::string many_lines = Repeat(U("第").bytes() + "1\r\n", 1000) + "\r\n";
  const std::string long_line = Repeat("abcdefg ", 3000);
  // The cut after 8192 units would fall between the halves of a surrogate pair.
  const std::string pair_at_cut = std::string(8191, 'a') + Repeat(U("😀").bytes(), 5000);
  const std::string long_chinese =
      U("前").bytes() + "\r\n" + Repeat(U("兰州").bytes(), 12000) + "\r\n\r\n";
  const std::string cases[] = {
      "",
      "a\r\nb",
      "a\rb",
      "a\nb",
      "a\r\r\nb",
      "a\n\r\nb\r",
      "\r\n",
      "x\r\n",
      "\r\n\r\n\r",
      "\n",
      nbsp_and_emoji,
      many_lines,
      long_line,
      pair_at_cut,
      long_chinese,
      long_line + "\r\n" + many_lines + "\n" + pair_at_cut + "\r" + long_chinese,
      // Filled in several pieces when set a piece at a time.
      Repeat(many_lines + long_line + "\r\n" + pair_at_cut + "\r\n", 12),
  };
  TextBox box;
  TextBox in_pieces;
  // Replaced a piece at a time: one undo brings back what was there before.
  TextBox replaced;
  const Text before("typed\r\n" + Repeat(U("兰州").bytes() + "\r\n", 70'000) + long_line);
  for (const std::string& bytes : cases) {
    const Text text(bytes);
    box.SetText(text);
    int pieces = 0;
    in_pieces.SetContent(ToBoxContent(text), text, [&] { ++pieces; });
    EXPECT_EQ(in_pieces.document()->toRawText(), box.document()->toRawText());
    EXPECT_EQ(pieces > 1, bytes.size() > 600'000);
    Touch(in_pieces);
    EXPECT_EQ(in_pieces.Text(), text) << "in pieces: " << bytes.substr(0, 40);
    replaced.SetText(before);
    pieces = 0;
    replaced.ReplaceContent(ToBoxContent(text), text, [&] { ++pieces; });
    EXPECT_EQ(replaced.document()->toRawText(), box.document()->toRawText());
    EXPECT_EQ(pieces > 1, bytes.size() > 600'000);
    replaced.Undo();
    EXPECT_EQ(replaced.Text(), before) << "undone: " << bytes.substr(0, 40);
    replaced.Redo();
    Touch(replaced);
    EXPECT_EQ(replaced.Text(), text) << "replaced: " << bytes.substr(0, 40);
    EXPECT_EQ(box.Text(), text) << "kept: " << bytes.substr(0, 40);
    Touch(box);
    EXPECT_EQ(box.Text(), text) << "read: " << bytes.substr(0, 40);
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
      ASSERT_LE(block.length(), kBoxBlockLimit + 2);  // a pair and the separator
      ASSERT_FALSE(block.text().startsWith(QChar(QChar::lowSurrogate(0x1F600))));
    }
  }
}

TEST(TextBox, ShowsLinesAsTheWidgetDoes) {
  TextBox box;
  box.SetText(U("第一行\r\n😀 second\r\n\r\nlast\r\n"));
  EXPECT_EQ(box.toPlainText(), QString::fromUtf8("第一行\n😀 second\n\nlast\n"));
  box.setPlainText(QStringLiteral("x\ny\n"));
  EXPECT_EQ(box.Text(), Text("x\r\ny\r\n"));
}

// Undo and redo walk the typed edits and the rewrites as one history, from the keys and from
// the context menu alike; typing after an undo ends what redo had.
TEST(TextBox, UndoAndRedoCrossRewrites) {
  enum Act { kType, kRewrite, kUndo, kRedo, kMenuUndo, kMenuRedo };
  const struct {
    Act act;
    const char* text;  // typed or rewritten
    const char* shown;
  } steps[] = {
      {kType, "b", "ba"},  {kRewrite, "R1", "R1"}, {kType, "c", "cR1"},   {kRewrite, "R2", "R2"},
      {kUndo, "", "cR1"},  {kMenuUndo, "", "R1"},  {kUndo, "", "ba"},     {kUndo, "", "a"},
      {kUndo, "", "a"},    {kRedo, "", "ba"},      {kMenuRedo, "", "R1"}, {kRedo, "", "cR1"},
      {kRedo, "", "R2"},   {kRedo, "", "R2"},      {kUndo, "", "cR1"},    {kUndo, "", "R1"},
      {kType, "d", "dR1"}, {kRedo, "", "dR1"},     {kUndo, "", "R1"},     {kUndo, "", "ba"},
  };
  TextBox box;
  box.SetText(Text("a"));
  box.show();
  auto from_menu = [&](const char* name) {
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                            box.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(box.viewport(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* action = menu->findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_NE(action, nullptr) << name;
    if (action->isEnabled()) action->trigger();
    menu->close();
  };
  int n = 0;
  for (const auto& step : steps) {
    switch (step.act) {
      case kType:
        QTest::keyClicks(&box, QString::fromLatin1(step.text));
        break;
      case kRewrite:
        box.ReplaceText(Text(step.text));
        break;
      case kUndo:
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        break;
      case kRedo:
        QTest::keyClick(&box, Qt::Key_Y, Qt::ControlModifier);
        break;
      case kMenuUndo:
        from_menu("edit-undo");
        break;
      case kMenuRedo:
        from_menu("edit-redo");
        break;
    }
    EXPECT_EQ(box.Text(), Text(step.shown)) << "step " << n;
    ++n;
  }
}

// "head", then 8187 a's, a soft break, the rest of the a's, then "tail".
class LongLineBox : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.SetText(Text("head\r\n" + std::string(20000, 'a') + "\r\ntail"));
    soft_ = box_.document()->findBlockByNumber(1).position();
    ASSERT_EQ(soft_, 8193);
  }
  static Text Expected(int a_before, const std::string& middle, int a_after) {
    return Text("head\r\n" + std::string(a_before, 'a') + middle + std::string(a_after, 'a') +
                "\r\ntail");
  }

  TextBox box_;
  int soft_ = 0;
};

TEST_F(LongLineBox, EnterAtOrAfterASoftBreakAddsOneLineEnd) {
  const int before_soft = soft_ - 6;  // a's in the first block
  for (int offset : {0, 1}) {
    SetUp();
    PlaceCursor(box_, soft_ + offset);
    QTest::keyClick(&box_, Qt::Key_Return);
    EXPECT_EQ(box_.Text(), Expected(before_soft + offset, "\r\n", 20000 - before_soft - offset))
        << offset;
    box_.undo();
    EXPECT_EQ(box_.Text(), Expected(20000, "", 0)) << offset;
    box_.redo();
    EXPECT_EQ(box_.Text(), Expected(before_soft + offset, "\r\n", 20000 - before_soft - offset))
        << offset;
  }
}

TEST_F(LongLineBox, DeletingAtASoftBreakTakesACharacterAndUndoRestoresIt) {
  PlaceCursor(box_, soft_);
  QTest::keyClick(&box_, Qt::Key_Backspace);  // the break itself: nothing of the text
  EXPECT_EQ(box_.Text(), Expected(20000, "", 0));
  QTest::keyClick(&box_, Qt::Key_Backspace);
  EXPECT_EQ(box_.Text(), Expected(19999, "", 0));
  box_.undo();
  box_.undo();
  EXPECT_EQ(box_.Text(), Expected(20000, "", 0));
  PlaceCursor(box_, soft_);
  QTest::keyClick(&box_, Qt::Key_Delete);
  QTest::keyClicks(&box_, QStringLiteral("xy"));
  EXPECT_EQ(box_.Text(), Expected(soft_ - 6, "xy", 20000 - (soft_ - 6) - 1));
}

TEST_F(LongLineBox, PastingIntoALongLineKeepsThePastedLineEnds) {
  // Long enough for blocks of its own, after both kinds of break.
  const std::string pasted =
      "1\r\n2\n3\r" + std::string(9000, 'b') + "\n" + Repeat("c\n", 70) + "4";
  std::string lines =
      "1\r\n2\r\n3\r\n" + std::string(9000, 'b') + "\r\n" + Repeat("c\r\n", 70) + "4";
  PlaceCursor(box_, soft_ + 2);
  QApplication::clipboard()->setText(QString::fromStdString(pasted));
  box_.paste();
  const int a = soft_ - 6 + 2;
  EXPECT_EQ(box_.Text(), Expected(a, lines, 20000 - a));
  box_.undo();
  EXPECT_EQ(box_.Text(), Expected(20000, "", 0));
  box_.redo();
  EXPECT_EQ(box_.Text(), Expected(a, lines, 20000 - a));
}

TEST_F(LongLineBox, CopiedTextHasNoSoftBreaks) {
  box_.selectAll();
  box_.copy();
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral("head\n") + QString(20000, QLatin1Char('a')) + QStringLiteral("\ntail"));
  QTextCursor cursor = box_.textCursor();
  cursor.setPosition(soft_ - 2);
  cursor.setPosition(soft_ + 2, QTextCursor::KeepAnchor);
  box_.setTextCursor(cursor);
  box_.copy();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("aaa"));
}

}  // namespace
}  // namespace lanzhou
