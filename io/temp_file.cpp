#include "io/temp_file.h"

#include <fcntl.h>

#include <cstdlib>
#include <cstring>

#include "io/system_calls.h"

namespace lanzhou {

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
