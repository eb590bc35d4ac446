// Whole files, the run directory and numbered open files (disk or memory).
//
// Paths are `Text` (GB18030); they are converted to UTF-8 only here, where a file is opened.
#ifndef LANZHOU_IO_FILES_H_
#define LANZHOU_IO_FILES_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"
#include "text/text_primitives.h"

namespace lanzhou {

// The directory of the running executable, without a trailing "/". Output paths are built
// as RunDirectory() + "/" + name.
Text RunDirectory();

// Replaces `path` by the parts written in order, nothing added, as a whole (`OutputFile`,
// io/file_writer.h): readers see the old file or the whole new one. False on an empty
// path or when anything fails (a missing or read-only directory, a full disk, `path` being a
// directory); then no temporary file is left and an earlier file at `path` is unchanged.
bool WriteToFile(const Text& path, std::initializer_list<Bytes> parts);
// The same a megabyte at a time, telling `step(written, total)` before each; an exception
// thrown by `step` (the user cancelled) leaves no file, as a failure does.
bool WriteToFile(const Text& path, std::initializer_list<Bytes> parts,
                 const std::function<void(std::size_t written, std::size_t total)>& step);

// The same, but no file is replaced: the parts go to `path`, or, when a file has that name,
// to the first free "_2", "_3" … name (`NumberedName`, io/file_writer.h), taken atomically, so
// that two saves at once, from two windows or two processes, keep both results. The path
// written, or nullopt with `*error` (when given) the errno of the step that failed.
//   WriteToNewFile("/d/a.txt", {...}) == "/d/a_2.txt" when /d/a.txt exists
std::optional<Text> WriteToNewFile(
    const Text& path, std::initializer_list<Bytes> parts,
    const std::function<void(std::size_t written, std::size_t total)>& step = {},
    int* error = nullptr);

// The whole file; empty Bytes for an empty path, a missing, unreadable or empty file.
Bytes ReadWholeFile(const Text& path);
// The same, telling a file that cannot be used apart from an empty one: nullopt for the
// first, with `problem` (when given) set to what the window says about it, empty Bytes for
// the second. A file cannot be used when it cannot be opened or read (missing, unreadable, a
// folder, an empty path): "无法打开文件：" + path; when it starts with a UTF-8 byte-order mark
// and then is not UTF-8: the same followed by "（第 N 字节起不是 UTF-8）", N counted from 0;
// when the memory runs out: "内存不足：" + path.
std::optional<Bytes> ReadReadableFile(const Text& path, Text* problem = nullptr);

// A file number: nonzero while open; 0 means none.
using FileNumber = std::int32_t;

// How `OpenFile` opens a file; the numbers are the program's own mode numbers.
enum class OpenMode {
  kRead = 1,             // the file must exist
  kWrite = 2,            // the file must exist; content kept
  kReadWrite = 3,        // the file must exist; content kept
  kWriteNew = 4,         // created, or truncated when it exists
  kWriteKeep = 5,        // created when missing, content kept
  kReadWriteCreate = 6,  // read and write, created when missing, content kept
};

// share 1..4 is validated but advisory on Linux. 0 on failure or bad arguments (a mode
// outside the named ones included).
FileNumber OpenFile(const Text& path, OpenMode mode = OpenMode::kReadWrite, int share = 1);
// A file that lives in memory, growing in steps of 1024 bytes; discarded by CloseFile.
FileNumber OpenMemoryFile();
void CloseFile(FileNumber file);
bool SeekToEnd(FileNumber file);
bool SeekToStart(FileNumber file);

// The next line, read in 512-byte blocks: LF ends it (and is consumed), a zero byte or 0x1A
// ends it and stays unread; one CR at the end of the line is removed. A lead byte >= 0x80
// takes the following byte with it as the character model says (text/gbk_chars.h): not a
// CR or LF, which stay a line end, and not a zero byte or the end of the file: there the lead
// byte is half a character, so the line ends before it and the position moves past it (onto
// the zero byte), so that a reading loop always progresses.
// "" at the end of the file and for an unknown file number.
//   "a\r\nb\n"   -> "a", "b"        "ab\0cd"  -> "ab", then "" with IsEndOfFile(f, true)
//   "ab\xD6\0"   -> "ab", then at the zero byte
Text ReadLine(FileNumber file);
// Each value as text (Bytes skipped) followed by CR LF. On a failed write the position goes
// back to where it was and the result is false.
bool WriteLine(FileNumber file, std::initializer_list<Value> values);
// Each value as text, nothing after it.
bool WriteText(FileNumber file, std::initializer_list<Value> values);
// Up to `count` bytes (default: the file's length), ending before a zero byte or 0x1A,
// where the position then stays. count < 1 gives "".
Text ReadText(FileNumber file, std::optional<int> count = std::nullopt);
// True at or past the end; with `stop_at_zero`, also when the next byte is 0 or 0x1A.
// True for an unknown file number.
bool IsEndOfFile(FileNumber file, bool stop_at_zero = false);

}  // namespace lanzhou

#endif  // LANZHOU_IO_FILES_H_
