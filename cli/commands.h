// The five subcommands of lanzhou-cli: read the input, run the page's own operation, write
// the result. Nothing here computes a result itself.
#ifndef LANZHOU_CLI_COMMANDS_H_
#define LANZHOU_CLI_COMMANDS_H_

#include "cli/options.h"

namespace lanzhou::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;  // a usage error, also an empty list A for merge
inline constexpr int kExitFile = 2;   // an input or output file could not be read or written

// Runs `options.command`; messages (one line each) go to standard error. The output file, if
// any, is either written whole or left as it was.
int RunCommand(const Options& options);

}  // namespace lanzhou::cli

#endif  // LANZHOU_CLI_COMMANDS_H_
