// Where the pages save their result files: the program's directory while it can be written
// (a build tree, a copy in the user's home), else a folder of the user's own (an installed
// program in /usr/bin), so that a save never fails only because of where the program lives.
//
// The choice sits behind `SaveFolders`, so the pages stay free of the desktop and tests can
// give the window a program directory that counts as read-only.
#ifndef LANZHOU_SERVICES_SAVE_FOLDER_H_
#define LANZHOU_SERVICES_SAVE_FOLDER_H_

#include "ui/dialogs.h"
#include "text/text.h"

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

// True when this process may create files in `directory` (an existing directory that it may
// write and enter, on a file system mounted for writing). Run as root, permission bits do
// not count.
bool IsWritableDirectory(const Text& directory);

// The run directory while `is_writable` says so, else `user_folder`, made with its parents
// when it is missing. Asked again at every save, so a directory that becomes writable is
// used again.
//   RunOrUserFolder("/usr/bin", "/home/a/Documents/岚舟资料处理专家").Choose()
//     == {"/home/a/Documents/岚舟资料处理专家", false}   (for a user other than root)
class RunOrUserFolder : public SaveFolders {
 public:
  using WritableCheck = bool (*)(const Text& directory);

  RunOrUserFolder(Text run_directory, Text user_folder,
                  WritableCheck is_writable = IsWritableDirectory);
  SaveFolder Choose() override;

 private:
  Text run_directory_;
  Text user_folder_;
  WritableCheck is_writable_;
};

// Tells the user where a result went. In the run directory the page's own success message
// `in_run_directory` is shown (nothing when it is empty: the page shows its success some
// other way); elsewhere "处理完毕，已保存在 " and the folder, as the user cannot guess it.
void ShowSaved(Dialogs& dialogs, const SaveFolder& folder, const Text& in_run_directory);

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_SAVE_FOLDER_H_
