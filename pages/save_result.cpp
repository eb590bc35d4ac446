#include "pages/save_result.h"

#include "text/clock.h"
#include "text/encoding.h"
#include "ui/dialogs.h"

namespace lanzhou {

ResultFile ChooseResultFile(Units& units, const Text& name_prefix) {
  SaveFolder folder = units.ChooseSaveFolder();
  Text path =
      folder.path + Text("/") + name_prefix + TimeToText(units.clock().Now()) + Text(".txt");
  return {std::move(folder), std::move(path)};
}

void ReportSave(Units& units, const ResultFile& file, bool written, const Text& saved,
                const Text& summary) {
  if (written && !summary.empty()) {
    ShowMessage(units.dialogs(), summary + FromUtf8("\n保存在 ") + file.folder.path);
  } else if (written) {
    ShowSaved(units.dialogs(), file.folder, saved);
  } else {
    ShowMessage(units.dialogs(), FromUtf8("保存失败：") + file.path, message_flags::kIconError);
  }
}

}  // namespace lanzhou
