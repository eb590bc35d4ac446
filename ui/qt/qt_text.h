// Text <-> QString at the widget boundary. Every conversion goes through UTF-8
// (text/encoding.h), so GB18030 characters outside GBK survive the round trip.
#ifndef LANZHOU_UI_QT_QT_TEXT_H_
#define LANZHOU_UI_QT_QT_TEXT_H_

#include <QString>
#include <QStringView>
#include <span>
#include <vector>

#include "text/text.h"

namespace lanzhou {

// ToQString(FromUtf8("中")) == QString::fromUtf8("中").
QString ToQString(const Text& text);
Text FromQString(const QString& text);

// What a multi-line box's document holds for a text (see ui/qt/text_box.h).
//
// Every block of a text document costs it a few microseconds and some memory, and a block
// is laid out whole, so a million one-line blocks take seconds to fill and one long line
// takes seconds to show. The document therefore gets few blocks of bounded size:
// - consecutive lines share a block, joined by U+2028 (a line break inside a block), up to
//   kBoxGroupLines lines or until the block holds kBoxGroupChars code units;
// - a line longer than kBoxBlockLimit code units is cut into several blocks; the breaks
//   between them are soft: they show as line breaks but are not part of the text. A cut
//   never falls inside a surrogate pair.
// Both forms read back as the text they came from.
struct BoxContent {
  QString text;                  // blocks separated by '\n', lines within a block by U+2028
  std::vector<int> soft_blocks;  // ascending numbers (0 = first) of the blocks after a soft break
};

inline constexpr int kBoxGroupLines = 64;
inline constexpr qsizetype kBoxGroupChars = 2048;
inline constexpr qsizetype kBoxBlockLimit = 8192;

// A lone CR or LF inside a box's text stands for itself, not for a line break; the
// document keeps it as one of these noncharacters.
inline constexpr char16_t kBoxLoneCr = 0xFDD2;
inline constexpr char16_t kBoxLoneLf = 0xFDD3;

// For a handler's text: lines end in CR LF; a lone CR or LF is kept as kBoxLoneCr/Lf, so
// the text reads back byte for byte. U+2029, U+FDD0 and U+FDD1, which a document cannot
// hold as characters, end a line (they read back as CR LF), as does U+2028.
// ToBoxContent(Text("a\r\nb\rc")).text == u"a\u2028b\uFDD2c". Limit: U+FDD2 and U+FDD3
// in the text itself come back as CR and LF.
BoxContent ToBoxContent(const Text& text);
// For pasted text: CR LF, a lone CR and a lone LF all end a line, as when typing.
BoxContent PastedBoxContent(QStringView pasted);

// The inverse, from the document's raw text (blocks separated by U+2029) and the positions
// in it of the soft breaks (ascending): each line break becomes `line_end`, a soft break
// disappears, kBoxLoneCr/Lf become CR/LF. Every other character is kept, U+00A0 too.
// BoxPlainText(u"a\u2029b\u2028c", {}, u"\r\n") == u"a\r\nb\r\nc";
// BoxPlainText(u"ab\u2029cd", {2}, u"\n") == u"abcd".
QString BoxPlainText(QStringView raw, std::span<const qsizetype> soft_breaks, QStringView line_end);
Text FromBoxRawText(QStringView raw, std::span<const qsizetype> soft_breaks);

}  // namespace lanzhou

#endif  // LANZHOU_UI_QT_QT_TEXT_H_
