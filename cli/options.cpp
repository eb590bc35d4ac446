#include "cli/options.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "services/text_primitives.h"

#ifndef LANZHOU_VERSION
#define LANZHOU_VERSION "0.0.0"
#endif

namespace lanzhou::cli {
namespace {

constexpr std::string_view kProgram = "lanzhou-cli";

struct CommandName {
  std::string_view name;
  Command command;
};
constexpr CommandName kCommands[] = {
    {"extract", Command::kExtract}, {"dedupe", Command::kDedupe}, {"wrap", Command::kWrap},
    {"reorder", Command::kReorder}, {"merge", Command::kMerge},
};

std::string_view NameOf(Command command) {
  for (const auto& c : kCommands) {
    if (c.command == command) return c.name;
  }
  return "";
}

// Which options a command takes. Common ones (-h, -o, the encodings, --version) go for all.
enum class Opt {
  kHelp,
  kVersion,
  kOutput,
  kInputEncoding,
  kOutputEncoding,
  kFields,
  kWidth,
  kPunctuation,
  kDelimiter,
  kOrder,
  kOutDelimiter,
  kDatum,
};

struct OptionRule {
  std::string_view short_name;  // "-f", or "" when there is none
  std::string_view long_name;   // "--datum", or ""
  Opt opt;
  bool takes_value;
  bool common;
  Command command;  // when not common
};

constexpr OptionRule kOptionRules[] = {
    {"-h", "--help", Opt::kHelp, false, true, Command::kExtract},
    {"", "--version", Opt::kVersion, false, true, Command::kExtract},
    {"-o", "", Opt::kOutput, true, true, Command::kExtract},
    {"", "--input-encoding", Opt::kInputEncoding, true, true, Command::kExtract},
    {"", "--output-encoding", Opt::kOutputEncoding, true, true, Command::kExtract},
    {"-f", "", Opt::kFields, true, false, Command::kExtract},
    {"-w", "", Opt::kWidth, true, false, Command::kWrap},
    {"-p", "", Opt::kPunctuation, false, false, Command::kWrap},
    {"-d", "", Opt::kDelimiter, true, false, Command::kReorder},
    {"-c", "", Opt::kOrder, true, false, Command::kReorder},
    {"-s", "", Opt::kOutDelimiter, true, false, Command::kReorder},
    {"", "--datum", Opt::kDatum, true, false, Command::kMerge},
};

bool Applies(const OptionRule& rule, std::optional<Command> command) {
  return rule.common || (command && rule.command == *command);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::optional<InputEncoding> ParseInputEncoding(std::string_view value) {
  std::string v = Lower(value);
  if (v == "auto") return InputEncoding::kAuto;
  if (v == "gbk" || v == "gb18030") return InputEncoding::kGbk;
  if (v == "utf-8" || v == "utf8") return InputEncoding::kUtf8;
  return std::nullopt;
}

std::optional<OutputEncoding> ParseOutputEncoding(std::string_view value) {
  std::string v = Lower(value);
  if (v == "same") return OutputEncoding::kSame;
  if (v == "gbk" || v == "gb18030") return OutputEncoding::kGbk;
  if (v == "utf-8" || v == "utf8") return OutputEncoding::kUtf8;
  return std::nullopt;
}

// The width as the page reads its edit box (full-width digits accepted, the number truncated
// toward zero), clamped into int; 0 when nothing numeric was given.
int ParseWidth(const Text& text) {
  double value = ToNumber(text);
  if (!(value >= 1)) return 0;  // NaN included
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  return static_cast<int>(value);
}

class Parser {
 public:
  explicit Parser(std::span<const std::string_view> args) : args_(args) {}

  ParseResult Run() {
    bool options_ended = false;
    for (std::size_t i = 0; i < args_.size(); ++i) {
      std::string_view arg = args_[i];
      if (!options_ended && arg == "--") {
        options_ended = true;
        continue;
      }
      if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
        Positional(arg);
        continue;
      }
      i = Option(i);
    }
    return Finish();
  }

 private:
  void Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }
  std::string Prefix() const {
    return command_ ? std::string(NameOf(*command_)) + ": " : std::string();
  }

  void Positional(std::string_view arg) {
    if (!command_) {
      for (const auto& c : kCommands) {
        if (c.name == arg) {
          command_ = c.command;
          return;
        }
      }
      Fail("unknown command '" + std::string(arg) + "'");
      return;
    }
    options_.files.emplace_back(arg);
  }

  // Handles the option at args_[i]; returns the index of the last argument it used.
  std::size_t Option(std::size_t i) {
    std::string_view arg = args_[i];
    std::optional<std::string_view> attached;
    const OptionRule* rule = nullptr;
    for (const auto& s : kOptionRules) {
      if (!s.long_name.empty() && arg.starts_with(s.long_name)) {
        std::string_view rest = arg.substr(s.long_name.size());
        if (rest.empty() || (s.takes_value && rest[0] == '=')) {
          rule = &s;
          if (!rest.empty()) attached = rest.substr(1);
          break;
        }
      }
      if (!s.short_name.empty() && arg.starts_with(s.short_name)) {
        std::string_view rest = arg.substr(s.short_name.size());
        if (rest.empty() || s.takes_value) {
          rule = &s;
          if (!rest.empty()) attached = rest;
          break;
        }
      }
    }
    if (rule == nullptr || !Applies(*rule, command_)) {
      Fail(Prefix() + "unknown option '" + std::string(arg) + "'");
      return i;
    }
    std::string_view value;
    if (rule->takes_value) {
      if (attached) {
        value = *attached;
      } else if (i + 1 < args_.size()) {
        value = args_[++i];
      } else {
        Fail(Prefix() + "option '" + std::string(arg) + "' needs a value");
        return i;
      }
    }
    Apply(rule->opt, value);
    return i;
  }

  void Apply(Opt opt, std::string_view value) {
    switch (opt) {
      case Opt::kHelp:
        help_ = true;
        break;
      case Opt::kVersion:
        version_ = true;
        break;
      case Opt::kOutput:
        if (value.empty()) Fail(Prefix() + "-o needs a file name");
        options_.output = std::string(value);
        break;
      case Opt::kInputEncoding:
        if (auto e = ParseInputEncoding(value)) {
          options_.input_encoding = *e;
        } else {
          Fail(Prefix() + "--input-encoding must be auto, gbk or utf-8, not '" +
               std::string(value) + "'");
        }
        break;
      case Opt::kOutputEncoding:
        if (auto e = ParseOutputEncoding(value)) {
          options_.output_encoding = *e;
        } else {
          Fail(Prefix() + "--output-encoding must be same, gbk or utf-8, not '" +
               std::string(value) + "'");
        }
        break;
      case Opt::kFields:
        options_.fields = TextFromArgument(value);
        break;
      case Opt::kWidth:
        width_given_ = true;
        options_.width = ParseWidth(TextFromArgument(value));
        if (options_.width < 1) {
          Fail(Prefix() + "the width must be a number of at least 1, not '" + std::string(value) +
               "'");
        }
        break;
      case Opt::kPunctuation:
        options_.filter_punctuation = true;
        break;
      case Opt::kDelimiter:
        options_.delimiter = TextFromArgument(value);
        if (options_.delimiter.empty()) Fail(Prefix() + "the delimiter (-d) must not be empty");
        break;
      case Opt::kOrder:
        options_.order = TextFromArgument(value);
        break;
      case Opt::kOutDelimiter:
        options_.out_delimiter = TextFromArgument(value);
        break;
      case Opt::kDatum:
        options_.datum = TextFromArgument(value);
        break;
    }
  }

  ParseResult Finish() {
    ParseResult result;
    if (help_) {
      result.kind = ParseResult::Kind::kHelp;
      result.text = HelpText(command_);
      return result;
    }
    if (version_ && error_.empty()) {
      result.kind = ParseResult::Kind::kVersion;
      result.text = VersionText();
      return result;
    }
    if (error_.empty()) CheckArguments();
    if (!error_.empty()) {
      result.kind = ParseResult::Kind::kUsageError;
      std::string see = std::string(kProgram) +
                        (command_ ? " " + std::string(NameOf(*command_)) : "") + " --help";
      result.text = std::string(kProgram) + ": " + error_ + " (see " + see + ")";
      return result;
    }
    options_.command = *command_;
    result.options = std::move(options_);
    return result;
  }

  void CheckArguments() {
    if (!command_) {
      Fail("no command given: extract, dedupe, wrap, reorder or merge");
      return;
    }
    auto& files = options_.files;
    std::size_t stdin_count = 0;
    for (const auto& f : files) stdin_count += f == "-";
    if (stdin_count > 1) {
      Fail(Prefix() + "standard input ('-') can be read only once");
      return;
    }
    switch (*command_) {
      case Command::kExtract:
      case Command::kDedupe:
      case Command::kWrap:
        if (files.size() > 1) {
          Fail(Prefix() + "only one input file is read, got '" + files[1] + "' too");
          return;
        }
        if (files.empty()) files.push_back("-");
        if (*command_ == Command::kWrap && !width_given_) Fail(Prefix() + "-w WIDTH is required");
        break;
      case Command::kReorder:
        if (options_.delimiter.empty()) Fail(Prefix() + "-d DELIM is required");
        if (files.empty()) files.push_back("-");
        break;
      case Command::kMerge:
        if (files.empty()) {
          Fail(Prefix() + "FILE_A is required");
        } else if (files.size() > 2) {
          Fail(Prefix() + "at most two files (FILE_A FILE_B) are read, got '" + files[2] + "' too");
        } else if (files.size() == 2 && options_.datum) {
          Fail(Prefix() + "give either FILE_B or --datum, not both");
        } else if (files.size() == 1 && !options_.datum) {
          Fail(Prefix() + "FILE_B or --datum D is required");
        }
        break;
    }
  }

  std::span<const std::string_view> args_;
  std::optional<Command> command_;
  Options options_;
  bool help_ = false;
  bool version_ = false;
  bool width_given_ = false;
  std::string error_;
};

constexpr std::string_view kCommonHelp =
    "  -o OUT                    write to OUT instead of standard output\n"
    "  --input-encoding ENC      auto (default), gbk or utf-8; auto reads valid UTF-8 with\n"
    "                            non-ASCII characters or a byte-order mark as UTF-8, else GBK\n"
    "  --output-encoding ENC     same (default: the encoding the input was read in; UTF-8\n"
    "                            when any input was), gbk or utf-8\n"
    "  -h, --help                show this help\n";

}  // namespace

Text TextFromArgument(std::string_view argument) {
  if (IsValidUtf8(argument)) return FromUtf8(argument);
  return Text(argument);
}

std::string VersionText() { return std::string(kProgram) + " " LANZHOU_VERSION "\n"; }

std::string HelpText(std::optional<Command> command) {
  std::string out;
  if (!command) {
    out =
        "Usage: lanzhou-cli COMMAND [OPTIONS] [FILE...]\n"
        "Bulk clean-up of line-oriented text, byte for byte as the lanzhou window does it.\n"
        "\n"
        "Commands:\n"
        "  extract [-f FIELDS] [-o OUT] [FILE]           keep the chosen '|' fields of each line\n"
        "  dedupe  [-o OUT] [FILE]                       keep the first of equal lines\n"
        "  wrap    -w WIDTH [-p] [-o OUT] [FILE]         cut text into lines of WIDTH bytes\n"
        "  reorder -d DELIM [-c ORDER] [-s OUTDELIM] [-o OUT] FILE...\n"
        "                                                write columns in another order\n"
        "  merge   [--datum D] [-o OUT] FILE_A [FILE_B]  join two lists line by line\n"
        "\n"
        "Common options (before or after the other arguments):\n";
    out += kCommonHelp;
    out +=
        "  --version                 show the version\n"
        "\n"
        "FILE '-' or absent is standard input. Widths count GBK bytes (a Chinese character is 2).\n"
        "Run 'lanzhou-cli COMMAND --help' for the details of a command.\n"
        "Exit status: 0 done, 1 usage error, 2 a file could not be read or written.\n";
    return out;
  }
  switch (*command) {
    case Command::kExtract:
      out =
          "Usage: lanzhou-cli extract [-f FIELDS] [-o OUT] [FILE]\n"
          "Turns every '----' into '|', splits each line on '|' and keeps the fields FIELDS\n"
          "names, joined by '|'. Lines end in CR LF; the last line gets no line end.\n"
          "\n"
          "  -f FIELDS                 field numbers from 1, several joined by '|' (\"3|1\");\n"
          "                            default 1\n";
      break;
    case Command::kDedupe:
      out =
          "Usage: lanzhou-cli dedupe [-o OUT] [FILE]\n"
          "Keeps the first occurrence of every line, in input order. Lines end in CR LF; the\n"
          "last line gets no line end.\n"
          "\n";
      break;
    case Command::kWrap:
      out =
          "Usage: lanzhou-cli wrap -w WIDTH [-p] [-o OUT] [FILE]\n"
          "Removes the line breaks of the text and cuts it into lines of at most WIDTH bytes,\n"
          "never inside a Chinese character or a short ASCII word, and keeps opening marks off\n"
          "line ends and closing marks off line starts.\n"
          "\n"
          "  -w WIDTH                  bytes per line, at least 1 (a Chinese character is 2)\n"
          "  -p                        also remove the punctuation \xEF\xBC\x8C \xE3\x80\x82 , "
          "\xE3\x80\x81 before wrapping\n";
      break;
    case Command::kReorder:
      out =
          "Usage: lanzhou-cli reorder -d DELIM [-c ORDER] [-s OUTDELIM] [-o OUT] FILE...\n"
          "Reads each FILE split on DELIM into one table, as successive imports do, and writes\n"
          "every row with the columns ORDER names, each line ended by CR LF. Without FILE,\n"
          "standard input is read.\n"
          "\n"
          "  -d DELIM                  the input delimiter (any non-empty text)\n"
          "  -c ORDER                  column numbers from 1 joined by ',' (\"3,1\");\n"
          "                            default all columns in order\n"
          "  -s OUTDELIM               the output delimiter, default '|'\n";
      break;
    case Command::kMerge:
      out =
          "Usage: lanzhou-cli merge [--datum D] [-o OUT] FILE_A [FILE_B]\n"
          "Joins line i of FILE_A and line i of FILE_B as A||B|, or every line of FILE_A with\n"
          "the datum D as A||D. Each joined line ends in CR LF. Lists of different lengths are\n"
          "joined up to the shorter one, with a warning. With -o the lines are appended to OUT.\n"
          "\n"
          "  --datum D                 join every line of FILE_A with D (no FILE_B)\n";
      break;
  }
  out += kCommonHelp;
  return out;
}

ParseResult ParseCommandLine(std::span<const std::string_view> args) { return Parser(args).Run(); }

}  // namespace lanzhou::cli
