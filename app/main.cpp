// lanzhou: the desktop program.
//   lanzhou [FILE...]   files named here load as if dropped on the first page
//   lanzhou --help | --version   answer without a display
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/module_hooks.h"
#include "io/process_start.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_translations.h"
#include "ui/save_folder.h"

#ifndef LANZHOU_VERSION
#define LANZHOU_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  lanzhou::StartProcess();
  // Answered before QApplication exists: it would abort without a display.
  const lanzhou::CommandLine line =
      lanzhou::ReadCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  switch (line.action) {
    case lanzhou::CommandLine::Action::kHelp:
      std::fputs(lanzhou::kUsage, stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case lanzhou::CommandLine::Action::kVersion:
      std::fputs("lanzhou " LANZHOU_VERSION "\n", stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case lanzhou::CommandLine::Action::kUsageError:
      std::fprintf(stderr, "lanzhou: unknown option '%s'\n%s", line.bad_option.c_str(),
                   lanzhou::kUsage);
      return 2;
    case lanzhou::CommandLine::Action::kRun:
      break;
  }
  QApplication app(argc, argv);
  std::vector<lanzhou::Text> files;
  for (const std::string& file : line.files) {
    files.push_back(lanzhou::FromQString(QString::fromLocal8Bit(file)));
  }
  // The installed menu entry and icon (packaging/) carry this name.
  const QString id = QString::fromUtf8(lanzhou::kDesktopEntryId);
  QGuiApplication::setDesktopFileName(id);
  QApplication::setWindowIcon(QIcon::fromTheme(id));
  lanzhou::InstallQtTranslations();
  lanzhou::ConstructModules();
  std::atexit(lanzhou::CleanUpModules);
  lanzhou::StartModules();
  int status = 0;
  {
    lanzhou::MainWindow window;
    window.show();
    // Once the loop runs, so the delimiter prompt of the first page opens over the window.
    if (!files.empty())
      QTimer::singleShot(0, &window, [&] { window.DropFilesOnCurrentPage(files); });
    status = app.exec();
  }
  lanzhou::CleanUpModules();
  return status;
}
