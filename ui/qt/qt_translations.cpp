#include "ui/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace lanzhou {

QString InstallQtTranslations(const QLocale& locale) {
  static QPointer<QTranslator> installed;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
  }
  auto* translator = new QTranslator(QCoreApplication::instance());
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
      !translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                        QStringLiteral("_"), folder)) {
    delete translator;
    return QString();
  }
  QCoreApplication::installTranslator(translator);
  installed = translator;
  return translator->language();
}

}  // namespace lanzhou
