#include "ui/save_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "io/system_calls.h"
#include "text/encoding.h"

namespace lanzhou {

bool IsWritableDirectory(const Text& directory) {
  const std::string native = ToUtf8(directory);
  struct stat st;
  if (native.empty() || Sys().stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  // The effective user decides, as it does when the file is created; a read-only mount
  // refuses root too.
  return Sys().faccessat(AT_FDCWD, native.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool IsInstallationDirectory(const Text& directory) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path path = fs::weakly_canonical(fs::path(ToUtf8(directory)), error);
  if (error || !path.is_absolute() || path == path.root_path()) return true;
  static constexpr std::string_view kSystemFolders[] = {
      "/usr", "/bin",  "/sbin", "/lib",  "/lib32",   "/lib64", "/libx32",
      "/opt", "/snap", "/etc",  "/boot", "/var/lib", "/app"};
  const std::string native = path.string();
  for (std::string_view folder : kSystemFolders) {
    if (native.starts_with(folder) &&
        (native.size() == folder.size() || native[folder.size()] == '/')) {
      return true;
    }
  }
  const fs::path entry =
      path.parent_path() / "share" / "applications" / (std::string(kDesktopEntryId) + ".desktop");
  return path.filename() == "bin" && fs::exists(entry, error);
}

RunOrUserFolder::RunOrUserFolder(Text run_directory, Text user_folder, DirectoryCheck is_writable,
                                 DirectoryCheck is_installation)
    : run_directory_(std::move(run_directory)),
      user_folder_(std::move(user_folder)),
      is_writable_(is_writable),
      is_installation_(is_installation) {}

SaveFolder RunOrUserFolder::Choose() {
  // Root may write into /usr/bin, yet results there would be lost among the programs.
  if (!is_installation_(run_directory_) && is_writable_(run_directory_)) {
    return {run_directory_, true};
  }
  // The folders above it first; one that exists or cannot be made shows in the save.
  const std::string native = ToUtf8(user_folder_);
  for (std::size_t slash = native.find('/', 1);; slash = native.find('/', slash + 1)) {
    Sys().mkdir(native.substr(0, slash).c_str(), 0777);
    if (slash == std::string::npos) break;
  }
  return {user_folder_, false};
}

void ShowSaved(Dialogs& dialogs, const SaveFolder& folder, const Text& in_run_directory,
               const Text& counts, const Text& file) {
  Text text =
      folder.is_run_directory ? in_run_directory : FromUtf8("处理完毕，已保存在 ") + folder.path;
  if (!counts.empty()) text += Text("\n") + counts;
  text += Text("\n") + file;
  if (ShowMessage(dialogs, text, message_flags::kOpenFolder) == message_result::kOpenFolder) {
    dialogs.OpenUrl(folder.path);
  }
}

}  // namespace lanzhou
