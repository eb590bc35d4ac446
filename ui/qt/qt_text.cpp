#include "ui/qt/qt_text.h"

#include <string>

#include "text/encoding.h"

namespace lanzhou {
namespace {

constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kFrameStart = 0xFDD0;  // what a document reads as frame borders
constexpr char16_t kFrameEnd = 0xFDD1;

// Lays `text` out in blocks (see BoxContent). With `keep_lone`, a lone CR or LF is a
// character; without, it ends a line.
BoxContent MakeBoxContent(QStringView text, bool keep_lone) {
  BoxContent content;
  // Line ends only shrink; soft breaks add at most one unit per kBoxBlockLimit.
  content.text.resize(text.size() + text.size() / kBoxBlockLimit + 1);
  char16_t* const begin = reinterpret_cast<char16_t*>(content.text.data());
  char16_t* out = begin;
  char16_t* block_start = begin;
  int lines = 1;  // in the current block
  int block = 0;
  const char16_t* in = text.utf16();
  const char16_t* const end = in + text.size();
  while (in != end) {
    char16_t c = *in++;
    bool line_end = false;
    switch (c) {
      case u'\r':
        if (in != end && *in == u'\n') {
          ++in;
          line_end = true;
        } else if (keep_lone) {
          c = kBoxLoneCr;
        } else {
          line_end = true;
        }
        break;
      case u'\n':
        if (keep_lone) {
          c = kBoxLoneLf;
        } else {
          line_end = true;
        }
        break;
      case kParagraphSeparator:
      case kFrameStart:
      case kFrameEnd:
        line_end = true;
        break;
      default:
        break;
    }
    if (line_end) {
      if (lines >= kBoxGroupLines || out - block_start >= kBoxGroupChars) {
        *out++ = u'\n';
        block_start = out;
        lines = 1;
        ++block;
      } else {
        *out++ = kLineSeparator;
        ++lines;
      }
      continue;
    }
    // A long run is cut, but never between the halves of a surrogate pair.
    if (out - block_start >= kBoxBlockLimit && !QChar::isLowSurrogate(c)) {
      *out++ = u'\n';
      block_start = out;
      lines = 1;
      content.soft_blocks.push_back(++block);
    }
    *out++ = c;
  }
  content.text.truncate(out - begin);
  return content;
}

}  // namespace

QString ToQString(const Text& text) {
  const std::string utf8 = ToUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text FromQString(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

BoxContent ToBoxContent(const Text& text) { return MakeBoxContent(ToQString(text), true); }

BoxContent PastedBoxContent(QStringView pasted) { return MakeBoxContent(pasted, false); }

QString BoxPlainText(QStringView raw, std::span<const qsizetype> soft_breaks,
                     QStringView line_end) {
  qsizetype breaks = 0;
  for (QChar c : raw) {
    breaks += c.unicode() == kParagraphSeparator || c.unicode() == kLineSeparator ||
              c.unicode() == kFrameStart || c.unicode() == kFrameEnd;
  }
  QString plain;
  plain.resize(raw.size() + breaks * qMax<qsizetype>(0, line_end.size() - 1));
  char16_t* const begin = reinterpret_cast<char16_t*>(plain.data());
  char16_t* out = begin;
  const char16_t* const in = raw.utf16();
  auto soft = soft_breaks.begin();
  for (qsizetype i = 0; i < raw.size(); ++i) {
    const char16_t c = in[i];
    switch (c) {
      case kParagraphSeparator:
        while (soft != soft_breaks.end() && *soft < i) ++soft;
        if (soft != soft_breaks.end() && *soft == i) break;
        [[fallthrough]];
      case kLineSeparator:
      case kFrameStart:
      case kFrameEnd:
        for (QChar e : line_end) *out++ = e.unicode();
        break;
      case kBoxLoneCr:
        *out++ = u'\r';
        break;
      case kBoxLoneLf:
        *out++ = u'\n';
        break;
      default:
        *out++ = c;
    }
  }
  plain.truncate(out - begin);
  return plain;
}

Text FromBoxRawText(QStringView raw, std::span<const qsizetype> soft_breaks) {
  return FromQString(BoxPlainText(raw, soft_breaks, u"\r\n"));
}

}  // namespace lanzhou
