// ReadLine over memory files and disk files, read as the import page reads (until
// IsEndOfFile with its zero-byte stop), against a one-pass model of the line rules; and
// ReadText of the whole file.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "text/encoding.h"
#include "io/files.h"

namespace lanzhou {
namespace {

// The lines of `data` read from the start: LF ends a line and is consumed; a zero byte or
// 0x1A ends the reading; a byte >= 0x80 takes the next byte with it unless that is a zero
// byte or the end, where the lead byte is dropped, or CR or LF, where it stands alone; one
// CR at a line's end goes.
std::vector<std::string> ModelLines(std::string_view data) {
  std::vector<std::string> lines;
  std::size_t p = 0;
  const auto at_end = [&] { return p >= data.size() || data[p] == '\0' || data[p] == '\x1A'; };
  while (!at_end()) {
    std::string line;
    while (p < data.size()) {
      const unsigned char b = static_cast<unsigned char>(data[p]);
      if (b == '\n') {
        ++p;
        break;
      }
      if (b == 0 || b == 0x1A) break;
      ++p;
      if (b >= 0x80) {
        if (p >= data.size() || data[p] == '\0') break;
        line += static_cast<char>(b);
        if (data[p] != '\r' && data[p] != '\n') line += data[p++];
        continue;
      }
      line += static_cast<char>(b);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

void CheckFile(FileNumber file, std::string_view data, const char* kind) {
  const std::string detail = std::string(kind) + " \"" + fuzz::Escaped(data) + "\"";
  FUZZ_CHECK(file != 0, detail);
  const std::vector<std::string> expected = ModelLines(data);
  std::vector<std::string> lines;
  while (!IsEndOfFile(file, true)) {
    lines.push_back(ReadLine(file).bytes());
    FUZZ_CHECK(lines.size() <= data.size(), detail + " reading does not end");
  }
  FUZZ_CHECK(lines == expected, detail + " got " + std::to_string(lines.size()) + " lines, " +
                                    std::to_string(expected.size()) + " expected");
  FUZZ_CHECK(ReadLine(file).empty(), detail);

  // ReadText stops before the first zero byte or 0x1A, whatever the count asked for.
  const std::string whole(data.substr(0, data.find_first_of(std::string_view("\0\x1A", 2))));
  FUZZ_CHECK(SeekToStart(file) || std::string(kind) == "disk", detail);
  if (std::string(kind) == "memory") {
    FUZZ_CHECK(ReadText(file).bytes() == whole, detail);
    SeekToStart(file);
    FUZZ_CHECK(ReadText(file, 7).bytes() == whole.substr(0, 7), detail);
  }
}

}  // namespace
}  // namespace lanzhou

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const FileNumber memory = OpenMemoryFile();
  FUZZ_CHECK(WriteText(memory, {Text(bytes)}), "write");
  FUZZ_CHECK(SeekToStart(memory), "seek");
  CheckFile(memory, bytes, "memory");
  CloseFile(memory);

  // The same through a disk file, whose reads go through a cache of whole chunks.
  static const std::string path = [] {
    char name[] = "/dev/shm/lanzhou-read-line-fuzz-XXXXXX";
    const int fd = ::mkstemp(name);
    ::close(fd);
    return std::string(name);
  }();
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  const FileNumber disk = OpenFile(FromUtf8(path), OpenMode::kRead);
  CheckFile(disk, bytes, "disk");
  CloseFile(disk);
  return 0;
}
