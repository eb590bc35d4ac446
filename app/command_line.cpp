#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace lanzhou {
namespace {

// QApplication's and QGuiApplication's options, which it takes out of argv itself.
constexpr std::array<std::string_view, 15> kQtOptionsWithValue = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "title",         "name",
    "style",           "stylesheet",         "fontengine"};
constexpr std::array<std::string_view, 6> kQtFlags = {"reverse", "widgetcount", "nograb",
                                                      "dograb",  "sync",        "qmljsdebugger"};

bool Contains(const auto& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

}  // namespace

const char* const kUsage =
    "Usage: lanzhou [FILE...]\n"
    "The desktop program of the Lanzhou data tool. Its pages: 排序操作 (reorder the columns of\n"
    "a delimited file), 数据合并操作 (merge two lists), 数据去重处理 (remove repeated lines),\n"
    "折行处理 (wrap text), 文本分割 (extract fields), 数据清洗 (clean up lines) and 信息提取\n"
    "(find phone numbers, e-mail addresses and the like, keep or drop lines by keyword).\n"
    "FILEs load as if dropped on the window's first page. lanzhou-cli does the same on files\n"
    "and pipes.\n"
    "\n"
    "  -h, --help     show this help\n"
    "  --version      show the version\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are understood too.\n";

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool options_end = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (options_end || argument.size() < 2 || argument[0] != '-') {
      line.files.push_back(arguments[i]);
      continue;
    }
    if (argument == "--") {
      options_end = true;
    } else if (argument == "--help" || argument == "-h") {
      return CommandLine{CommandLine::Action::kHelp, {}, {}};
    } else if (argument == "--version") {
      return CommandLine{CommandLine::Action::kVersion, {}, {}};
    } else {
      // Qt reads "--style" as "-style" and "-style=fusion" as "-style fusion".
      std::string_view name = argument.substr(argument[1] == '-' ? 2 : 1);
      const size_t equals = name.find('=');
      const bool joined_value = equals != std::string_view::npos;
      if (joined_value) name = name.substr(0, equals);
      if (Contains(kQtOptionsWithValue, name)) {
        if (!joined_value) ++i;
      } else if (!Contains(kQtFlags, name)) {
        return CommandLine{CommandLine::Action::kUsageError, {}, arguments[i]};
      }
    }
  }
  return line;
}

}  // namespace lanzhou
