// A fresh directory for one test, removed with everything in it afterwards: the one
// temporary folder of the tests. Files are named by their UTF-8 names; paths come as the
// program names them (`Text`, GB18030) or as the command line takes them (UTF-8).
#ifndef LANZHOU_TESTS_SUPPORT_TEMP_DIRECTORY_H_
#define LANZHOU_TESTS_SUPPORT_TEMP_DIRECTORY_H_

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/encoding.h"
#include "text/text.h"

namespace lanzhou {

class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lanzhou-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempDirectory() {
    std::error_code ignored;
    // A test may have taken the write permission away; give it back so all can go.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The directory as the program names paths (the temporary path is ASCII).
  Text text() const { return Text(path_.string()); }

  // Writes `bytes` into the file `utf8_name`; returns its full path as a Text.
  Text Write(const std::string& utf8_name, std::string_view bytes) const {
    std::ofstream(path_ / utf8_name, std::ios::binary) << bytes;
    return FromUtf8(*this / utf8_name);
  }
  // The same, returning the path as the command line takes it.
  std::string WriteForCli(const std::string& utf8_name, std::string_view bytes) const {
    Write(utf8_name, bytes);
    return *this / utf8_name;
  }
  // The full UTF-8 path of `utf8_name` in the directory: dir / "out.txt".
  std::string operator/(const std::string& utf8_name) const { return (path_ / utf8_name).string(); }
  // The bytes of the file `utf8_name`; "" when it is missing.
  std::string Read(const std::string& utf8_name) const {
    std::ifstream in(path_ / utf8_name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Every file in the directory as (UTF-8 name, content), sorted by name.
  std::vector<std::pair<std::string, std::string>> Files() const {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      const std::string name = entry.path().filename().string();
      files.emplace_back(name, Read(name));
    }
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace lanzhou

#endif  // LANZHOU_TESTS_SUPPORT_TEMP_DIRECTORY_H_
