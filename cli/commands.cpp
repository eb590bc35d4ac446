#include "cli/commands.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "io/file_writer.h"
#include "io/input_file.h"
#include "io/temp_file.h"
#include "pages/clean.h"
#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/find.h"
#include "pages/mask.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "run/ordered_pipeline.h"
#include "run/progress_meter.h"
#include "text/encoding.h"
#include "text/encoding_detect.h"
#include "text/lines.h"
#include "text/quoted_name.h"

namespace lanzhou::cli {
namespace {

bool ToStandardOutput(const Options& options) { return !options.output || *options.output == "-"; }

// A message as lanzhou-cli writes it to standard error, line end included.
std::string MessageLine(const Options& options, const std::string& message) {
  return "lanzhou-cli: " + std::string(NameOf(options.command)) + ": " + message + "\n";
}

void Report(const Options& options, const std::string& message) {
  const std::string line = MessageLine(options, message);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The name to show for `path` in messages: "standard input" for "-", else the name quoted.
std::string DisplayName(const std::string& path) {
  return path == "-" ? std::string("standard input") : QuotedName(path);
}

// A user as messages name one: "user NAME (UID)", or "user UID" when the name is unknown.
std::string UserName(uid_t uid) {
  std::array<char, 4096> buffer{};
  passwd entry{};
  passwd* found = nullptr;
  const std::string number = std::to_string(uid);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return "user " + number;
  }
  return "user " + QuotedName(found->pw_name) + " (" + number + ")";
}

std::string ChangedWhileRead(const std::string& path) {
  return DisplayName(path) + " changed while it was read";
}

// `spooling`: the input failed while being copied to a temporary file.
std::string ReadFailure(const std::string& path, int err, bool spooling = false) {
  // Closed when the program started: an error, never an empty input.
  if (path == "-" && err == EBADF) return "standard input is closed";
  if (spooling) {
    return "cannot read " + DisplayName(path) + ": " +
           TemporaryFileFailure("write", TemporaryDirectory(), err);
  }
  if (err == ENOMEM) return "out of memory reading " + DisplayName(path);
  if (err == EFBIG) {
    return "cannot read " + DisplayName(path) + ": it does not fit in the memory --memory allows";
  }
  return "cannot read " + DisplayName(path) + ": " + std::strerror(err);
}

// Every command ignores what follows the first zero byte of an input, so reading stops
// there: an endless input such as /dev/zero ends.
constexpr ReadLimits kInputLimits{.stop_at_zero = true};

// A file that has to be UTF-8 (--input-encoding utf-8, or a UTF-8 byte-order mark without
// --input-encoding gbk) and is not is refused, naming the byte: its text would come out as
// wrong characters.
bool RequiredUtf8IsUtf8(const Options& options, const std::string& path, std::string_view bytes,
                        const std::function<void(std::size_t)>& scanned) {
  const std::optional<std::size_t> bad =
      InvalidRequiredUtf8(bytes, options.input_encoding, scanned);
  if (!bad) return true;
  const std::string why = options.input_encoding == InputEncoding::kUtf8
                              ? "it is not UTF-8 (--input-encoding utf-8) at byte "
                              : "it starts with a UTF-8 byte-order mark but is not UTF-8 at byte ";
  Report(options, "cannot read " + DisplayName(path) + ": " + why + std::to_string(*bad));
  return false;
}

// Whether the mapped inputs still are what was read; a message names the one that changed.
bool InputsUnchanged(const Options& options, std::span<const MappedInput> inputs) {
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i].Unchanged()) continue;
    Report(options, ChangedWhileRead(options.files[i]));
    return false;
  }
  return true;
}

// The result's destination: the -o file (appended to by merge) or standard output ("-" or
// no -o).
class Output {
 public:
  explicit Output(const Options& options)
      : options_(options),
        file_(ToStandardOutput(options)
                  ? OutputFile(STDOUT_FILENO)
                  : OutputFile(*options.output, options.command == Command::kMerge
                                                    ? OutputFile::Mode::kAppend
                                                    : OutputFile::Mode::kReplace)),
        name_(ToStandardOutput(options) ? "standard output" : DisplayName(*options.output)) {
    file_.set_take_ownership(options.take_ownership);
    // The program exits right after the commit: a kill from then on would be reported over
    // a result that stays (a merge run again would append its lines twice).
    file_.set_hold_signals_on_commit(true);
    // A merge that waits for another one to finish with the file says so, where someone
    // watches.
    file_.set_on_wait([this] {
      if (::isatty(STDERR_FILENO)) {
        Report(options_, "waiting for another merge to finish with " + name_);
      }
    });
  }

  bool Open(std::string& error) {
    if (!file_.Open()) return Failed(error);
    if (file_.ended_partial_line()) {
      Report(options_, "warning: " + name_ +
                           " ended in an unfinished line (an earlier writer was stopped); "
                           "the merged lines start on a new line");
    }
    return true;
  }
  bool Write(std::string_view data, std::string& error) {
    return file_.Write(data) || Failed(error);
  }
  bool Commit(std::string& error) { return file_.Commit() || Failed(error); }

 private:
  bool Failed(std::string& error) {
    switch (file_.problem()) {
      case OutputFile::Problem::kOwnedByAnother:
        error = "cannot write " + name_ +
                ": it belongs to another user, and rewriting it in place could leave it half "
                "old and half new; --take-ownership replaces it by a file of yours";
        break;
      case OutputFile::Problem::kNameMoved:
        error = "cannot write " + name_ +
                ": another program removed or replaced it while the merge appended to it; the "
                "merged lines were taken back";
        break;
      case OutputFile::Problem::kLinkOfAnother:
        error = "cannot write " + name_ + ": the symbolic link " +
                QuotedName(file_.refused_link()) + " belongs to " +
                UserName(file_.refused_link_owner()) +
                ", in a folder that everyone may write; it is not followed";
        break;
      case OutputFile::Problem::kNone:
        error = "cannot write " + name_ + ": " + std::strerror(file_.error());
        break;
    }
    if (file_.cut_back_failed()) error += "; the lines appended so far could not be taken back";
    return false;
  }

  const Options& options_;
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

bool WriteUtf8(Output& output, std::string_view result, std::size_t& replaced, std::string& error) {
  while (!result.empty()) {
    const std::size_t end = PieceEndAfter(result, "\n", 0, kUtf8Piece);
    if (!output.Write(ToUtf8(result.substr(0, end), &replaced), error)) return false;
    result.remove_prefix(end);
  }
  return true;
}

int Threads(const Options& options) {
  return options.threads > 0 ? options.threads : DefaultThreadCount();
}

// Without --memory dedupe may use half of the machine's memory.
std::uint64_t MemoryLimit(const Options& options) {
  if (options.memory_limit > 0) return options.memory_limit;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && page > 0 ? static_cast<std::uint64_t>(pages) * page / 2 : 1ull << 30;
}

// The progress line of a run: on standard error when it is a terminal, unless --quiet or the
// result itself goes to a terminal, whose lines the progress line would be drawn over (and
// its last one erased with it).
class Progress {
 public:
  explicit Progress(const Options& options)
      : meter_(options.quiet || (ToStandardOutput(options) && ::isatty(STDOUT_FILENO))
                   ? -1
                   : STDERR_FILENO,
               std::string(NameOf(options.command))) {}
  void operator()(std::uint64_t done, std::uint64_t total) { meter_.Update(done, total); }
  // Before a message, so that it does not land on the progress line.
  void Finish() { meter_.Finish(); }

 private:
  ProgressMeter meter_;
};

// Whether `path` names a file larger than `size` bytes (standard input counts as not).
bool LargerThan(const std::string& path, std::uint64_t size) {
  std::error_code ignored;
  return path != "-" && std::filesystem::file_size(path, ignored) > size && !ignored;
}

// Inputs larger than this are not read in at once, and their pages go back behind the work.
constexpr std::uint64_t kPastedInMemory = 64 << 20;

// Whether `part` lies in one of the mapped `inputs` and that input is larger than
// `kPastedInMemory`: the pages that may be handed back.
bool InLargeMapping(std::span<const MappedInput> inputs, std::string_view part) {
  for (const MappedInput& input : inputs) {
    const std::string_view view = input.view();
    if (input.mapped() && view.size() > kPastedInMemory && part.data() >= view.data() &&
        part.data() < view.data() + view.size()) {
      return true;
    }
  }
  return false;
}

// Hands back the pages of `part` when it lies in a large mapped input (`InLargeMapping`): a
// pass over a large file then does not keep all of it resident, and reading the pages again
// reads the file. A smaller input keeps its pages, which the next pass would only read again.
// Never touches memory of the program's own (a decoded copy).
void ReleaseMappedPart(std::span<const MappedInput> inputs, std::string_view part) {
  if (InLargeMapping(inputs, part)) ReleasePages(part);
}

// Hands back the pages of a large mapped text behind a pass or the work, which is done with
// them: a pass over a large file then keeps only what it is at resident, and reading the pages
// again reads the file. A pass that starts again from the front starts again.
class PagesBehind {
 public:
  PagesBehind() = default;
  // `text` is a view of a mapping, or `release` is false (then nothing is handed back).
  PagesBehind(std::string_view text, bool release) : text_(text), release_(release) {}
  // Done with the bytes of the text before `end`.
  void Done(std::size_t end) {
    if (end < released_) released_ = 0;
    if (!release_ || end <= released_) return;
    ReleasePages(text_.substr(released_, end - released_));
    released_ = end;
  }
  // A tracker of its own over the same text, for a pass that reads ahead of the work: looking
  // through a long line for its end, matching it, writing it out.
  PagesBehind Ahead() const { return PagesBehind(text_, release_); }
  // `Done` as a `scanned` callback of its own (none when nothing is handed back).
  std::function<void(std::size_t)> Scanned() const {
    if (!release_) return {};
    return [behind = *this](std::size_t end) mutable { behind.Done(end); };
  }

 private:
  std::string_view text_;
  bool release_ = false;
  std::size_t released_ = 0;
};

// The `scanned` callback for the passes over an opened input: the pages of a large mapped one
// go back behind each step (as `ReleaseMappedPart`).
std::function<void(std::size_t)> ReleaseBehind(const MappedInput& input) {
  return PagesBehind(input.view(), input.mapped() && input.view().size() > kPastedInMemory)
      .Scanned();
}

// Opens an input (mapped where it can be) and refuses one that has to be UTF-8 and is not;
// reports why it failed. A mapped input that shrinks later ends the program with a message.
bool OpenInput(const Options& options, const std::string& path, MappedInput& input,
               ReadLimits limits = kInputLimits) {
  // UTF-16 text is full of zero bytes; its own zero code unit ends it when it is decoded.
  if (options.input_encoding == InputEncoding::kUtf16Le ||
      options.input_encoding == InputEncoding::kUtf16Be) {
    limits.stop_at_zero = false;
  }
  int err = 0;
  if (!input.Open(path, MessageLine(options, ChangedWhileRead(path)), err, limits)) {
    Report(options, ReadFailure(path, err, input.spool_failed()));
    return false;
  }
  return RequiredUtf8IsUtf8(options, path, input.view(), ReleaseBehind(input));
}

// Text read as GBK that is mostly characters Chinese text seldom holds is likely in another
// encoding (Big5 above all): said on standard error, with the share, rather than written out
// as wrong characters without a word. A few such characters in a short text say nothing.
void WarnOfUnlikelyGbk(const Options& options, const std::string& path, std::string_view text) {
  if (options.input_encoding == InputEncoding::kBig5) return;
  const UnlikelyShare share = UnlikelyGbkCharacters(text);
  if (share.unlikely < 8 || share.unlikely * 5 < share.characters) return;
  const std::size_t percent = share.unlikely * 100 / share.characters;
  Report(options, "warning: " + std::to_string(percent) + "% of the characters of " +
                      DisplayName(path) +
                      " are unlikely in GBK text; if it is in another encoding, name it with "
                      "--input-encoding (such as big5)");
}

// extract, dedupe and wrap: the text an edit box would hold for the one input, kept where it
// lies when pasting changes nothing. An input larger than `keep_below` (or than
// `kPastedInMemory`) is not read in at once, its pages are handed back as the work goes on,
// and a text that pasting changes (LF line ends, UTF-8) is changed a piece at a time into a
// temporary file instead of memory.
struct EditBoxInput {
  std::array<MappedInput, 1> bytes;
  MappedInput pasted;  // the changed text of a large input
  std::string storage;
  std::string_view text;
  bool utf8 = false;
  bool in_place = false;  // `text` is part of a mapping of a file
  bool large = false;
  PagesBehind behind;

  bool Read(const Options& options, std::uint64_t keep_below = kPastedInMemory) {
    keep_below = std::min(keep_below, kPastedInMemory);
    const std::string& path = options.files.front();
    large = LargerThan(path, keep_below);
    ReadLimits limits = kInputLimits;
    limits.populate = !large;
    MappedInput& input = bytes[0];
    if (!OpenInput(options, path, input, limits)) return false;
    large = input.view().size() > keep_below;  // a pipe's size is known once it is copied
    const auto release = PagesBehind(input.view(), large && input.mapped()).Scanned();
    DetectedEncoding detected = DetectedEncoding::kGbk;
    if (large) {
      int err = 0;
      if (!pasted.OpenPasted(input.view(), options.input_encoding, &detected, text, err, release)) {
        Report(options, ReadFailure(path, err, pasted.spool_failed()));
        return false;
      }
    } else {
      text = PastedView(input.view(), storage, options.input_encoding, &detected, release);
    }
    utf8 = detected == DetectedEncoding::kUtf8;
    if (!utf8) WarnOfUnlikelyGbk(options, path, text);
    const bool inside = text.data() == input.view().data();
    in_place = (inside && input.mapped()) || pasted.mapped();
    if (!inside) input.Close();  // the pasted text is a copy
    behind = PagesBehind(text, large && in_place);
    return true;
  }

  // Hands back the pages of a large text before `end`, which the work is done with.
  void Done(std::size_t end) { behind.Done(end); }
};

// Writes the parts `produce` hands it, in the encoding the options ask for, and commits them
// unless `inputs` changed meanwhile; reports a failure of its own or `produce`'s `error` and
// gives the exit status.
int WriteParts(const Options& options, bool input_was_utf8, Progress& progress,
               std::span<const MappedInput> inputs,
               const std::function<bool(const std::function<bool(std::string_view)>&,
                                        std::string& error)>& produce) {
  const bool utf8 = WritesUtf8(options, input_was_utf8);
  Output output(options);
  std::string error;
  std::string produce_error;
  std::size_t replaced = 0;  // bytes not GB18030, written as U+FFFD
  const bool ok = output.Open(error) && produce(
                                            [&](std::string_view part) {
                                              return utf8 ? WriteUtf8(output, part, replaced, error)
                                                          : output.Write(part, error);
                                            },
                                            produce_error);
  progress.Finish();
  if (ok && !InputsUnchanged(options, inputs)) return kExitFile;  // the output is taken back
  if (!ok || !output.Commit(error)) {
    Report(options, error.empty() ? produce_error : error);
    return kExitFile;
  }
  if (replaced > 0) {
    Report(options, std::to_string(replaced) +
                        (replaced == 1 ? " byte not valid GB18030 was written as U+FFFD"
                                       : " bytes not valid GB18030 were written as U+FFFD"));
  }
  return kExitOk;
}

int RunExtract(const Options& options) {
  EditBoxInput input;
  if (!input.Read(options)) return kExitFile;
  Progress progress(options);
  // The pages a record of gigabytes brings in while its end is looked for go back at once:
  // only its first fields are read again.
  ExtractCounts counts;
  const int status =
      WriteParts(options, input.utf8, progress, input.bytes, [&](const auto& write, std::string&) {
        return WriteExtractedFields(
            input.text, options.fields, Threads(options), write,
            [&](std::size_t done, std::size_t total) {
              input.Done(done);
              progress(done, total);
            },
            input.behind.Ahead().Scanned(), &counts);
      });
  if (status != kExitOk) return status;
  // What the window's message says, told on standard error.
  for (int k : FieldsNoLineHas(options.fields, counts)) {
    Report(options, "warning: no line has field " + std::to_string(k));
  }
  if (ShiftsFieldsLeft(options.fields, counts)) {
    Report(options, "warning: " + std::to_string(counts.lacking) +
                        (counts.lacking == 1 ? " line lacks" : " lines lack") +
                        " a field asked for; the fields after it moved left");
  }
  return status;
}

// The OpenCC configuration `name`, reported when it cannot be loaded.
bool LoadScriptFold(const Options& options, const std::string& name, ScriptFold& fold) {
  std::string error;
  if (fold.Open(name, error)) return true;
  Report(options, error);
  return false;
}

int RunDedupeIgnoring(const Options& options) {
  ScriptFold t2s;
  if (options.ignore_script && !LoadScriptFold(options, "t2s", t2s)) return kExitFile;
  const DedupeIgnore ignore{.width = options.ignore_width,
                            .blanks = options.ignore_blanks,
                            .case_ = options.ignore_case,
                            .script = options.ignore_script ? &t2s : nullptr};
  EditBoxInput input;
  if (!input.Read(options)) return kExitFile;
  Progress progress(options);
  return WriteParts(options, input.utf8, progress, input.bytes,
                    [&](const auto& write, std::string&) {
                      return WriteDistinctLinesIgnoring(input.text, ignore, Threads(options), write,
                                                        std::ref(progress));
                    });
}

int RunDedupe(const Options& options) {
  if (options.ignore_width || options.ignore_blanks || options.ignore_case ||
      options.ignore_script) {
    return RunDedupeIgnoring(options);
  }
  const std::uint64_t limit = MemoryLimit(options);
  EditBoxInput input;
  if (!input.Read(options, limit / 2)) return kExitFile;
  Progress progress(options);
  DistinctPiecesOptions how;
  how.threads = Threads(options);
  how.memory_limit = limit;
  how.text_is_file_mapping = input.in_place;
  how.progress = std::ref(progress);
  return WriteParts(options, input.utf8, progress, input.bytes,
                    [&](const auto& write, std::string& error) {
                      return WriteDistinctLines(input.text, how, write, error);
                    });
}

int RunWrap(const Options& options) {
  EditBoxInput input;
  if (!input.Read(options)) return kExitFile;
  Progress progress(options);
  // Cleaned, wrapped and written a piece at a time: no copy of the whole text is made.
  const WrapCleaning cleaning = options.filter_punctuation ? WrapCleaning::kLineBreaksAndPunctuation
                                                           : WrapCleaning::kLineBreaks;
  return WriteParts(options, input.utf8, progress, input.bytes,
                    [&](const auto& write, std::string&) {
                      return WriteWrappedText(input.text, options.width, cleaning,
                                              ThreadsFor(input.text.size(), Threads(options)),
                                              write, [&](std::size_t done, std::size_t total) {
                                                input.Done(done);
                                                progress(done, total);
                                              });
                    });
}

// reorder and merge: one input's text up to its first zero byte, decoded as `DecodeInputView`
// decodes (for merge, the text `DecodeListText` gives), line ends as they are; in `bytes`, or
// in `storage` or `converted` for UTF-8. An input larger than `kPastedInMemory` is not read in
// at once, its pages go back behind each scan, and its UTF-8 is converted a piece at a time
// into a temporary file (`converted`, whose pages `ReleaseMappedPart` hands back as well)
// instead of memory. Reports why it failed.
bool ReadDecodedInput(const Options& options, const std::string& path, MappedInput& bytes,
                      MappedInput& converted, std::string& storage, std::string_view& text,
                      bool& utf8) {
  ReadLimits limits = kInputLimits;
  limits.populate = !LargerThan(path, kPastedInMemory);
  if (!OpenInput(options, path, bytes, limits)) return false;
  const std::function<void(std::size_t)> scanned = ReleaseBehind(bytes);
  DetectedEncoding detected = DetectedEncoding::kGbk;
  if (bytes.view().size() > kPastedInMemory) {  // a pipe's size is known once it is copied
    int err = 0;
    if (!converted.OpenPasted(bytes.view(), options.input_encoding, &detected, text, err, scanned,
                              MappedInput::LineEnds::kAsTheyAre)) {
      Report(options, ReadFailure(path, err, converted.spool_failed()));
      return false;
    }
    if (text.data() != bytes.view().data()) bytes.Close();  // the converted text is a copy
  } else {
    text = DecodeInputView(InputTextBeforeZero(bytes.view(), options.input_encoding, scanned),
                           storage, options.input_encoding, &detected);
  }
  utf8 = detected == DetectedEncoding::kUtf8;
  if (!utf8) WarnOfUnlikelyGbk(options, path, text);
  return true;
}

int RunReorder(const Options& options) {
  // Every input stays mapped (or read) until the export is written: the columns are counted
  // over all of them before the first line goes out. No cell is ever copied.
  std::vector<MappedInput> inputs(options.files.size());
  std::vector<MappedInput> converted(options.files.size());
  std::vector<std::string> storage(options.files.size());
  std::vector<std::string_view> texts(options.files.size());
  bool any_utf8 = false;
  for (std::size_t f = 0; f < options.files.size(); ++f) {
    bool utf8 = false;
    if (!ReadDecodedInput(options, options.files[f], inputs[f], converted[f], storage[f], texts[f],
                          utf8)) {
      return kExitFile;
    }
    any_utf8 = any_utf8 || utf8;
  }
  std::size_t bytes = 0;
  for (std::string_view text : texts) bytes += text.size();
  // The pages of a large mapped input are handed back behind each pass; the next reads
  // them from the file again.
  auto done_with = [&](std::string_view piece) {
    ReleaseMappedPart(inputs, piece);
    ReleaseMappedPart(converted, piece);
  };
  // Pieces of whole lines, counted and exported on all threads, written in order.
  const std::vector<std::string_view> pieces = DelimitedPieces(texts, done_with);
  const int threads = ThreadsFor(bytes, Threads(options));
  const std::string_view delimiter = options.delimiter.view();
  // Without an order every column is written, as after an import into the page.
  const int at_most =
      options.order ? HighestColumn(*options.order) : std::numeric_limits<int>::max();
  std::vector<int> columns(pieces.size());
  ParallelFor(threads, pieces.size(), [&](std::size_t k) {
    columns[k] = DelimitedColumnCount(std::span(&pieces[k], 1), delimiter, at_most,
                                      DelimitedParts::kPieces, done_with);
    done_with(pieces[k]);
  });
  const int column_count = columns.empty() ? 0 : *std::max_element(columns.begin(), columns.end());
  // As on the page: an order that names no column of the input would write only empty lines.
  if (options.order && column_count > 0 && !OrderProblem(*options.order, column_count).empty()) {
    Report(options, "-c names no column of the input, which has columns 1 to " +
                        std::to_string(column_count));
    return kExitUsage;
  }
  // Every column of a piece that is one long line is written as it is made, where the pieces
  // are taken: its export would be as large as the line.
  auto long_line = [&](std::size_t piece) {
    return !options.order && !LongLineOfPiece(pieces[piece], kLongLineBytes).empty();
  };
  Progress progress(options);
  return WriteParts(options, any_utf8, progress, inputs, [&](const auto& write, std::string&) {
    std::size_t done = 0;
    return RunInOrderOver<std::string>(
        threads, pieces.size(),
        [&](const std::size_t& piece, std::string& out) {
          out.clear();
          if (long_line(piece)) return;
          AppendDelimitedExport(std::span(&pieces[piece], 1), delimiter, column_count,
                                options.order, options.out_delimiter, out, DelimitedParts::kPieces);
        },
        [&](std::size_t& piece, std::string& out) {
          if (long_line(piece) &&
              !AppendDelimitedExport(std::span(&pieces[piece], 1), delimiter, column_count,
                                     options.order, options.out_delimiter, out,
                                     DelimitedParts::kPieces, write, done_with)) {
            return false;
          }
          progress(done += pieces[piece].size(), bytes);
          done_with(pieces[piece]);
          return write(out);
        });
  });
}

// The lines of a list (`CountLines`), counted 64 MB at a time; `done_with` hears each step
// counted.
std::size_t CountListLines(std::string_view text,
                           const std::function<void(std::string_view)>& done_with) {
  std::size_t lf = 0;
  ScanInSteps(
      text.size(),
      [&](std::size_t at, std::size_t end) {
        const std::string_view step = text.substr(at, end - at);
        lf += CountLines(step) - (step.back() == '\n' ? 0 : 1);
        done_with(step);
        return true;
      },
      nullptr);
  return text.empty() || text.back() == '\n' ? lf : lf + 1;
}

// Merge joins and writes this many lines at a time, so its output never needs more memory
// than one piece.
constexpr std::size_t kMergeLinesPerPiece = 1 << 14;

int RunMerge(const Options& options) {
  std::array<MappedInput, 2> lists;  // the files of A and B
  std::array<MappedInput, 2> converted;
  const std::span<const MappedInput> read_lists(lists.data(), options.files.size());
  // The pages of a large list go back as each pass over them is done.
  auto done_with = [&](std::string_view part) {
    ReleaseMappedPart(read_lists, part);
    ReleaseMappedPart(converted, part);
  };
  std::string a_storage;
  std::string_view a;
  bool a_utf8 = false;
  if (!ReadDecodedInput(options, options.files[0], lists[0], converted[0], a_storage, a, a_utf8)) {
    return kExitFile;
  }
  const std::size_t na = CountListLines(a, done_with);
  if (na == 0) {
    Report(options, "list A " + DisplayName(options.files[0]) + " is empty: nothing to merge");
    return kExitUsage;
  }
  std::string b_storage;
  std::string_view b;
  bool b_utf8 = false;
  std::size_t n = na;
  if (!options.datum) {
    if (!ReadDecodedInput(options, options.files[1], lists[1], converted[1], b_storage, b,
                          b_utf8)) {
      return kExitFile;
    }
    const std::size_t nb = CountListLines(b, done_with);
    n = std::min(na, nb);
    if (na != nb) {
      Report(options, "warning: list A has " + std::to_string(na) + " lines and list B " +
                          std::to_string(nb) + "; only the first " + std::to_string(n) +
                          " are joined");
    }
  }
  // As the page: a merge creates or extends its file only when there is something to add.
  if (n == 0 && !ToStandardOutput(options)) return kExitOk;
  // A list that changed while it was counted is refused before anything is appended; one
  // that changes later takes the append back (a shrunk mapping ends the program the same
  // way, from its signal).
  if (!InputsUnchanged(options, read_lists)) return kExitFile;
  const int threads = ThreadsFor(a.size() + b.size(), Threads(options));
  Progress progress(options);
  if (options.datum) {
    // The pages behind the work, and behind each pass through a long line, go back.
    PagesBehind behind(a, InLargeMapping(read_lists, a) || InLargeMapping(converted, a));
    return WriteParts(options, a_utf8, progress, read_lists, [&](const auto& write, std::string&) {
      return WriteJoinedListWithDatum(
          a, options.datum->view(), threads, write,
          [&](std::size_t end, std::size_t total) {
            behind.Done(end);
            progress(end, total);
          },
          behind.Ahead().Scanned());
    });
  }
  // Pieces of lines are cut here, joined on all threads and written in order.
  struct Lines {
    std::string_view a;
    std::string_view b;
  };
  const std::size_t a_size = a.size();
  return WriteParts(options, a_utf8 || b_utf8, progress, read_lists,
                    [&](const auto& write, std::string&) {
                      return RunInOrder<Lines, std::string>(
                          threads,
                          [&](Lines& lines) {
                            if (a.empty() || b.empty()) return false;
                            lines.a = TakeLines(a, kMergeLinesPerPiece);
                            lines.b = TakeLines(b, kMergeLinesPerPiece);
                            return true;
                          },
                          [&](const Lines& lines, std::string& out) {
                            out.clear();
                            AppendJoinedListPairs(lines.a, lines.b, out);
                          },
                          [&](Lines& lines, std::string& out) {
                            progress(a_size - a.size(), a_size);
                            done_with(lines.a);
                            done_with(lines.b);
                            return write(out);
                          });
                    });
}

int RunNormalize(const Options& options) {
  ScriptFold script;
  if (!options.script.empty() && !LoadScriptFold(options, options.script, script)) {
    return kExitFile;
  }
  const Cleaning cleaning{.folds = options.folds, .script = script.is_open() ? &script : nullptr};
  EditBoxInput input;
  if (!input.Read(options)) return kExitFile;
  Progress progress(options);
  return WriteParts(options, input.utf8, progress, input.bytes,
                    [&](const auto& write, std::string&) {
                      return WriteCleanedText(
                          input.text, cleaning, Threads(options), write,
                          [&](std::size_t done, std::size_t total) {
                            input.Done(done);
                            progress(done, total);
                          },
                          input.behind.Ahead().Scanned());
                    });
}

// find and filter: the input's lines as they are (`ReadDecodedInput`); the pages of a large
// one go back behind the work.
struct LineInput {
  std::array<MappedInput, 1> bytes;
  MappedInput converted;
  std::string storage;
  std::string_view text;
  bool utf8 = false;
  PagesBehind behind;

  bool Read(const Options& options, const std::string& path) {
    if (!ReadDecodedInput(options, path, bytes[0], converted, storage, text, utf8)) return false;
    const bool mapped =
        converted.mapped() || (bytes[0].mapped() && text.data() == bytes[0].view().data());
    behind = PagesBehind(text, mapped && text.size() > kPastedInMemory);
    return true;
  }

  // The work is done with the text before `end`; `progress` hears of it.
  std::function<void(std::size_t, std::size_t)> DoneThen(Progress& progress) {
    return [this, &progress](std::size_t end, std::size_t total) {
      behind.Done(end);
      progress(end, total);
    };
  }
};

int RunFind(const Options& options) {
  LineInput input;
  if (!input.Read(options, options.files.front())) return kExitFile;
  const Finders finders(options.finders);
  Progress progress(options);
  return WriteParts(
      options, input.utf8, progress, input.bytes, [&](const auto& write, std::string&) {
        return WriteFoundItems(input.text, finders,
                               {.distinct = options.distinct, .with_line = options.with_line},
                               Threads(options), write, input.DoneThen(progress));
      });
}

int RunFilter(const Options& options) {
  LineInput keywords;
  if (!keywords.Read(options, options.keywords_file)) return kExitFile;
  const KeywordFilter filter(keywords.text, options.keyword_options);
  keywords.bytes[0].Close();
  if (options.keep && filter.KeywordCount() == 0) {
    Report(options, "warning: " + DisplayName(options.keywords_file) +
                        " holds no keyword: no line can match, so none is kept");
  }
  LineInput input;
  if (!input.Read(options, options.files.front())) return kExitFile;
  Progress progress(options);
  return WriteParts(
      options, input.utf8, progress, input.bytes, [&](const auto& write, std::string&) {
        return WriteFilteredLines(input.text, filter, options.keep, Threads(options), write,
                                  input.DoneThen(progress), input.behind.Ahead().Scanned());
      });
}

// The counts of a mask run, as standard error shows them: "masked 2 phone numbers, 1 ID
// number" (the kinds asked for). Never an item itself.
std::string MaskCountsLine(const MaskChoice& choice, const MaskCounts& counts) {
  std::string out;
  auto add = [&](bool chosen, std::size_t n, const char* one, const char* many) {
    if (!chosen) return;
    out += out.empty() ? "masked " : ", ";
    out += std::to_string(n) + " " + (n == 1 ? one : many);
  };
  add(choice.phone, counts.phone, "phone number", "phone numbers");
  add(choice.id, counts.id, "ID number", "ID numbers");
  add(choice.email, counts.email, "e-mail address", "e-mail addresses");
  add(choice.bank, counts.bank, "bank card", "bank cards");
  add(choice.name_field > 0, counts.name, "name", "names");
  return out;
}

int RunMask(const Options& options) {
  LineInput input;
  if (!input.Read(options, options.files.front())) return kExitFile;
  Progress progress(options);
  MaskCounts counts;
  const int status =
      WriteParts(options, input.utf8, progress, input.bytes, [&](const auto& write, std::string&) {
        return WriteMaskedText(input.text, options.mask, Threads(options), write, counts,
                               input.DoneThen(progress));
      });
  if (status == kExitOk) Report(options, MaskCountsLine(options.mask, counts));
  return status;
}

int Dispatch(const Options& options) {
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
    case Command::kNormalize:
      return RunNormalize(options);
    case Command::kFind:
      return RunFind(options);
    case Command::kFilter:
      return RunFilter(options);
    case Command::kMask:
      return RunMask(options);
  }
  return kExitUsage;
}

}  // namespace

int RunCommand(const Options& options) {
  // Whatever runs out of memory ends the command with a message, never with an abort; an
  // output under way is taken back as the stack unwinds.
  try {
    return Dispatch(options);
  } catch (const std::bad_alloc&) {
    Report(options, "out of memory working on " + DisplayName(options.files.front()));
    return kExitFile;
  }
}

}  // namespace lanzhou::cli
