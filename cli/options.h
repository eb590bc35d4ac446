// The command line of lanzhou-cli: subcommands, their options and the help texts.
//
// Options may stand before or after the other arguments, and the common ones also before the
// subcommand:  lanzhou-cli --input-encoding gbk extract data.txt -f 2
// The options are read by glibc's getopt_long: a value follows as the next argument or is
// attached ("-f2", "--datum=x"), short options without a value may be grouped ("-pw5"), a
// long option may be shortened while it stays unambiguous ("--dat=x"); "--" ends the options
// and "-" is an argument (standard input).
//
// Text given as a value (FIELDS, DELIM, ORDER, OUTDELIM, the datum) is decoded as UTF-8 when
// it is valid UTF-8 and taken as GBK bytes otherwise (`TextFromArgument`). File names are
// kept as the bytes the shell gave.
#ifndef LANZHOU_CLI_OPTIONS_H_
#define LANZHOU_CLI_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/mask.h"
#include "text/encoding.h"
#include "text/finders.h"
#include "text/keyword_filter.h"
#include "text/normalize.h"
#include "text/text.h"

namespace lanzhou::cli {

enum class Command {
  kExtract,
  kDedupe,
  kWrap,
  kReorder,
  kMerge,
  kNormalize,
  kFind,
  kFilter,
  kMask
};
// kSame writes in the encoding the input was read in.
enum class OutputEncoding { kSame, kGbk, kUtf8 };

struct Options {
  Command command = Command::kExtract;
  // Input files as given; "-" is standard input. Extract, dedupe and wrap hold exactly one
  // ("-" when none was given).
  std::vector<std::string> files;
  // -o: the output file; standard output when absent.
  std::optional<std::string> output;
  InputEncoding input_encoding = InputEncoding::kAuto;
  OutputEncoding output_encoding = OutputEncoding::kSame;

  Text fields = Text("1");          // extract -f, the field numbers as typed on the page
  int width = 0;                    // wrap -w, at least 1
  bool filter_punctuation = false;  // wrap -p
  Text delimiter;                   // reorder -d, never empty
  std::optional<Text> order;        // reorder -c; absent means 1,2,...,n
  Text out_delimiter = Text("|");   // reorder -s
  std::optional<Text> datum;        // merge --datum: fixed-datum mode
  Folds folds;                      // normalize --width ... --drop-empty
  std::string script;               // normalize --s2t, --t2s, --config: OpenCC's configuration
  // dedupe --ignore: what the comparison of lines ignores
  bool ignore_width = false, ignore_blanks = false, ignore_case = false, ignore_script = false;
  FinderChoice finders;            // find --phone ... -e PATTERN
  bool distinct = false;           // find --distinct
  bool with_line = false;          // find --with-line
  bool keep = true;                // filter --keep (true) or --drop
  std::string keywords_file;       // filter -k, as given
  KeywordOptions keyword_options;  // filter --whole-line, --ignore-case
  MaskChoice mask;                 // mask --phone ... --name -f K -d DELIM --char C

  int threads = 0;                 // --threads; 0: the machine's cores
  std::uint64_t memory_limit = 0;  // dedupe --memory, in bytes; 0: a share of the machine's
  bool quiet = false;              // --quiet: no progress line on a terminal
  bool take_ownership = false;     // --take-ownership: -o may replace another user's file
};

struct ParseResult {
  enum class Kind {
    kRun,         // `options` is complete
    kHelp,        // print `text` to standard output, exit 0
    kVersion,     // likewise
    kUsageError,  // print `text` (one line) to standard error, exit 1
  };
  Kind kind = Kind::kRun;
  Options options;
  std::string text;
};

// Parses the arguments after the program name. Never fails otherwise than by kUsageError.
//   ParseCommandLine({"wrap", "in.txt", "-w", "40"}) -> kRun, width 40, files {"in.txt"}
//   ParseCommandLine({"wrap", "in.txt"})             -> kUsageError "wrap: -w WIDTH is required"
ParseResult ParseCommandLine(std::span<const std::string_view> args);

// The command's name as typed: NameOf(Command::kMerge) == "merge".
std::string_view NameOf(Command command);

// A size in bytes as typed: digits with an optional K, M, G or T (units of 1024), "B" or
// "iB" after it allowed; nothing on anything else or on 0.
//   ParseByteSize("512M") == 536870912    ParseByteSize("2GiB") == 2147483648
std::optional<std::uint64_t> ParseByteSize(std::string_view text);

// UTF-8 when `argument` is valid UTF-8, otherwise its bytes unchanged (GBK).
Text TextFromArgument(std::string_view argument);

// The program's help (no command) or the subcommand's.
std::string HelpText(std::optional<Command> command);
std::string VersionText();

}  // namespace lanzhou::cli

#endif  // LANZHOU_CLI_OPTIONS_H_
