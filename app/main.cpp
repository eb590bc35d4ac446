// lanzhou: the desktop program.
#include <QApplication>
#include <QIcon>
#include <cstdlib>

#include "app/main_window.h"
#include "app/module_hooks.h"
#include "ui/qt/qt_translations.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The installed menu entry and icon (packaging/) carry this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.example.Lanzhou"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.example.Lanzhou")));
  lanzhou::InstallQtTranslations();
  lanzhou::ConstructModules();
  std::atexit(lanzhou::CleanUpModules);
  lanzhou::StartModules();
  int status = 0;
  {
    lanzhou::MainWindow window;
    window.show();
    status = app.exec();
  }
  lanzhou::CleanUpModules();
  return status;
}
