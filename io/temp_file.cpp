#include "io/temp_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <charconv>

#include <cstdlib>
#include <cstring>

#include "io/system_calls.h"

namespace lanzhou {

pid_t WriterOfTemporary(std::string_view name) {
  const std::size_t mark = name.rfind(kTemporaryMark);
  if (!name.starts_with('.') || mark == std::string_view::npos || mark == 0) return 0;
  std::string_view rest = name.substr(mark + kTemporaryMark.size());
  pid_t pid = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
  rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
  const bool letters = rest.size() == 7 && rest.front() == '-' &&
                       std::all_of(rest.begin() + 1, rest.end(), [](char c) {
                         return std::isalnum(static_cast<unsigned char>(c)) != 0;
                       });
  return ec == std::errc() && pid > 0 && letters ? pid : 0;
}

void RemoveTemporariesOfDeadWriters(const std::string& directory) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = WriterOfTemporary(entry->d_name);
    if (pid == 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

std::string TemporaryDirectory(const std::string& asked) {
  if (!asked.empty()) return asked;
  const char* env = std::getenv("TMPDIR");
  return env != nullptr && *env != '\0' ? env : "/tmp";
}

std::string TemporaryFileFailure(std::string_view what, const std::string& directory, int err) {
  if (err == ENOSPC || err == EDQUOT || err == EFBIG) {
    return "no space left for temporary files in '" + directory + "'";
  }
  return "cannot " + std::string(what) + " a temporary file in '" + directory +
         "': " + std::strerror(err);
}

int OpenUnnamedFile(const std::string& directory, int& err) {
  int fd = Sys().open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    std::string name;
    fd = MakeTemporaryName(directory + "/", "lanzhou", name, [](const std::string& path) {
      return Sys().open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    });
    if (fd >= 0 && Sys().unlink(name.c_str()) != 0) {
      // A file that stays listed would outlive the run: better none at all.
      err = errno;
      ::close(fd);
      ::unlink(name.c_str());
      return -1;
    }
  }
  if (fd < 0) err = errno;
  return fd;
}

}  // namespace lanzhou
