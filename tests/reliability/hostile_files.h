// Places where writing fails, for the reliability tests of every folder: a directory that
// refuses writes, a filesystem that is full, a file size limit, and snapshots that show
// whether files were touched.
//
// Refusing directories and full filesystems are real small tmpfs mounts when the tests may
// mount (root); otherwise a read-only directory falls back to permissions (non-root) and a
// full disk to the file size limit, which fails writes the same way without privileges.
#ifndef LANZHOU_TESTS_RELIABILITY_HOSTILE_FILES_H_
#define LANZHOU_TESTS_RELIABILITY_HOSTILE_FILES_H_

#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_directory.h"

namespace lanzhou::reliability {

namespace fs = std::filesystem;

// The bytes of a regular file; "" for anything else.
inline std::string Slurp(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return "";
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Spill(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A small tmpfs on a directory of its own, unmounted at the end. ok() is false when this
// process may not mount.
class TmpfsMount {
 public:
  // `options` as for mount(8), e.g. "size=16k"; `read_only` mounts it read-only.
  TmpfsMount(const fs::path& where, const std::string& options, bool read_only = false)
      : where_(where) {
    fs::create_directories(where_);
    mounted_ =
        ::mount("tmpfs", where_.c_str(), "tmpfs", read_only ? MS_RDONLY : 0, options.c_str()) == 0;
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool ok() const { return mounted_; }
  // Remounts read-only (after files were put in), or back to writable.
  bool SetReadOnly(bool read_only) {
    return mounted_ && ::mount("tmpfs", where_.c_str(), "tmpfs",
                               MS_REMOUNT | (read_only ? MS_RDONLY : 0), nullptr) == 0;
  }

 private:
  fs::path where_;
  bool mounted_ = false;
};

// Caps the size of any file this process writes (RLIMIT_FSIZE): a write past `bytes` fails
// with EFBIG, as a full disk fails with ENOSPC. SIGXFSZ is ignored meanwhile.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t old_handler_;
};

// Content and modification time of a file, to show that nothing touched it.
struct FileState {
  std::string bytes;
  timespec modified{};
  mode_t mode = 0;
  friend bool operator==(const FileState& a, const FileState& b) {
    return a.bytes == b.bytes && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec && a.mode == b.mode;
  }
};

inline FileState StateOf(const fs::path& path) {
  FileState state;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    state.modified = st.st_mtim;
    state.mode = st.st_mode;
  }
  state.bytes = Slurp(path);
  return state;
}

// Gives a file a modification time in the past, so that a rewrite within the same clock tick
// would still show.
inline void AgeFile(const fs::path& path) {
  const timespec times[2] = {{1000000000, 123456789}, {1000000000, 123456789}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The names in `dir`, sorted; empty when it cannot be read.
inline std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (auto it = fs::directory_iterator(dir, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace lanzhou::reliability

#endif  // LANZHOU_TESTS_RELIABILITY_HOSTILE_FILES_H_
