#include "cli/options.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <system_error>

#include "pages/wrap.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/quoted_name.h"
#include "text/text_primitives.h"

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
    {"extract", Command::kExtract}, {"dedupe", Command::kDedupe},
    {"wrap", Command::kWrap},       {"reorder", Command::kReorder},
    {"merge", Command::kMerge},     {"normalize", Command::kNormalize},
    {"find", Command::kFind},       {"filter", Command::kFilter},
    {"mask", Command::kMask},
};

// The options, as getopt_long returns them: short ones by their letter, long-only ones by a
// code above every letter.
enum Opt : int {
  kOptHelp = 'h',
  kOptOutput = 'o',
  kOptFields = 'f',
  kOptWidth = 'w',
  kOptPunctuation = 'p',
  kOptDelimiter = 'd',
  kOptOrder = 'c',
  kOptOutDelimiter = 's',
  kOptVersion = 0x100,
  kOptInputEncoding,
  kOptOutputEncoding,
  kOptDatum,
  kOptThreads,
  kOptMemory,
  kOptTakeOwnership,
  kOptFoldWidth,
  kOptFoldPunctuation,
  kOptTrim,
  kOptSqueeze,
  kOptLower,
  kOptDropEmpty,
  kOptS2t,
  kOptT2s,
  kOptConfig,
  kOptIgnore,
  kOptPhone,
  kOptEmail,
  kOptQq,
  kOptId,
  kOptOldId,
  kOptUrl,
  kOptDistinct,
  kOptWithLine,
  kOptKeep,
  kOptDrop,
  kOptWholeLine,
  kOptIgnoreCase,
  kOptInvalidId,
  kOptUpgradeId,
  kOptBank,
  kOptName,
  kOptChar,
  kOptQuiet = 'q',
  kOptPattern = 'e',
  kOptKeywords = 'k',
};

// "-" first: every argument comes back in order, a non-option as code 1, so options may stand
// anywhere and the first non-option names the command. ":" next: a missing value is ':'.
constexpr char kShortOptions[] = "-:ho:f:w:pd:c:s:qe:k:";
constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, kOptHelp},
    {"version", no_argument, nullptr, kOptVersion},
    {"input-encoding", required_argument, nullptr, kOptInputEncoding},
    {"output-encoding", required_argument, nullptr, kOptOutputEncoding},
    {"datum", required_argument, nullptr, kOptDatum},
    {"threads", required_argument, nullptr, kOptThreads},
    {"memory", required_argument, nullptr, kOptMemory},
    {"quiet", no_argument, nullptr, kOptQuiet},
    {"take-ownership", no_argument, nullptr, kOptTakeOwnership},
    {"width", no_argument, nullptr, kOptFoldWidth},
    {"punctuation", no_argument, nullptr, kOptFoldPunctuation},
    {"trim", no_argument, nullptr, kOptTrim},
    {"squeeze", no_argument, nullptr, kOptSqueeze},
    {"lower", no_argument, nullptr, kOptLower},
    {"drop-empty", no_argument, nullptr, kOptDropEmpty},
    {"s2t", no_argument, nullptr, kOptS2t},
    {"t2s", no_argument, nullptr, kOptT2s},
    {"config", required_argument, nullptr, kOptConfig},
    {"ignore", required_argument, nullptr, kOptIgnore},
    {"phone", no_argument, nullptr, kOptPhone},
    {"email", no_argument, nullptr, kOptEmail},
    {"qq", no_argument, nullptr, kOptQq},
    {"id", no_argument, nullptr, kOptId},
    {"old-id", no_argument, nullptr, kOptOldId},
    {"url", no_argument, nullptr, kOptUrl},
    {"distinct", no_argument, nullptr, kOptDistinct},
    {"with-line", no_argument, nullptr, kOptWithLine},
    {"keep", no_argument, nullptr, kOptKeep},
    {"drop", no_argument, nullptr, kOptDrop},
    {"whole-line", no_argument, nullptr, kOptWholeLine},
    {"ignore-case", no_argument, nullptr, kOptIgnoreCase},
    {"invalid-id", no_argument, nullptr, kOptInvalidId},
    {"upgrade-id", no_argument, nullptr, kOptUpgradeId},
    {"bank", no_argument, nullptr, kOptBank},
    {"name", no_argument, nullptr, kOptName},
    {"char", required_argument, nullptr, kOptChar},
    {nullptr, 0, nullptr, 0},
};

// The command an option belongs to; the common ones (no command) go with every command and
// may stand before it.
struct OptionOwner {
  int opt;
  std::optional<Command> command;
};
constexpr OptionOwner kOwners[] = {
    {kOptFields, Command::kExtract},
    {kOptWidth, Command::kWrap},
    {kOptPunctuation, Command::kWrap},
    {kOptDelimiter, Command::kReorder},
    {kOptOrder, Command::kReorder},
    {kOptOutDelimiter, Command::kReorder},
    {kOptDatum, Command::kMerge},
    {kOptMemory, Command::kDedupe},
    {kOptIgnore, Command::kDedupe},
    {kOptFoldWidth, Command::kNormalize},
    {kOptFoldPunctuation, Command::kNormalize},
    {kOptTrim, Command::kNormalize},
    {kOptSqueeze, Command::kNormalize},
    {kOptLower, Command::kNormalize},
    {kOptDropEmpty, Command::kNormalize},
    {kOptS2t, Command::kNormalize},
    {kOptT2s, Command::kNormalize},
    {kOptConfig, Command::kNormalize},
    {kOptPhone, Command::kFind},
    {kOptEmail, Command::kFind},
    {kOptQq, Command::kFind},
    {kOptId, Command::kFind},
    {kOptOldId, Command::kFind},
    {kOptUrl, Command::kFind},
    {kOptPattern, Command::kFind},
    {kOptDistinct, Command::kFind},
    {kOptWithLine, Command::kFind},
    {kOptKeep, Command::kFilter},
    {kOptDrop, Command::kFilter},
    {kOptKeywords, Command::kFilter},
    {kOptWholeLine, Command::kFilter},
    {kOptIgnoreCase, Command::kFilter},
    {kOptInvalidId, Command::kFind},
    {kOptUpgradeId, Command::kFind},
    {kOptBank, Command::kFind},
    {kOptPhone, Command::kMask},
    {kOptId, Command::kMask},
    {kOptEmail, Command::kMask},
    {kOptBank, Command::kMask},
    {kOptName, Command::kMask},
    {kOptFields, Command::kMask},
    {kOptDelimiter, Command::kMask},
    {kOptChar, Command::kMask},
};

// An option may belong to several commands (mask shares find's --phone, --id ...).
bool Applies(int opt, std::optional<Command> command) {
  bool owned = false;
  for (const OptionOwner& owner : kOwners) {
    if (owner.opt != opt) continue;
    if (command && owner.command == *command) return true;
    owned = true;
  }
  return !owned;
}

// The option as the user would spell it: "-f", "--datum".
std::string Spelling(int opt) {
  for (const option& o : kLongOptions) {
    if (o.name != nullptr && o.val == opt && opt > 0xFF) return "--" + std::string(o.name);
  }
  return "-" + std::string(1, static_cast<char>(opt));
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
  if (v == "utf-16le" || v == "utf16le") return InputEncoding::kUtf16Le;
  if (v == "utf-16be" || v == "utf16be") return InputEncoding::kUtf16Be;
  if (v == "big5") return InputEncoding::kBig5;
  return std::nullopt;
}

std::optional<OutputEncoding> ParseOutputEncoding(std::string_view value) {
  std::string v = Lower(value);
  if (v == "same") return OutputEncoding::kSame;
  if (v == "gbk" || v == "gb18030") return OutputEncoding::kGbk;
  if (v == "utf-8" || v == "utf8") return OutputEncoding::kUtf8;
  return std::nullopt;
}

class Parser {
 public:
  ParseResult Run(std::span<const std::string_view> args) {
    // getopt_long wants writable C strings and keeps its state in globals; optind 0 starts
    // it afresh.
    std::vector<std::string> strings = {std::string(kProgram)};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(strings.size());
    optind = 0;
    opterr = 0;
    for (;;) {
      const int opt = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr);
      if (opt == -1) break;
      if (opt == 1) {
        Positional(optarg);
      } else if (opt == '?') {
        // optopt is the unknown letter, or 0 for an unknown long option.
        Fail(Prefix() + "unknown option " +
             QuotedName(optopt != 0 ? Spelling(optopt) : std::string(argv[optind - 1])));
      } else if (opt == ':') {
        if (!Applies(optopt, command_)) {
          Fail(Prefix() + "unknown option " + QuotedName(Spelling(optopt)));
        } else {
          Fail(Prefix() + "option " + QuotedName(Spelling(optopt)) + " needs a value");
        }
      } else if (!Applies(opt, command_)) {
        Fail(Prefix() + "unknown option " + QuotedName(Spelling(opt)));
      } else {
        Apply(opt, optarg != nullptr ? std::string_view(optarg) : std::string_view());
      }
    }
    // After "--" every argument is a file (or, first, the command).
    for (int i = optind; i < argc; ++i) Positional(argv[i]);
    return Finish();
  }

 private:
  void Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }
  std::string Prefix() const {
    return command_ ? std::string(NameOf(*command_)) + ": " : std::string();
  }
  // The list `value` of option `-<letter>` as text, failing, as the page refuses it, unless
  // `ReadNumberList` reads it; the piece that is not a number is named as typed.
  Text NumberList(char letter, std::string_view what, std::string_view value) {
    Text list = TextFromArgument(value);
    Text refused;
    if (!ReadNumberList(list, &refused)) {
      const std::string option = std::string("-") + letter;
      if (refused.empty()) {
        Fail(Prefix() + option + " must name a " + std::string(what) + " number from 1");
      } else {
        Fail(Prefix() + option + ": " +
             QuotedName(IsValidUtf8(value) ? ToUtf8(refused) : refused.bytes()) + " is not a " +
             std::string(what) + " number from 1");
      }
    }
    return list;
  }

  void Positional(std::string_view arg) {
    if (!command_) {
      for (const auto& c : kCommands) {
        if (c.name == arg) {
          command_ = c.command;
          return;
        }
      }
      Fail("unknown command " + QuotedName(arg));
      return;
    }
    options_.files.emplace_back(arg);
  }

  void Apply(int opt, std::string_view value) {
    switch (opt) {
      case kOptHelp:
        help_ = true;
        break;
      case kOptVersion:
        version_ = true;
        break;
      case kOptOutput:
        if (value.empty()) Fail(Prefix() + "-o needs a file name");
        options_.output = std::string(value);
        break;
      case kOptInputEncoding:
        if (auto e = ParseInputEncoding(value)) {
          options_.input_encoding = *e;
        } else {
          Fail(Prefix() +
               "--input-encoding must be auto, gbk, utf-8, utf-16le, utf-16be or big5, not " +
               QuotedName(value));
        }
        break;
      case kOptOutputEncoding:
        if (auto e = ParseOutputEncoding(value)) {
          options_.output_encoding = *e;
        } else {
          Fail(Prefix() + "--output-encoding must be same, gbk or utf-8, not " + QuotedName(value));
        }
        break;
      case kOptFields:
        options_.fields = NumberList('f', "field", value);
        if (command_ == Command::kMask) {
          // mask reads one field, the names; a list is refused rather than cut to its head.
          const auto numbers = ReadNumberList(options_.fields);
          if (numbers && numbers->size() != 1) {
            Fail(Prefix() + "-f must be one field number from 1, not " + QuotedName(value));
          } else if (numbers) {
            options_.mask.name_field = numbers->front();
          }
        }
        break;
      case kOptWidth:
        width_given_ = true;
        options_.width = WrapWidth(TextFromArgument(value));
        if (options_.width < 1) {
          Fail(Prefix() + "the width must be a number from 1 to 10000, not " + QuotedName(value));
        }
        break;
      case kOptPunctuation:
        options_.filter_punctuation = true;
        break;
      case kOptDelimiter:
        options_.delimiter = TextFromArgument(value);
        if (options_.delimiter.empty()) Fail(Prefix() + "the delimiter (-d) must not be empty");
        break;
      case kOptOrder:
        options_.order = NumberList('c', "column", value);
        break;
      case kOptOutDelimiter:
        options_.out_delimiter = TextFromArgument(value);
        break;
      case kOptDatum:
        options_.datum = TextFromArgument(value);
        break;
      case kOptThreads: {
        const char* end = value.data() + value.size();
        const auto [stop, error] = std::from_chars(value.data(), end, options_.threads);
        if (error != std::errc() || stop != end || options_.threads < 1 ||
            options_.threads > 1024) {
          Fail(Prefix() + "--threads must be a number from 1 to 1024, not " + QuotedName(value));
        }
        break;
      }
      case kOptMemory:
        if (auto bytes = ParseByteSize(value)) {
          options_.memory_limit = *bytes;
        } else {
          Fail(Prefix() + "--memory must be a size such as 512M or 4G, not " + QuotedName(value));
        }
        break;
      case kOptQuiet:
        options_.quiet = true;
        break;
      case kOptTakeOwnership:
        options_.take_ownership = true;
        break;
      case kOptFoldWidth:
        options_.folds.width = true;
        break;
      case kOptFoldPunctuation:
        options_.folds.punctuation = true;
        break;
      case kOptTrim:
        options_.folds.trim = true;
        break;
      case kOptSqueeze:
        options_.folds.squeeze = true;
        break;
      case kOptLower:
        options_.folds.lower = true;
        break;
      case kOptDropEmpty:
        options_.folds.drop_empty = true;
        break;
      case kOptS2t:
      case kOptT2s:
      case kOptConfig:
        if (!options_.script.empty()) {
          Fail(Prefix() + "give only one of --s2t, --t2s and --config");
        } else if (opt == kOptConfig && value.empty()) {
          Fail(Prefix() + "--config needs a configuration name");
        }
        options_.script = opt == kOptS2t ? "s2t" : opt == kOptT2s ? "t2s" : std::string(value);
        break;
      case kOptIgnore:
        ParseIgnore(value);
        break;
      case kOptPhone:
        options_.finders.phone = options_.mask.phone = true;
        break;
      case kOptEmail:
        options_.finders.email = options_.mask.email = true;
        break;
      case kOptQq:
        options_.finders.qq = true;
        break;
      case kOptId:
        options_.finders.id = options_.mask.id = true;
        break;
      case kOptInvalidId:
        options_.finders.invalid_id = true;
        break;
      case kOptUpgradeId:
        options_.finders.id = options_.finders.old_id = options_.finders.upgrade_old_id = true;
        break;
      case kOptBank:
        options_.finders.bank = options_.mask.bank = true;
        break;
      case kOptName:
        name_given_ = true;
        break;
      case kOptChar: {
        const Text mask = TextFromArgument(value);
        if (mask.empty() || CharLength(mask.view(), 0) != mask.size() ||
            static_cast<unsigned char>(mask.view()[0]) < ' ') {
          Fail(Prefix() + "--char must be one character, not " + QuotedName(value));
        }
        options_.mask.mask = mask;
        break;
      }
      case kOptOldId:
        options_.finders.id = options_.finders.old_id = true;
        break;
      case kOptUrl:
        options_.finders.url = true;
        break;
      case kOptPattern: {
        options_.finders.custom = TextFromArgument(value);
        std::string error;
        const Finders compiled(FinderChoice{.custom = options_.finders.custom}, &error);
        if (value.empty()) {
          Fail(Prefix() + "the pattern (-e) must not be empty");
        } else if (!error.empty()) {
          // The engine's message repeats a part of the pattern.
          Fail(Prefix() + "the pattern " + QuotedName(value) +
               " is not valid: " + WithVisibleControls(error));
        }
        break;
      }
      case kOptDistinct:
        options_.distinct = true;
        break;
      case kOptWithLine:
        options_.with_line = true;
        break;
      case kOptKeep:
      case kOptDrop:
        if (keep_given_ && options_.keep != (opt == kOptKeep)) {
          Fail(Prefix() + "give either --keep or --drop, not both");
        }
        keep_given_ = true;
        options_.keep = opt == kOptKeep;
        break;
      case kOptKeywords:
        if (value.empty()) Fail(Prefix() + "-k needs a file name");
        options_.keywords_file = std::string(value);
        break;
      case kOptWholeLine:
        options_.keyword_options.whole_line = true;
        break;
      case kOptIgnoreCase:
        options_.keyword_options.ignore_case = true;
        break;
    }
  }

  // --ignore width,blanks,case,script (any of them, in any order).
  void ParseIgnore(std::string_view value) {
    while (true) {
      const std::size_t comma = value.find(',');
      const std::string_view name = value.substr(0, comma);
      if (name == "width") {
        options_.ignore_width = true;
      } else if (name == "blanks") {
        options_.ignore_blanks = true;
      } else if (name == "case") {
        options_.ignore_case = true;
      } else if (name == "script") {
        options_.ignore_script = true;
      } else {
        Fail(Prefix() + "--ignore takes width, blanks, case and script, not " + QuotedName(name));
        return;
      }
      if (comma == std::string_view::npos) return;
      value.remove_prefix(comma + 1);
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
      Fail(
          "no command given: extract, dedupe, wrap, reorder, merge, normalize, find, filter or "
          "mask");
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
      case Command::kNormalize:
      case Command::kFind:
      case Command::kFilter:
      case Command::kMask:
        if (files.size() > 1) {
          Fail(Prefix() + "only one input file is read, got " + QuotedName(files[1]) + " too");
          return;
        }
        if (files.empty()) files.push_back("-");
        if (*command_ == Command::kWrap && !width_given_) Fail(Prefix() + "-w WIDTH is required");
        if (*command_ == Command::kFind) {
          const FinderChoice& f = options_.finders;
          if (!(f.phone || f.email || f.qq || f.id || f.url || f.invalid_id || f.bank ||
                !f.custom.empty())) {
            Fail(Prefix() +
                 "say what to find: --phone, --email, --qq, --id, --invalid-id, --bank, --url or "
                 "-e PATTERN");
          }
        }
        if (*command_ == Command::kMask) CheckMask();
        if (*command_ == Command::kFilter) {
          if (!keep_given_) {
            Fail(Prefix() + "--keep or --drop is required");
          } else if (options_.keywords_file.empty()) {
            Fail(Prefix() + "-k KEYWORDS_FILE is required");
          } else if (options_.keywords_file == "-" && files.front() == "-") {
            Fail(Prefix() + "standard input ('-') can be read only once");
          }
        }
        break;
      case Command::kReorder:
        if (options_.delimiter.empty()) Fail(Prefix() + "-d DELIM is required");
        if (files.empty()) files.push_back("-");
        break;
      case Command::kMerge:
        if (files.empty()) {
          Fail(Prefix() + "FILE_A is required");
        } else if (files.size() > 2) {
          Fail(Prefix() + "at most two files (FILE_A FILE_B) are read, got " +
               QuotedName(files[2]) + " too");
        } else if (files.size() == 2 && options_.datum) {
          Fail(Prefix() + "give either FILE_B or --datum, not both");
        } else if (files.size() == 1 && !options_.datum) {
          Fail(Prefix() + "FILE_B or --datum D is required");
        }
        break;
    }
  }

  void CheckMask() {
    MaskChoice& m = options_.mask;
    if (name_given_ != (m.name_field > 0)) {
      Fail(Prefix() +
           (name_given_ ? "--name needs -f K, the field of the names" : "-f K goes with --name"));
    } else if (!options_.delimiter.empty() && !name_given_) {
      Fail(Prefix() + "-d DELIM goes with --name");
    } else if (!(m.phone || m.id || m.email || m.bank || name_given_)) {
      Fail(Prefix() + "say what to mask: --phone, --id, --email, --bank or --name -f K");
    }
    m.name_delimiter = options_.delimiter;
  }

  std::optional<Command> command_;
  Options options_;
  bool name_given_ = false;
  bool help_ = false;
  bool version_ = false;
  bool width_given_ = false;
  bool keep_given_ = false;
  std::string error_;
};

constexpr std::string_view kCommonHelp =
    "  -o OUT                    write to OUT instead of standard output ('-')\n"
    "  --take-ownership          replace an OUT of another user that you may write\n"
    "                            by a file of yours (refused otherwise)\n"
    "  --input-encoding ENC      auto (default), gbk, utf-8, utf-16le, utf-16be or\n"
    "                            big5. With auto, a UTF-16 or UTF-8 byte-order mark\n"
    "                            names the encoding, bytes not valid UTF-8 mean GBK,\n"
    "                            and bytes valid in both (as short GBK texts often\n"
    "                            are) are read the more plausible way\n"
    "  --output-encoding ENC     same (default: the encoding the input was read in;\n"
    "                            UTF-8 when any input was), gbk or utf-8\n"
    "  --threads N               work on N threads (default: every core)\n"
    "  -q, --quiet               no progress line (shown on a terminal for long runs)\n"
    "  -h, --help                show this help\n";

}  // namespace

std::string_view NameOf(Command command) {
  for (const auto& c : kCommands) {
    if (c.command == command) return c.name;
  }
  return "";
}

std::optional<std::uint64_t> ParseByteSize(std::string_view text) {
  std::size_t digits = 0;
  std::uint64_t value = 0;
  for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    if (value > (UINT64_MAX - 9) / 10) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(text[digits] - '0');
  }
  if (digits == 0 || value == 0) return std::nullopt;
  std::string unit = Lower(text.substr(digits));
  if (unit.ends_with("ib")) {
    unit.resize(unit.size() - 2);
  } else if (unit.size() > 1 && unit.ends_with("b")) {
    unit.pop_back();
  } else if (unit == "b") {
    unit.clear();
  }
  int shift = 0;
  if (unit == "k") {
    shift = 10;
  } else if (unit == "m") {
    shift = 20;
  } else if (unit == "g") {
    shift = 30;
  } else if (unit == "t") {
    shift = 40;
  } else if (!unit.empty()) {
    return std::nullopt;
  }
  if (value > (UINT64_MAX >> shift)) return std::nullopt;
  return value << shift;
}

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
        "Bulk clean-up of line-oriented text, byte for byte as in the lanzhou window.\n"
        "\n"
        "Commands:\n"
        "  extract [-f FIELDS] [-o OUT] [FILE]           keep chosen '|' fields of lines\n"
        "  dedupe  [-o OUT] [FILE]                       keep the first of equal lines\n"
        "  wrap    -w WIDTH [-p] [-o OUT] [FILE]         cut text into WIDTH-byte lines\n"
        "  reorder -d DELIM [-c ORDER] [-s OUTDELIM] [-o OUT] FILE...\n"
        "                                                write columns in another order\n"
        "  merge   [--datum D] [-o OUT] FILE_A [FILE_B]  join two lists line by line\n"
        "  normalize [FOLDS] [--s2t|--t2s|--config NAME] [-o OUT] [FILE]\n"
        "                                                fold width, blanks, case, script\n"
        "  find    [--phone] [--email] [--qq] [--id] [--invalid-id] [--bank] [--url]\n"
        "          [-e PATTERN] [FILE]\n"
        "                                                pull items out of free text\n"
        "  filter  (--keep|--drop) -k KEYWORDS_FILE [FILE]\n"
        "                                                keep or drop lines by keywords\n"
        "  mask    [--phone] [--id] [--email] [--bank] [--name -f K [-d DELIM]]\n"
        "          [--char C] [-o OUT] [FILE]           mask personal data\n"
        "\n"
        "Common options (before or after the other arguments):\n";
    out += kCommonHelp;
    out +=
        "  --version                 show the version\n"
        "\n"
        "FILE '-' or absent is standard input. Widths count GBK bytes (a Chinese\n"
        "character is 2).\n"
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
          "  -f FIELDS                 field numbers from 1, several joined by '|' (\"3|1\")\n"
          "                            or by ',', ';', '\xE3\x80\x81' or blanks; default 1. A "
          "line\n"
          "                            lacking a field gives the others moved left (told\n"
          "                            on standard error)\n";
      break;
    case Command::kDedupe:
      out =
          "Usage: lanzhou-cli dedupe [--ignore WHAT] [--memory LIMIT] [-o OUT] [FILE]\n"
          "Keeps the first occurrence of every line, in input order. Lines end in CR LF;\n"
          "the last line gets no line end.\n"
          "\n"
          "  --ignore WHAT             compare lines ignoring WHAT: any of width (full-\n"
          "                            width forms), blanks (at the ends; runs of them),\n"
          "                            case (ASCII) and script (Traditional as\n"
          "                            Simplified), joined by ','. The first line of each\n"
          "                            is kept as it is; the compared forms are held in\n"
          "                            memory\n"
          "  --memory LIMIT            use at most about LIMIT of memory (512M, 4G; default\n"
          "                            half the machine's); beyond it, temporary files in\n"
          "                            $TMPDIR (else /tmp), removed however the run ends\n";
      break;
    case Command::kWrap:
      out =
          "Usage: lanzhou-cli wrap -w WIDTH [-p] [-o OUT] [FILE]\n"
          "Removes the line breaks of the text and cuts it into lines of at most WIDTH\n"
          "bytes, never inside a Chinese character or a short ASCII word, and keeps opening\n"
          "marks off line ends and closing marks off line starts.\n"
          "\n"
          "  -w WIDTH                  bytes per line, 1 to 10000 (a Chinese character\n"
          "                            is 2)\n"
          "  -p                        first remove the punctuation \xEF\xBC\x8C \xE3\x80\x82 , "
          "\xE3\x80\x81\n";
      break;
    case Command::kReorder:
      out =
          "Usage: lanzhou-cli reorder -d DELIM [-c ORDER] [-s OUTDELIM] [-o OUT] FILE...\n"
          "Reads each FILE split on DELIM into one table, as successive imports do, and\n"
          "writes every row with the columns ORDER names, each line ended by CR LF. Without\n"
          "FILE, standard input is read.\n"
          "\n"
          "  -d DELIM                  the input delimiter (any non-empty text)\n"
          "  -c ORDER                  column numbers from 1 joined by ',' (\"3,1\") or by\n"
          "                            '|', ';', '\xE3\x80\x81' or blanks; default all columns\n"
          "                            in order\n"
          "  -s OUTDELIM               the output delimiter, default '|'\n";
      break;
    case Command::kMerge:
      out =
          "Usage: lanzhou-cli merge [--datum D] [-o OUT] FILE_A [FILE_B]\n"
          "Joins line i of FILE_A and line i of FILE_B as A||B|, or every line of FILE_A\n"
          "with the datum D as A||D. Each joined line ends in CR LF. Lists of different\n"
          "lengths are joined up to the shorter one, with a warning. With -o the lines are\n"
          "appended to OUT, under a lock that makes other merges into OUT wait; a failure\n"
          "takes them back.\n"
          "\n"
          "  --datum D                 join every line of FILE_A with D (no FILE_B)\n";
      break;
    case Command::kNormalize:
      out =
          "Usage: lanzhou-cli normalize [--width] [--punctuation] [--trim] [--squeeze]\n"
          "         [--lower] [--drop-empty] [--s2t|--t2s|--config NAME] [-o OUT] [FILE]\n"
          "Cleans every line with the folds given. Lines end in CR LF; the last line gets\n"
          "no line end.\n"
          "\n"
          "  --width                   full-width letters, digits and symbols to ASCII,\n"
          "                            the ideographic space to a space\n"
          "  --punctuation             the full-width marks ! \" ' ( ) , : ; ? [ ] { } ~ to\n"
          "                            ASCII too (kept by --width: Chinese text uses them)\n"
          "  --trim                    remove blanks (space, tab, U+3000, NBSP) at the ends\n"
          "  --squeeze                 make every run of blanks one space\n"
          "  --lower                   ASCII letters to lower case\n"
          "  --drop-empty              leave out lines that end up empty\n"
          "  --s2t, --t2s              Simplified to Traditional Chinese, or back, first\n"
          "  --config NAME             another OpenCC configuration (s2tw, tw2s, s2hk,\n"
          "                            hk2s, ...) or the path of one\n";
      break;
    case Command::kFind:
      out =
          "Usage: lanzhou-cli find [--phone] [--email] [--qq] [--id] [--old-id]\n"
          "                        [--upgrade-id] [--invalid-id] [--bank] [--url]\n"
          "                        [-e PATTERN] [--distinct] [--with-line] [-o OUT] [FILE]\n"
          "Writes every item found, one per line, in the order of the text. Full-width\n"
          "digits and letters count as ASCII, and the items are written in ASCII. Lines\n"
          "end in CR LF; the last line gets no line end.\n"
          "\n"
          "  --phone                   mobile numbers (+86 and 3-4-4 grouping allowed),\n"
          "                            written as their 11 digits\n"
          "  --email                   e-mail addresses, Chinese domain names too\n"
          "  --qq                      QQ numbers: 5 to 11 digits standing alone (not a\n"
          "                            phone number when --phone is given too)\n"
          "  --id                      18-character resident ID numbers with a right check\n"
          "                            character, a real birth date not in the future and\n"
          "                            a province code\n"
          "  --old-id                  --id, and the old 15-digit form as well\n"
          "  --upgrade-id              --old-id, the old form written as 18 characters\n"
          "  --invalid-id              what looks like an ID number but fails, followed by\n"
          "                            a blank and the reason (\xE6\xA0\xA1\xE9\xAA\x8C\xE7\xA0\x81"
          "\xE9\x94\x99\xE8\xAF\xAF check\n"
          "                            character, \xE5\x87\xBA\xE7\x94\x9F\xE6\x97\xA5\xE6\x9C\x9F"
          "\xE6\x97\xA0\xE6\x95\x88 date, \xE5\x9C\xB0\xE5\x8C\xBA\xE7\xA0\x81\xE6\x97\xA0"
          "\xE6\x95\x88 region)\n"
          "  --bank                    bank-card numbers: 16 to 19 digits (in groups of 4\n"
          "                            allowed) passing the Luhn check\n"
          "  --url                     http and https links\n"
          "  -e PATTERN                matches of a regular expression (RE2 syntax, in\n"
          "                            linear time); its first group when it has groups\n"
          "  --distinct                write each item once, where it is first found\n"
          "  --with-line               write 'LINE:' before each item (lines from 1)\n";
      break;
    case Command::kFilter:
      out =
          "Usage: lanzhou-cli filter (--keep|--drop) -k KEYWORDS_FILE [--whole-line]\n"
          "                          [--ignore-case] [-o OUT] [FILE]\n"
          "Keeps, or drops, the lines that hold any keyword of KEYWORDS_FILE (one keyword\n"
          "a line; empty lines are none), found on character boundaries only. Lines end\n"
          "in CR LF; the last line gets no line end.\n"
          "\n"
          "  --keep                    keep the lines with a keyword\n"
          "  --drop                    keep the lines without one\n"
          "  -k KEYWORDS_FILE          the keywords, read as the input is\n"
          "  --whole-line              a line must be a keyword as a whole\n"
          "  --ignore-case             ASCII letters match in either case\n";
      break;
    case Command::kMask:
      out =
          "Usage: lanzhou-cli mask [--phone] [--id] [--email] [--bank] [--name -f K\n"
          "                        [-d DELIM]] [--char C] [-o OUT] [FILE]\n"
          "Masks personal data and leaves every other byte as it was, line ends included.\n"
          "A masked item keeps its length in characters; a full-width digit becomes a\n"
          "full-width mark. What was masked is counted by kind on standard error.\n"
          "\n"
          "  --phone                   mobile numbers: 138****8000\n"
          "  --id                      ID numbers, valid or not, the 15-digit form too:\n"
          "                            110105********002X\n"
          "  --email                   e-mail addresses: z****@qq.com\n"
          "  --bank                    card numbers passing the Luhn check:\n"
          "                            622202*********0128\n"
          "  --name                    the name in field K: two characters keep the first,\n"
          "                            more keep the first and the last, a compound\n"
          "                            surname stays whole\n"
          "  -f K                      the field of the names, from 1\n"
          "  -d DELIM                  the field delimiter; without it the line is field 1\n"
          "  --char C                  the mask character, default '*'\n";
      break;
  }
  out += kCommonHelp;
  return out;
}

ParseResult ParseCommandLine(std::span<const std::string_view> args) { return Parser().Run(args); }

}  // namespace lanzhou::cli
