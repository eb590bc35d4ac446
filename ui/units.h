// What a page handler may touch of the window: the units by their template names, the
// dialogs, the clock, the run directory and where results are saved. The window implements it over
// Qt widgets (app/); tests implement it over plain values (`FakeUnits`,
// tests/support/fake_units.h).
#ifndef LANZHOU_UI_UNITS_H_
#define LANZHOU_UI_UNITS_H_

#include "text/clock.h"
#include "text/text.h"
#include "ui/dialogs.h"
#include "ui/grid_data.h"
#include "ui/long_work.h"
#include "ui/save_folder.h"

namespace lanzhou {

// Every unit of the main window, named as in the window template.
enum class Unit {
  // The window and its top-level units.
  MainWindow,
  图片框1,
  透明标签1,
  选择夹1,
  超级链接框2,
  超级链接框3,
  // Page 0, column reorder.
  按钮_导入,
  按钮_导出,
  按钮_清空,
  标签4,
  编辑框_列,
  标签_行数,
  超级列表框1,
  拖放对象1,
  通用对话框1,
  // Page 1, A/B merge.
  标签1,
  超级列表框A,
  超级列表框b,
  拖放对象A,
  拖放对象b,
  按钮_导入A,
  按钮_导入b,
  选择框1,
  标签3,
  编辑框1,
  按钮_处理,
  标签2,
  // Page 2, duplicate removal.
  标签5,
  编辑框2,
  标签6,
  编辑框3,
  按钮1,
  标签_忽略,
  选择框_忽略全半角,
  选择框_忽略空白,
  选择框_忽略大小写,
  选择框_忽略繁简,
  // Page 3, line wrapping.
  标签8,
  被折行_编辑框,
  标签7,
  替换后_编辑框,
  标签9,
  字数_编辑框,
  标签10,
  选择框2,
  按钮2,
  // Page 4, field extraction.
  标签12,
  编辑框4,
  标签11,
  标签13,
  列1,
  标签14,
  按钮3,
  // Page 5, clean-up.
  标签15,
  清洗_编辑框,
  标签16,
  清洗后_编辑框,
  选择框_全角,
  选择框_标点,
  选择框_首尾,
  选择框_空白,
  选择框_小写,
  选择框_空行,
  单选框_不转换,
  单选框_繁转简,
  单选框_简转繁,
  按钮_清洗,
  按钮_脱敏,
  // Page 6, information extraction.
  标签_提取说明,
  编辑框_提取资料,
  选择框_手机号,
  选择框_邮箱,
  选择框_QQ号,
  选择框_身份证号,
  选择框_旧身份证,
  选择框_网址,
  选择框_结果去重,
  标签_自定义,
  编辑框_自定义,
  按钮_提取,
  标签_提取结果,
  编辑框_提取结果,
  标签_关键词,
  编辑框_关键词,
  选择框_整行匹配,
  选择框_不分大小写,
  按钮_保留,
  按钮_删除,
};

class Units {
 public:
  virtual ~Units() = default;

  // An edit box's text; a multi-line box separates its lines with CR LF.
  virtual Text EditText(Unit unit) const = 0;
  virtual void SetEditText(Unit unit, const Text& text) = 0;
  // Rewrites what the user typed into an edit box as one edit of its own that undo (Ctrl+Z)
  // takes back; nothing happens when the text is already `text`.
  virtual void ReplaceEditText(Unit unit, const Text& text) = 0;
  // A label's caption.
  virtual void SetCaption(Unit unit, const Text& text) = 0;
  virtual Text Caption(Unit unit) const = 0;
  virtual bool IsTicked(Unit unit) const = 0;
  // A report list's data.
  virtual GridData& Grid(Unit unit) = 0;
  // Stops repainting `unit` until `UnlockRedraw`; one window at a time.
  virtual bool LockRedraw(Unit unit) = 0;
  virtual void UnlockRedraw(Unit unit) = 0;
  // Sets each column's width to fit its header and cells, as the list view's
  // "fit content" sizing does.
  virtual void AutoFitColumns(Unit grid) = 0;
  // Lets the window repaint during long work (a progress caption); cheap to call often.
  virtual void ProcessEvents() = 0;
  // Runs `work` (ui/long_work.h) off the window's thread while the window repaints, shows its
  // progress and offers 取消 (and Esc); the page's units take no input meanwhile. Returns once
  // the work has ended: true when it ran to its end, false when the user cancelled it. An
  // exception of the work is rethrown here.
  virtual bool RunLongWork(const LongWork& work, const WorkDisplay& display = {}) = 0;
  // The common dialog unit `通用对话框1`.
  virtual CommonDialog& FileDialog(Unit unit) = 0;

  virtual Dialogs& dialogs() = 0;
  virtual const Clock& clock() const = 0;
  // The program's directory, without a trailing "/".
  virtual Text RunDirectory() const = 0;
  // Where the next result file goes: the program's directory while it can be written, else
  // the user's folder (ui/save_folder.h).
  virtual SaveFolder ChooseSaveFolder() = 0;
};

}  // namespace lanzhou

#endif  // LANZHOU_UI_UNITS_H_
