#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cli/atomic_output.h"
#include "cli/input.h"
#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "services/encoding.h"
#include "services/grid_data.h"

namespace lanzhou::cli {
namespace {

std::string_view NameOf(Command command) {
  switch (command) {
    case Command::kExtract:
      return "extract";
    case Command::kDedupe:
      return "dedupe";
    case Command::kWrap:
      return "wrap";
    case Command::kReorder:
      return "reorder";
    case Command::kMerge:
      return "merge";
  }
  return "";
}

void Report(const Options& options, const std::string& message) {
  std::string line = "lanzhou-cli: " + std::string(NameOf(options.command)) + ": " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

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
  Output output(options.output.value_or(""), options.command == Command::kMerge
                                                 ? Output::Mode::kAppend
                                                 : Output::Mode::kReplace);
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

// The page loaders (reorder, merge) take a file's raw bytes and detect the encoding
// themselves, merge's only on the bytes before the first zero byte (`cut_at_zero`). With
// --input-encoding auto they get the bytes as read; with a fixed encoding they get the bytes
// already decoded, which they take unchanged as GB18030 unless that text itself looks like
// UTF-8 (then the fixed encoding cannot be honoured and false is returned).
bool BytesForLoader(InputBytes& bytes, bool cut_at_zero, InputEncoding how, bool& utf8) {
  auto scanned = [&] {
    std::string_view view = bytes.view();
    return cut_at_zero ? view.substr(0, view.find('\0')) : view;
  };
  if (how == InputEncoding::kAuto) {
    utf8 = ReadsAsUtf8(scanned());
    return true;
  }
  utf8 = how == InputEncoding::kUtf8;
  bytes.Replace(DecodeInput(bytes.view(), how));
  return !ReadsAsUtf8(scanned());
}

int FixedEncodingRefused(const Options& options, const std::string& path) {
  Report(options, "cannot read " + DisplayName(path) +
                      " with the --input-encoding given: its decoded text reads as UTF-8; "
                      "use --input-encoding auto");
  return kExitFile;
}

// extract, dedupe and wrap: one input, the text an edit box would hold.
bool ReadEditBox(const Options& options, Text& text, bool& utf8) {
  std::string bytes;
  std::string error;
  if (!ReadInput(options.files.front(), bytes, error)) {
    Report(options, error);
    return false;
  }
  DetectedEncoding detected = DetectedEncoding::kGbk;
  text = EditBoxText(std::move(bytes), options.input_encoding, &detected);
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
  Output output(options.output.value_or(""), Output::Mode::kReplace);
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

int RunReorder(const Options& options) {
  // Every input stays mapped (or read) until the export is written: the columns are counted
  // over all of them before the first line goes out. No cell is ever copied.
  std::vector<InputBytes> inputs(options.files.size());
  std::vector<std::string_view> texts;
  bool any_utf8 = false;
  for (std::size_t f = 0; f < options.files.size(); ++f) {
    const std::string& path = options.files[f];
    InputBytes& bytes = inputs[f];
    std::string error;
    if (!bytes.Open(path, error)) {
      Report(options, error);
      return kExitFile;
    }
    bool utf8 = false;
    if (!BytesForLoader(bytes, false, options.input_encoding, utf8)) {
      return FixedEncodingRefused(options, path);
    }
    any_utf8 = any_utf8 || utf8;
    // The loader's own decoding: UTF-8 is converted, anything else is the text as it is.
    if (options.input_encoding == InputEncoding::kAuto && utf8) {
      bytes.Replace(DecodeInput(bytes.view()));
    }
    texts.push_back(bytes.view());
  }
  Text order;
  // A typed order only asks whether the grid reaches each of its numbers.
  int enough = std::numeric_limits<int>::max();
  if (options.order) {
    enough = 0;
    for (int number : ParseColumnOrder(*options.order)) enough = std::max(enough, number);
  }
  const int column_count = DelimitedColumnCount(texts, options.delimiter.view(), enough);
  if (options.order) {
    order = *options.order;
  } else {
    std::string all;
    for (int i = 1; i <= column_count; ++i) {
      if (i > 1) all += ',';
      all += std::to_string(i);
    }
    order = Text(std::move(all));
  }
  std::string result;
  AppendDelimitedExport(texts, options.delimiter.view(), column_count, order, options.out_delimiter,
                        result);
  texts.clear();
  inputs.clear();
  return Emit(options, std::move(result), any_utf8);
}

// One list of merge, read as the page reads a dropped file: `bytes` keeps the file and
// `text` views its decoded text (in `bytes` itself, or in `storage` for UTF-8).
bool LoadList(const Options& options, const std::string& path, InputBytes& bytes,
              std::string& storage, std::string_view& text, bool& utf8) {
  std::string error;
  if (!bytes.Open(path, error)) {
    Report(options, error);
    return false;
  }
  if (!BytesForLoader(bytes, true, options.input_encoding, utf8)) {
    FixedEncodingRefused(options, path);
    return false;
  }
  text = DecodeListText(bytes.view(), storage);
  return true;
}

// Merge joins and writes this many lines at a time, so its output never needs more memory
// than one piece.
constexpr std::size_t kMergeLinesPerPiece = 1 << 14;

int RunMerge(const Options& options) {
  InputBytes a_bytes;
  std::string a_storage;
  std::string_view a;
  bool a_utf8 = false;
  if (!LoadList(options, options.files[0], a_bytes, a_storage, a, a_utf8)) return kExitFile;
  const std::size_t na = CountListLines(a);
  if (na == 0) {
    Report(options, "list A " + DisplayName(options.files[0]) + " is empty: nothing to merge");
    return kExitUsage;
  }
  InputBytes b_bytes;
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
  Output output(options.output.value_or(""), Output::Mode::kAppend);
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
