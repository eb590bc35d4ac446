// What `lanzhou`'s command line asks, read once before any window or display exists.
#ifndef LANZHOU_APP_COMMAND_LINE_H_
#define LANZHOU_APP_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace lanzhou {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  // kRun: the files to load, as the command line spells them (the locale's bytes).
  std::vector<std::string> files;
  // kUsageError: the option that is not understood.
  std::string bad_option;
};

// Reads `arguments` (argv without argv[0]). --help/-h and --version answer at once; "--" ends
// the options; Qt's own options (-platform NAME, -style=NAME, --reverse, ...) are passed over
// with their values, for QApplication to take; any other word that starts with "-" is a usage
// error; the rest are files.
//   {"-platform", "offscreen", "a.txt"}  -> kRun, files {"a.txt"}
//   {"--", "-x"}                         -> kRun, files {"-x"}
//   {"--bogus"}                          -> kUsageError, bad_option "--bogus"
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

// The text --help prints; a usage error prints it to standard error after naming the option.
extern const char* const kUsage;

}  // namespace lanzhou

#endif  // LANZHOU_APP_COMMAND_LINE_H_
