// lanzhou-cli: the page operations of the lanzhou window for files and pipes.
#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "io/process_start.h"

int main(int argc, char** argv) {
  lanzhou::StartProcess();
  using lanzhou::cli::ParseResult;
  std::vector<std::string_view> args(argv + 1, argv + argc);
  ParseResult parsed = lanzhou::cli::ParseCommandLine(args);
  switch (parsed.kind) {
    case ParseResult::Kind::kHelp:
    case ParseResult::Kind::kVersion:
      std::fwrite(parsed.text.data(), 1, parsed.text.size(), stdout);
      return std::fflush(stdout) == 0 ? lanzhou::cli::kExitOk : lanzhou::cli::kExitFile;
    case ParseResult::Kind::kUsageError:
      std::fprintf(stderr, "%s\n", parsed.text.c_str());
      return lanzhou::cli::kExitUsage;
    case ParseResult::Kind::kRun:
      break;
  }
  return lanzhou::cli::RunCommand(parsed.options);
}
