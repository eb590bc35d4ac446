#include "pages/save_result.h"

#include <cerrno>
#include <optional>
#include <string>

#include "io/files.h"
#include "text/clock.h"
#include "text/encoding.h"
#include "text/lines.h"
#include "ui/dialogs.h"

namespace lanzhou {

ResultFile ChooseResultFile(Units& units, const Text& name_prefix) {
  SaveFolder folder = units.ChooseSaveFolder();
  Text path =
      folder.path + Text("/") + name_prefix + TimeToText(units.clock().Now()) + Text(".txt");
  return {std::move(folder), std::move(path)};
}

bool SaveResultFile(ResultFile& file, std::initializer_list<Bytes> parts,
                    const std::function<void(std::size_t done, std::size_t total)>& step) {
  std::optional<Text> written = WriteToNewFile(file.path, parts, step, &file.error);
  if (!written) return false;
  file.path = std::move(*written);
  return true;
}

Text CountedText(const char* before, std::uint64_t count, const char* after) {
  const std::string digits = std::to_string(count);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return FromUtf8(before) + Text(std::move(grouped)) + FromUtf8(after);
}

Text SaveFailureText(const Text& path, int error, bool name_moved) {
  const char* why = name_moved ? "文件已被其他程序移走或替换" : nullptr;
  switch (name_moved ? 0 : error) {
    case EACCES:
    case EPERM:
      why = "没有写入权限";
      break;
    case EROFS:
      why = "磁盘为只读";
      break;
    case ENOSPC:
    case EDQUOT:
      why = "磁盘空间已满";
      break;
    case EFBIG:
      why = "文件超过大小上限";
      break;
    case ENOENT:
    case ENOTDIR:
      why = "文件夹不存在";
      break;
    case EISDIR:
      why = "同名的文件夹已存在";
      break;
    case ENAMETOOLONG:
      why = "文件名太长";
      break;
    case ENOMEM:
      why = "内存不足";
      break;
  }
  const Text reason = why != nullptr ? FromUtf8(why) : FromUtf8("系统错误 ") + ToText(error);
  return FromUtf8("保存失败：") + path + FromUtf8("（") + reason + FromUtf8("）");
}

void ReportSave(Units& units, const ResultFile& file, bool written, const Text& saved,
                const Text& counts) {
  if (written) {
    ShowSaved(units.dialogs(), file.folder, saved, counts, file.path);
  } else {
    ShowMessage(units.dialogs(), SaveFailureText(file.path, file.error), message_flags::kIconError);
  }
}

void ReportCancelled(Units& units) {
  ShowMessage(units.dialogs(), FromUtf8("已取消"), message_flags::kIconInformation);
}

bool RefuseEmptyInput(Units& units, const Text& input) {
  if (input.view().find_first_not_of(" \t\r\n") != std::string_view::npos) return false;
  ReportNothingDone(units, FromUtf8("没有要处理的资料，请先输入或拖入资料"));
  return true;
}

void ReportNothingDone(Units& units, const Text& why) {
  ShowMessage(units.dialogs(), why, message_flags::kIconWarning);
}

}  // namespace lanzhou
