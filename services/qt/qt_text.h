// Text <-> QString at the widget boundary. Every conversion goes through UTF-8
// (services/encoding.h), so GB18030 characters outside GBK survive the round trip.
#ifndef LANZHOU_SERVICES_QT_QT_TEXT_H_
#define LANZHOU_SERVICES_QT_QT_TEXT_H_

#include <QString>

#include "services/text.h"

namespace lanzhou {

// ToQString(FromUtf8("中")) == QString::fromUtf8("中").
QString ToQString(const Text& text);
Text FromQString(const QString& text);

// Multi-line edit boxes hand out their lines separated by CR LF while the widget keeps "\n":
// ToQStringLines("a\r\nb") == "a\nb"; FromQStringLines("a\nb") == "a\r\nb". A lone CR is kept.
QString ToQStringLines(const Text& text);
Text FromQStringLines(const QString& text);

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_QT_QT_TEXT_H_
