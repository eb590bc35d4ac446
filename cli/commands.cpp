#include "cli/commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "services/encoding.h"
#include "services/file_writer.h"
#include "services/input_file.h"

namespace lanzhou::cli {
namespace {

void Report(const Options& options, const std::string& message) {
  std::string line = "lanzhou-cli: " + std::string(NameOf(options.command)) + ": " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The name to show for `path` in messages: "standard input" for "-".
std::string DisplayName(const std::string& path) {
  return path == "-" ? std::string("standard input") : "'" + path + "'";
}

std::string ReadFailure(const std::string& path, int err) {
  return "cannot read " + DisplayName(path) + ": " + std::strerror(err);
}

// The result's destination: the -o file (appended to by merge) or standard output.
class Output {
 public:
  explicit Output(const Options& options)
      : file_(options.output ? OutputFile(*options.output, options.command == Command::kMerge
                                                               ? OutputFile::Mode::kAppend
                                                               : OutputFile::Mode::kReplace)
                             : OutputFile(STDOUT_FILENO)),
        name_(options.output ? "'" + *options.output + "'" : "standard output") {}

  bool Open(std::string& error) { return file_.Open() || Failed(error); }
  bool Write(std::string_view data, std::string& error) {
    return file_.Write(data) || Failed(error);
  }
  bool Commit(std::string& error) { return file_.Commit() || Failed(error); }

 private:
  bool Failed(std::string& error) {
    error = "cannot write " + name_ + ": " + std::strerror(file_.error());
    if (file_.cut_back_failed()) error += "; the lines appended so far could not be taken back";
    return false;
  }

  OutputFile file_;
  std::string name_;
};

// The encoding the result is written in.
bool WritesUtf8(const Options& options, bool input_was_utf8) {
  switch (options.output_encoding) {
    case OutputEncoding::kGbk:
      return false;
    case OutputEncoding::kUtf8:
      return true;
    case OutputEncoding::kSame:
      return input_was_utf8;
  }
  return false;
}

// Results written in UTF-8 are converted a piece at a time, so that the converted copy never
// needs memory beyond a piece. A piece ends just after an LF, which never occurs inside a
// GB18030 character, so the pieces convert exactly as the whole would.
constexpr std::size_t kUtf8Piece = 1 << 20;

bool WriteUtf8(Output& output, std::string_view result, std::string& error) {
  while (!result.empty()) {
    std::size_t end = result.size();
    if (end > kUtf8Piece) {
      const std::size_t lf = result.find('\n', kUtf8Piece);
      if (lf != std::string_view::npos) end = lf + 1;
    }
    if (!output.Write(ToUtf8(result.substr(0, end)), error)) return false;
    result.remove_prefix(end);
  }
  return true;
}

// Writes `result` (GB18030) as the options ask: to standard output, replacing the -o file,
// or, for merge, appended to it.
int Emit(const Options& options, std::string result, bool input_was_utf8) {
  // As the page: a merge creates or extends its file only when there is something to add.
  if (options.command == Command::kMerge && options.output && result.empty()) return kExitOk;
  Output output(options);
  std::string error;
  const bool ok = output.Open(error) &&
                  (WritesUtf8(options, input_was_utf8) ? WriteUtf8(output, result, error)
                                                       : output.Write(result, error)) &&
                  output.Commit(error);
  if (!ok) {
    Report(options, error);
    return kExitFile;
  }
  return kExitOk;
}

// extract, dedupe and wrap: one input, the text an edit box would hold.
bool ReadEditBox(const Options& options, Text& text, bool& utf8) {
  std::string bytes;
  int err = 0;
  if (!ReadInput(options.files.front(), bytes, err)) {
    Report(options, ReadFailure(options.files.front(), err));
    return false;
  }
  DetectedEncoding detected = DetectedEncoding::kGbk;
  text = PastedText(std::move(bytes), options.input_encoding, &detected);
  utf8 = detected == DetectedEncoding::kUtf8;
  return true;
}

int RunExtract(const Options& options) {
  Text text;
  bool utf8 = false;
  if (!ReadEditBox(options, text, utf8)) return kExitFile;
  Text result = ExtractFields(text, options.fields);
  text = Text();  // the input's memory goes before the output is encoded
  return Emit(options, std::move(result.mutable_bytes()), utf8);
}

int RunDedupe(const Options& options) {
  Text text;
  bool utf8 = false;
  if (!ReadEditBox(options, text, utf8)) return kExitFile;
  Text result = DistinctLines(text);
  text = Text();
  return Emit(options, std::move(result.mutable_bytes()), utf8);
}

int RunWrap(const Options& options) {
  Text text;
  bool utf8 = false;
  if (!ReadEditBox(options, text, utf8)) return kExitFile;
  text = CleanForWrap(std::move(text), options.filter_punctuation);
  // Wrapped and written a piece at a time: the result never needs memory beyond a piece.
  constexpr std::size_t kPieceBytes = 1 << 20;
  const bool write_utf8 = WritesUtf8(options, utf8);
  Output output(options);
  std::string error;
  bool ok = output.Open(error);
  std::string piece;
  for (std::string_view rest = text.view(); ok && !rest.empty();) {
    piece.clear();
    WrapTextPiece(rest, options.width, kPieceBytes, piece);
    ok = write_utf8 ? WriteUtf8(output, piece, error) : output.Write(piece, error);
  }
  if (!ok || !output.Commit(error)) {
    Report(options, error);
    return kExitFile;
  }
  return kExitOk;
}

// The message a mapped input gives when it shrinks while it is read.
std::string ChangedMessage(const Options& options, const std::string& path) {
  return "lanzhou-cli: " + std::string(NameOf(options.command)) + ": " + DisplayName(path) +
         " changed while it was read\n";
}

int RunReorder(const Options& options) {
  // Every input stays mapped (or read) until the export is written: the columns are counted
  // over all of them before the first line goes out. No cell is ever copied.
  std::vector<MappedInput> inputs(options.files.size());
  std::vector<std::string> storage(options.files.size());
  std::vector<std::string_view> texts;
  bool any_utf8 = false;
  for (std::size_t f = 0; f < options.files.size(); ++f) {
    const std::string& path = options.files[f];
    int err = 0;
    if (!inputs[f].Open(path, ChangedMessage(options, path), err)) {
      Report(options, ReadFailure(path, err));
      return kExitFile;
    }
    DetectedEncoding detected = DetectedEncoding::kGbk;
    texts.push_back(
        DecodeInputView(inputs[f].view(), storage[f], options.input_encoding, &detected));
    any_utf8 = any_utf8 || detected == DetectedEncoding::kUtf8;
  }
  // Without an order every column is written, as after an import into the page.
  const int column_count = DelimitedColumnCount(
      texts, options.delimiter.view(),
      options.order ? HighestColumn(*options.order) : std::numeric_limits<int>::max());
  const Text order = options.order ? *options.order : AllColumnsOrder(column_count);
  std::string result;
  AppendDelimitedExport(texts, options.delimiter.view(), column_count, order, options.out_delimiter,
                        result);
  texts.clear();
  storage.clear();
  inputs.clear();
  return Emit(options, std::move(result), any_utf8);
}

// One list of merge, read as the page reads a dropped file: `bytes` keeps the file and
// `text` views its decoded text (in `bytes` itself, or in `storage` for UTF-8).
bool LoadList(const Options& options, const std::string& path, MappedInput& bytes,
              std::string& storage, std::string_view& text, bool& utf8) {
  int err = 0;
  if (!bytes.Open(path, ChangedMessage(options, path), err)) {
    Report(options, ReadFailure(path, err));
    return false;
  }
  DetectedEncoding detected = DetectedEncoding::kGbk;
  text = DecodeListText(bytes.view(), storage, options.input_encoding, &detected);
  utf8 = detected == DetectedEncoding::kUtf8;
  return true;
}

// Merge joins and writes this many lines at a time, so its output never needs more memory
// than one piece.
constexpr std::size_t kMergeLinesPerPiece = 1 << 14;

int RunMerge(const Options& options) {
  MappedInput a_bytes;
  std::string a_storage;
  std::string_view a;
  bool a_utf8 = false;
  if (!LoadList(options, options.files[0], a_bytes, a_storage, a, a_utf8)) return kExitFile;
  const std::size_t na = CountListLines(a);
  if (na == 0) {
    Report(options, "list A " + DisplayName(options.files[0]) + " is empty: nothing to merge");
    return kExitUsage;
  }
  MappedInput b_bytes;
  std::string b_storage;
  std::string_view b;
  bool b_utf8 = false;
  std::size_t n = na;
  if (!options.datum) {
    if (!LoadList(options, options.files[1], b_bytes, b_storage, b, b_utf8)) return kExitFile;
    const std::size_t nb = CountListLines(b);
    n = std::min(na, nb);
    if (na != nb) {
      Report(options, "warning: list A has " + std::to_string(na) + " lines and list B " +
                          std::to_string(nb) + "; only the first " + std::to_string(n) +
                          " are joined");
    }
  }
  // As the page: a merge creates or extends its file only when there is something to add.
  if (n == 0 && options.output) return kExitOk;
  const bool utf8 = WritesUtf8(options, a_utf8 || b_utf8);
  Output output(options);
  std::string error;
  bool ok = output.Open(error);
  std::string piece;
  while (ok && !a.empty() && (options.datum || !b.empty())) {
    piece.clear();
    const std::string_view a_lines = TakeListLines(a, kMergeLinesPerPiece);
    if (options.datum) {
      AppendJoinedListWithDatum(a_lines, options.datum->view(), piece);
    } else {
      AppendJoinedListPairs(a_lines, TakeListLines(b, kMergeLinesPerPiece), piece);
    }
    ok = utf8 ? WriteUtf8(output, piece, error) : output.Write(piece, error);
  }
  if (!ok || !output.Commit(error)) {
    Report(options, error);
    return kExitFile;
  }
  return kExitOk;
}

}  // namespace

int RunCommand(const Options& options) {
  switch (options.command) {
    case Command::kExtract:
      return RunExtract(options);
    case Command::kDedupe:
      return RunDedupe(options);
    case Command::kWrap:
      return RunWrap(options);
    case Command::kReorder:
      return RunReorder(options);
    case Command::kMerge:
      return RunMerge(options);
  }
  return kExitUsage;
}

}  // namespace lanzhou::cli
