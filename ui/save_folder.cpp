#include "ui/save_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "text/encoding.h"

namespace lanzhou {

bool IsWritableDirectory(const Text& directory) {
  const std::string native = ToUtf8(directory);
  struct stat st;
  if (native.empty() || ::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  // The effective user decides, as it does when the file is created; a read-only mount
  // refuses root too.
  return ::faccessat(AT_FDCWD, native.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

RunOrUserFolder::RunOrUserFolder(Text run_directory, Text user_folder, WritableCheck is_writable)
    : run_directory_(std::move(run_directory)),
      user_folder_(std::move(user_folder)),
      is_writable_(is_writable) {}

SaveFolder RunOrUserFolder::Choose() {
  if (is_writable_(run_directory_)) return {run_directory_, true};
  std::error_code ignored;  // a folder that cannot be made shows as a failed save
  std::filesystem::create_directories(ToUtf8(user_folder_), ignored);
  return {user_folder_, false};
}

void ShowSaved(Dialogs& dialogs, const SaveFolder& folder, const Text& in_run_directory) {
  if (!folder.is_run_directory) {
    ShowMessage(dialogs, FromUtf8("处理完毕，已保存在 ") + folder.path);
  } else if (!in_run_directory.empty()) {
    ShowMessage(dialogs, in_run_directory);
  }
}

}  // namespace lanzhou
