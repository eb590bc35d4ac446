#include "ui/qt/qt_translations.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace lanzhou {
namespace {

TEST(QtTranslations, TheLocalesLanguageWhenQtHasItElseChinese) {
  struct Case {
    const char* locale;
    const char* language;  // as the translation file names it
    const char* look_in;   // what the file dialog then says for "Look in:"
  } cases[] = {
      {"zh_CN", "zh_CN", "查找范围："},
      {"de_DE", "de_DE", "Suchen in:"},
      {"C", "zh_CN", "查找范围："},
      {"sw_KE", "zh_CN", "查找范围："},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstallQtTranslations(QLocale(QString::fromUtf8(c.locale))).toStdString(),
              c.language);
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:").toStdString(), c.look_in)
        << c.locale;
  }
  InstallQtTranslations(QLocale(QStringLiteral("zh_CN")));
}

}  // namespace
}  // namespace lanzhou
