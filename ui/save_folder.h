// Where the pages save their result files: the program's directory when the program runs
// from a folder of its own that can be written (a build tree, an unpacked portable copy),
// else a folder of the user's own. An installed program never writes beside itself, run as
// root neither, and a save never fails only because of where the program lives.
//
// The choice sits behind `SaveFolders`, so the pages stay free of the desktop and tests can
// give the window a program directory that counts as read-only.
#ifndef LANZHOU_UI_SAVE_FOLDER_H_
#define LANZHOU_UI_SAVE_FOLDER_H_

#include "text/text.h"
#include "ui/dialogs.h"

namespace lanzhou {

// A folder to save into, without a trailing "/".
struct SaveFolder {
  Text path;
  bool is_run_directory = true;  // the pages' own messages then still hold
  friend bool operator==(const SaveFolder&, const SaveFolder&) = default;
};

class SaveFolders {
 public:
  virtual ~SaveFolders() = default;
  // The folder the next result file goes to; it exists unless it could not be made (the
  // write then fails and the page names the file it could not save).
  virtual SaveFolder Choose() = 0;
};

// The name the installed menu entry and icon carry (packaging/): <id>.desktop.
inline constexpr const char* kDesktopEntryId = "com.example.Lanzhou";

// True when this process may create files in `directory` (an existing directory that it may
// write and enter, on a file system mounted for writing). Run as root, permission bits do
// not count.
bool IsWritableDirectory(const Text& directory);

// True when `directory` is where installed programs live: a system folder (the root, /usr,
// /bin, /sbin, /lib*, /opt, /snap, /etc, /boot, /var/lib, /app and below, symbolic links
// resolved), or the bin/ of an installed layout at any prefix (/usr/local, ~/.local, a staging
// folder): one whose ../share/applications holds the program's menu entry.
//   "/usr/bin" -> true; "/home/a/lanzhou/build" -> false;
//   "/home/a/.local/bin" with /home/a/.local/share/applications/com.example.Lanzhou.desktop
//     -> true
bool IsInstallationDirectory(const Text& directory);

// The run directory when it is not an installation directory and `is_writable` says so,
// else `user_folder`, made with its parents when it is missing. Asked again at every save,
// so a directory that becomes writable is used again.
//   RunOrUserFolder("/usr/bin", "/root/Documents/岚舟资料处理专家").Choose()
//     == {"/root/Documents/岚舟资料处理专家", false}   (for root too)
class RunOrUserFolder : public SaveFolders {
 public:
  using DirectoryCheck = bool (*)(const Text& directory);

  RunOrUserFolder(Text run_directory, Text user_folder,
                  DirectoryCheck is_writable = IsWritableDirectory,
                  DirectoryCheck is_installation = IsInstallationDirectory);
  SaveFolder Choose() override;

 private:
  Text run_directory_;
  Text user_folder_;
  DirectoryCheck is_writable_;
  DirectoryCheck is_installation_;
};

// Tells the user that a result was saved, where and what it holds: in the run directory the
// page's own success message `in_run_directory`, elsewhere "处理完毕，已保存在 " and the
// folder; then `counts` on a line of its own (when not empty) and the file's path. The box
// offers 打开文件夹, which opens the folder.
//   ShowSaved(dialogs, {"/d", true}, "导出数据成功！！！", "已保存 9,812 行", "/d/处理后_….txt")
//     shows "导出数据成功！！！\n已保存 9,812 行\n/d/处理后_….txt"
void ShowSaved(Dialogs& dialogs, const SaveFolder& folder, const Text& in_run_directory,
               const Text& counts, const Text& file);

}  // namespace lanzhou

#endif  // LANZHOU_UI_SAVE_FOLDER_H_
