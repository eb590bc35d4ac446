// lanzhou-cli's argument and output layer: random command lines (options, encodings, values
// and every kind of -o target) parsed and run on a random input. A usage error is one line;
// a run ends with status 0, 1 or 2; an output file holds the old content after a failure and
// exactly what the same command writes to a descriptor after a success (for merge, appended);
// nothing else is left in the folder.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;
using lanzhou::cli::ParseResult;

const char* const kTokens[] = {
    "extract",
    "dedupe",
    "wrap",
    "reorder",
    "merge",
    "-f",
    "-w",
    "-p",
    "-d",
    "-c",
    "-s",
    "-o",
    "OUT",
    "--datum",
    "IN",
    "IN",
    "IN",
    "--",
    "-",
    "-h",
    "gbk",
    "utf-8",
    "same",
    "auto",
    "1",
    "3|1",
    "2,1,9",
    "|",
    "10",
    "--version",
    "-pw3",
    "--input-encoding",
    "--output-encoding",
    "--dat=x",
    "4294967297",
    "0",
};

const fs::path& Folder() {
  static const fs::path folder = [] {
    std::string pattern = (fs::temp_directory_path() / "lanzhou-cli-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return fs::path(pattern);
  }();
  return folder;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the parsed command with standard error silenced; the exit status.
int Run(const lanzhou::cli::Options& options) {
  const int saved = dup(STDERR_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDERR_FILENO);
  close(null);
  const int status = lanzhou::cli::RunCommand(options);
  dup2(saved, STDERR_FILENO);
  close(saved);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lanzhou::fuzz::Escaped;
  FuzzedDataProvider in(data, size);
  const fs::path& dir = Folder();
  fs::remove_all(dir);
  fs::create_directory(dir);
  const std::string input_path = (dir / "in.txt").string();
  const std::string out_path = (dir / "out.txt").string();
  const bool out_exists = in.ConsumeBool();
  const bool out_is_link = in.ConsumeBool();

  std::vector<std::string> args;
  const int count = in.ConsumeIntegralInRange(0, 10);
  for (int i = 0; i < count; ++i) {
    if (in.ConsumeBool()) {
      args.push_back(in.PickValueInArray(kTokens));
    } else {
      args.push_back(in.ConsumeRandomLengthString(12));
    }
  }
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  std::ofstream(input_path, std::ios::binary) << bytes;
  const std::string old = "old\r\n";
  if (out_exists) std::ofstream(out_path, std::ios::binary) << old;
  if (out_is_link) fs::create_symlink("out.txt", dir / "link.txt");
  for (std::string& arg : args) {
    if (arg == "IN" || arg == "-") arg = input_path;  // standard input is never read
    if (arg == "OUT") arg = (dir / (out_is_link ? "link.txt" : "out.txt")).string();
  }
  std::string detail = "args";
  for (const std::string& arg : args) detail += " \"" + Escaped(arg) + "\"";
  detail += " input \"" + Escaped(bytes) + "\"";

  const std::vector<std::string_view> views(args.begin(), args.end());
  ParseResult parsed = lanzhou::cli::ParseCommandLine(views);
  switch (parsed.kind) {
    case ParseResult::Kind::kUsageError:
      FUZZ_CHECK(
          // One message (an argument it quotes may hold a line end of its own).
          parsed.text.starts_with("lanzhou-cli: ") && parsed.text.ends_with(" --help)"),
          detail + " message \"" + Escaped(parsed.text) + "\"");
      return 0;
    case ParseResult::Kind::kHelp:
    case ParseResult::Kind::kVersion:
      FUZZ_CHECK(parsed.text.ends_with("\n"), detail);
      return 0;
    case ParseResult::Kind::kRun:
      break;
  }
  lanzhou::cli::Options& options = parsed.options;
  // Absolute names could reach the fuzzer's own standard input (/dev/stdin) or a terminal;
  // relative ones name nothing, or the fuzzer's scratch files, and exercise failed reads.
  for (std::string& file : options.files) {
    if (file == "-" || file.starts_with('/')) file = input_path;
  }
  // Standard output is the fuzzer's: the result goes to an unnamed memory file instead,
  // through its /proc/self/fd name, and then to the -o file (or out.txt).
  const std::string target = options.output && *options.output != "-" ? *options.output : out_path;
  if (target != out_path && target != (dir / "link.txt").string()) return 0;  // odd names
  const int memory = memfd_create("result", 0);
  options.output = "/proc/self/fd/" + std::to_string(memory);
  const int to_memory = Run(options);
  std::string result(static_cast<std::size_t>(lseek(memory, 0, SEEK_END)), '\0');
  FUZZ_CHECK(pread(memory, result.data(), result.size(), 0) == static_cast<ssize_t>(result.size()),
             detail);
  close(memory);
  options.output = target;
  const int to_file = Run(options);
  detail += " status " + std::to_string(to_file) + " result \"" + Escaped(result) + "\"";
  FUZZ_CHECK(to_file == to_memory && to_file >= 0 && to_file <= 2, detail);

  const bool merge = options.command == lanzhou::cli::Command::kMerge;
  const std::string now = Slurp(out_path);
  if (to_file != 0) {
    FUZZ_CHECK(out_exists ? now == old : !fs::exists(out_path), detail);
  } else if (merge) {
    // A merge with nothing to join creates no file.
    FUZZ_CHECK(now == (out_exists ? old : "") + result, detail + " file \"" + Escaped(now) + "\"");
  } else {
    FUZZ_CHECK(now == result, detail + " file \"" + Escaped(now) + "\"");
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    FUZZ_CHECK(name == "in.txt" || name == "out.txt" || name == "link.txt",
               detail + " stray file " + name);
  }
  return 0;
}
