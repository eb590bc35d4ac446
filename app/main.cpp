// lanzhou: the desktop program.
//   lanzhou [FILE...]   files named here load as if dropped on the first page
//   lanzhou --help | --version   answer without a display
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/main_window.h"
#include "app/module_hooks.h"
#include "io/process_start.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_translations.h"
#include "ui/save_folder.h"

#ifndef LANZHOU_VERSION
#define LANZHOU_VERSION "0.0.0"
#endif

namespace {

constexpr const char* kHelp =
    "Usage: lanzhou [FILE...]\n"
    "The desktop program of the Lanzhou data tool: reorder the columns of a delimited file,\n"
    "merge two lists, remove repeated lines, wrap text and extract fields. FILEs load as if\n"
    "dropped on the window's first page. lanzhou-cli does the same on files and pipes.\n"
    "\n"
    "  -h, --help     show this help\n"
    "  --version      show the version\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are understood too.\n";

// What the command line asks before any window is made: 0 none, else the exit status after
// the answer was printed. Qt's options are left for QApplication.
int AnswerWithoutDisplay(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 1;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs("lanzhou " LANZHOU_VERSION "\n", stdout);
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  lanzhou::StartProcess();
  if (AnswerWithoutDisplay(argc, argv) != 0) return std::fflush(stdout) == 0 ? 0 : 1;
  QApplication app(argc, argv);
  std::vector<lanzhou::Text> files;
  bool options_end = false;
  for (const QString& argument : QCoreApplication::arguments().mid(1)) {
    if (!options_end && argument == QStringLiteral("--")) {
      options_end = true;
    } else if (!options_end && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
      std::fprintf(stderr, "lanzhou: unknown option '%s'\nTry 'lanzhou --help'.\n",
                   qPrintable(argument));
      return 2;
    } else {
      files.push_back(lanzhou::FromQString(argument));
    }
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
