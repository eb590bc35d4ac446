#include "services/qt/qt_text.h"

#include <string>

#include "services/encoding.h"

namespace lanzhou {

QString ToQString(const Text& text) {
  const std::string utf8 = ToUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text FromQString(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString ToQStringLines(const Text& text) {
  QString s = ToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

Text FromQStringLines(const QString& text) {
  // The text document may report paragraph separators instead of "\n".
  QString s = text;
  s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  s.replace(QChar::LineSeparator, QLatin1Char('\n'));
  const Text gb = FromQString(s);
  std::string out;
  out.reserve(gb.size() + gb.size() / 16);
  char previous = 0;
  for (char c : gb.view()) {
    if (c == '\n' && previous != '\r') out += '\r';
    out += c;
    previous = c;
  }
  return Text(std::move(out));
}

}  // namespace lanzhou
