// The window template: every unit of the main window with its name, kind, parent, bounds,
// text and font. Page units are placed relative to the tab control's top-left corner (tab
// strip included) and are shown only with their page.
#ifndef LANZHOU_APP_UNIT_TABLE_H_
#define LANZHOU_APP_UNIT_TABLE_H_

#include <span>

#include "ui/units.h"

namespace lanzhou {

inline constexpr int kUnitCount = static_cast<int>(Unit::按钮_删除) + 1;

enum class UnitKind {
  kWindow,
  kPictureBox,
  kTransparentLabel,
  kTabControl,
  kHyperlink,
  kButton,
  kLabel,
  kLineEdit,       // single line
  kMultiLineEdit,  // wraps at the box width, a vertical scroll bar as needed
  kCheckBox,
  kRadioButton,  // one of a page's choices; the first of a page starts chosen
  kReportList,
  kCommonDialog,  // no window
  kDropObject,    // no window
};

enum class UnitFont {
  kDefault,
  kF1,  // 宋体, 12 pixels
  kF2,  // 微软雅黑, 12 pixels
};

inline constexpr int kNoPage = -1;

struct UnitDefinition {
  Unit unit;
  const char* name;  // UTF-8, as in the template
  UnitKind kind;
  Unit parent;  // MainWindow, 图片框1, or 选择夹1 for page units
  int page;     // the page of a page unit, else kNoPage
  int left, top, width, height;
  const char* text;  // UTF-8 caption or initial text
  UnitFont font = UnitFont::kDefault;
  bool centred = false;              // single-line edit boxes
  bool whole_row_selection = false;  // report lists
  bool grid_lines = false;           // report lists
};

// Every unit but the window itself, in creation order.
std::span<const UnitDefinition> UnitDefinitions();
// The definition of `unit`; the window's own is MainWindow's.
const UnitDefinition& DefinitionOf(Unit unit);

// The boxes that show a page's result: Tab moves on from them instead of typing a tab.
inline constexpr Unit kResultBoxes[] = {Unit::编辑框3, Unit::替换后_编辑框, Unit::清洗后_编辑框,
                                        Unit::编辑框_提取结果};

// The window itself.
inline constexpr const char* kWindowTitle = "岚舟资料处理专家（免费共享版 严禁出售）";
inline constexpr int kClientWidth = 606;
inline constexpr int kClientHeight = 566;
// The program's name: the user's folder for results (in the documents folder) and the menu
// entry carry it.
inline constexpr const char* kUserFolderName = "岚舟资料处理专家";

// Captions of the tab control's pages.
inline constexpr const char* kPageCaptions[] = {
    "排序操作", "数据合并操作", "数据去重处理", "折行处理", "文本分割", "数据清洗", "信息提取"};

// A column a report list is defined with.
struct ColumnDefinition {
  Unit grid;
  const char* caption;
  int width;
};
inline constexpr ColumnDefinition kDefinedColumns[] = {
    {Unit::超级列表框A, "id", 40},
    {Unit::超级列表框A, "邮箱账号", 240},
    {Unit::超级列表框b, "id", 40},
    {Unit::超级列表框b, "姓名", 240},
};

// The maker's sites: configuration constants, reserved example domains.
inline constexpr const char* kMainSiteHost = "www.example.com";
inline constexpr const char* kSecondSite = "http://www.example.net";
inline constexpr const char* kSecondSiteGoodsPath = "/Goods/sj/sid/8";

}  // namespace lanzhou

#endif  // LANZHOU_APP_UNIT_TABLE_H_
