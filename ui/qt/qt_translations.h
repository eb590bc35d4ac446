// Qt's own texts (the standard dialogs' labels and buttons) in the program's language, so
// that the file dialog does not speak English in an otherwise Chinese window.
#ifndef LANZHOU_UI_QT_QT_TRANSLATIONS_H_
#define LANZHOU_UI_QT_QT_TRANSLATIONS_H_

#include <QLocale>
#include <QString>

namespace lanzhou {

// Loads Qt's translations (Debian's qt6-translations-l10n, in QLibraryInfo's translations
// folder) for `locale` when Qt has them, else for zh_CN, as the window's texts are Chinese,
// and installs them in the application in place of those an earlier call installed.
// Returns the language loaded ("zh_CN", "de_DE"), empty when none could be (the package
// is missing: Qt then speaks English).
//   InstallQtTranslations(QLocale::c()) == "zh_CN"
QString InstallQtTranslations(const QLocale& locale = QLocale::system());

}  // namespace lanzhou

#endif  // LANZHOU_UI_QT_QT_TRANSLATIONS_H_
