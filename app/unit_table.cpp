#include "app/unit_table.h"

#include <array>
#include <cstdlib>

namespace lanzhou {
namespace {

using K = UnitKind;
using F = UnitFont;
constexpr Unit W = Unit::MainWindow;
constexpr Unit T = Unit::选择夹1;

// clang-format off
constexpr UnitDefinition kUnits[] = {
  // unit                  name              kind                 parent        page     l    t    w    h   text
  {Unit::图片框1,         "图片框1",        K::kPictureBox,       W,              kNoPage, -1,   0, 608,  72, ""},
  {Unit::透明标签1,       "透明标签1",      K::kTransparentLabel, Unit::图片框1, kNoPage,  1,   8, 608,  64, ""},
  {Unit::选择夹1,         "选择夹1",        K::kTabControl,       W,              kNoPage, -1,  72, 608, 464, ""},
  {Unit::超级链接框2,     "超级链接框2",    K::kHyperlink,        W,              kNoPage, 255, 543, 174,  16, "岚舟寄售平台"},
  {Unit::超级链接框3,     "超级链接框3",    K::kHyperlink,        W,              kNoPage, 421, 542, 184,  20, "栖叶资源下载网站"},
  // Page 0, column reorder. Nothing of a page reaches up into the tab bar (25 pixels).
  {Unit::按钮_导入,       "按钮_导入",      K::kButton,       T, 0,  16,  41,  80,  25, "导入资料", F::kF1},
  {Unit::按钮_导出,       "按钮_导出",      K::kButton,       T, 0, 108,  41,  80,  25, "保存", F::kF1},
  {Unit::按钮_清空,       "按钮_清空",      K::kButton,       T, 0, 200,  41,  80,  25, "清空", F::kF1},
  {Unit::标签4,           "标签4",          K::kLabel,        T, 0, 269,  26, 307,  15, "在以下编辑框输入要排序的 序号中间用“,”隔开"},
  // The row count takes 26 pixels of the order box, so "当前列表共: 123456789 行" fits.
  {Unit::编辑框_列,       "编辑框_列",      K::kLineEdit,     T, 0, 296,  42, 142,  24, "1,2,3,4,5,6,7,8", F::kF1},
  {Unit::标签_行数,       "标签_行数",      K::kLabel,        T, 0, 448,  42, 146,  24, ""},
  {Unit::超级列表框1,     "超级列表框1",    K::kReportList,   T, 0,   8,  70, 592, 380, "", F::kF1, false, true, true},
  {Unit::拖放对象1,       "拖放对象1",      K::kDropObject,   T, 0,  32,  88,  26,  24, ""},
  {Unit::通用对话框1,     "通用对话框1",    K::kCommonDialog, T, 0,   8,  88,  24,  24, ""},
  // Page 1, A/B merge.
  {Unit::标签1,           "标签1",          K::kLabel,        T, 1,   6,  33, 558,  24, "此工具仅限用于：A资料与B资料合并使用 | 使用方法：分别导入资料A与B点击处理就可以了", F::kF2},
  // Each list has a button above it for those who pick a file rather than drop it.
  {Unit::超级列表框A,     "超级列表框A",    K::kReportList,   T, 1,   6,  98, 291, 244, "", F::kF2},
  {Unit::超级列表框b,     "超级列表框b",    K::kReportList,   T, 1, 311,  98, 285, 244, "", F::kF2},
  {Unit::拖放对象A,       "拖放对象A",      K::kDropObject,   T, 1, 244,  70,  32,  32, ""},
  {Unit::拖放对象b,       "拖放对象b",      K::kDropObject,   T, 1, 540, 142,  32,  32, ""},
  {Unit::按钮_导入A,      "按钮_导入A",     K::kButton,       T, 1,   6,  66,  80,  26, "导入A", F::kF2},
  {Unit::按钮_导入b,      "按钮_导入b",     K::kButton,       T, 1, 311,  66,  80,  26, "导入B", F::kF2},
  {Unit::选择框1,         "选择框1",        K::kCheckBox,     T, 1, 292, 350, 272,  24, "勾选此功能是A资料与同一个数据批量合并使用", F::kF2},
  {Unit::标签3,           "标签3",          K::kLabel,        T, 1, 291, 382, 100,  24, "被A资料共用数据：", F::kF2},
  {Unit::编辑框1,         "编辑框1",        K::kLineEdit,     T, 1, 393, 382, 164,  24, "", F::kF2},
  {Unit::按钮_处理,       "按钮_处理",      K::kButton,       T, 1,   6, 374,  80,  32, "开始处理", F::kF2},
  {Unit::标签2,           "标签2",          K::kLabel,        T, 1, 100, 374, 128,  32, "", F::kF2},
  // Page 2, duplicate removal.
  {Unit::标签5,           "标签5",          K::kLabel,        T, 2,  12,  26, 584,  24, "请复制粘贴需要去重的资料到以下编辑框"},
  {Unit::编辑框2,         "编辑框2",        K::kMultiLineEdit, T, 2,  9,  51, 584, 208, ""},
  {Unit::标签6,           "标签6",          K::kLabel,        T, 2,  12, 264, 392,  24, "以下编辑框里的内容是去重后得到的最终结果"},
  {Unit::编辑框3,         "编辑框3",        K::kMultiLineEdit, T, 2,  9, 291, 584, 128, ""},
  {Unit::按钮1,           "按钮1",          K::kButton,       T, 2, 485, 427, 111,  32, "开始去重"},
  {Unit::标签_忽略,       "标签_忽略",      K::kLabel,        T, 2,  17, 431,  80,  24, "比较时忽略："},
  {Unit::选择框_忽略全半角, "选择框_忽略全半角", K::kCheckBox, T, 2,  97, 427,  72,  32, "全半角"},
  {Unit::选择框_忽略空白, "选择框_忽略空白", K::kCheckBox,    T, 2, 173, 427,  92,  32, "首尾空白"},
  {Unit::选择框_忽略大小写, "选择框_忽略大小写", K::kCheckBox, T, 2, 269, 427,  72,  32, "大小写"},
  {Unit::选择框_忽略繁简, "选择框_忽略繁简", K::kCheckBox,    T, 2, 345, 427,  60,  32, "繁简"},
  // Page 3, line wrapping.
  {Unit::标签8,           "标签8",          K::kLabel,        T, 3,  11,  26, 585,  24, "复制粘贴数据到如下编辑框      【折行注释】就是将一个很长的内容按你的要求自动分行"},
  {Unit::被折行_编辑框,   "被折行_编辑框",  K::kMultiLineEdit, T, 3,  9,  51, 584, 184, ""},
  {Unit::标签7,           "标签7",          K::kLabel,        T, 3,  15, 233, 320,  24, "以下为折行后的结果"},
  {Unit::替换后_编辑框,   "替换后_编辑框",  K::kMultiLineEdit, T, 3,  9, 257, 584, 146, ""},
  {Unit::标签9,           "标签9",          K::kLabel,        T, 3,  29, 416,  88,  32, "每一行多少字符"},
  {Unit::字数_编辑框,     "字数_编辑框",    K::kLineEdit,     T, 3, 119, 418,  56,  28, "3", F::kDefault, true},
  {Unit::标签10,          "标签10",         K::kLabel,        T, 3, 177, 418, 128,  24, "一个中文为2个字符"},
  {Unit::选择框2,         "选择框2",        K::kCheckBox,     T, 3, 343, 417, 127,  32, "是否过滤标点符号"},
  {Unit::按钮2,           "按钮2",          K::kButton,       T, 3, 487, 416,  96,  32, "开始处理"},
  // Page 4, field extraction.
  {Unit::标签12,          "标签12",         K::kLabel,        T, 4,   9,  27, 592,  24, "复制粘贴需要处理的资料到以下编辑框里，一行一个。"},
  {Unit::编辑框4,         "编辑框4",        K::kMultiLineEdit, T, 4,  9,  53, 592, 304, ""},
  {Unit::标签11,          "标签11",         K::kLabel,        T, 4,   9, 363, 584,  32, "需要提取出哪一项就填写上序号。如：ABC|QWE|ASD|RTY  我需要单独保存 QWE 那么我就填写 2  需要保存 ASD 那我就填写 3 以此类推"},
  {Unit::标签13,          "标签13",         K::kLabel,        T, 4, 278, 411,  48,  24, "提取第"},
  {Unit::列1,             "列1",            K::kLineEdit,     T, 4, 317, 412,  48,  24, "1", F::kDefault, true},
  {Unit::标签14,          "标签14",         K::kLabel,        T, 4, 375, 411,  40,  24, "项"},
  {Unit::按钮3,           "按钮3",          K::kButton,       T, 4, 425, 407, 104,  32, "开始处理"},
  // Page 5, clean-up.
  {Unit::标签15,          "标签15",         K::kLabel,        T, 5,   9,  26, 592,  22, "复制粘贴需要清洗的资料到以下编辑框里，一行一个。"},
  {Unit::清洗_编辑框,     "清洗_编辑框",    K::kMultiLineEdit, T, 5,  9,  48, 592, 168, ""},
  {Unit::标签16,          "标签16",         K::kLabel,        T, 5,   9, 222, 320,  24, "以下为清洗后的结果"},
  {Unit::清洗后_编辑框,   "清洗后_编辑框",  K::kMultiLineEdit, T, 5,  9, 246, 592, 128, ""},
  {Unit::选择框_全角,     "选择框_全角",    K::kCheckBox,     T, 5,   9, 380,  96,  28, "全角转半角"},
  {Unit::选择框_标点,     "选择框_标点",    K::kCheckBox,     T, 5, 107, 380,  68,  28, "含标点"},
  {Unit::选择框_首尾,     "选择框_首尾",    K::kCheckBox,     T, 5, 177, 380, 112,  28, "去除首尾空白"},
  {Unit::选择框_空白,     "选择框_空白",    K::kCheckBox,     T, 5, 291, 380, 112,  28, "合并连续空白"},
  {Unit::选择框_小写,     "选择框_小写",    K::kCheckBox,     T, 5, 405, 380,  96,  28, "英文转小写"},
  {Unit::选择框_空行,     "选择框_空行",    K::kCheckBox,     T, 5, 503, 380,  96,  28, "删除空行"},
  {Unit::单选框_不转换,   "单选框_不转换",  K::kRadioButton,  T, 5,   9, 414,  80,  28, "不转换"},
  {Unit::单选框_繁转简,   "单选框_繁转简",  K::kRadioButton,  T, 5,  91, 414, 100,  28, "繁体转简体"},
  {Unit::单选框_简转繁,   "单选框_简转繁",  K::kRadioButton,  T, 5, 193, 414, 100,  28, "简体转繁体"},
  {Unit::按钮_清洗,       "按钮_清洗",      K::kButton,       T, 5, 485, 412, 111,  32, "开始处理"},
  {Unit::按钮_脱敏,       "按钮_脱敏",      K::kButton,       T, 5, 369, 412, 111,  32, "脱敏"},
  // Page 6, information extraction.
  {Unit::标签_提取说明,   "标签_提取说明",  K::kLabel,        T, 6,   9,  26, 592,  18, "复制粘贴需要提取信息的资料到以下编辑框里"},
  {Unit::编辑框_提取资料, "编辑框_提取资料", K::kMultiLineEdit, T, 6, 9,  46, 592, 120, ""},
  {Unit::选择框_手机号,   "选择框_手机号",  K::kCheckBox,     T, 6,   9, 172,  64,  22, "手机号"},
  {Unit::选择框_邮箱,     "选择框_邮箱",    K::kCheckBox,     T, 6,  77, 172,  54,  22, "邮箱"},
  {Unit::选择框_QQ号,     "选择框_QQ号",    K::kCheckBox,     T, 6, 135, 172,  58,  22, "QQ号"},
  {Unit::选择框_身份证号, "选择框_身份证号", K::kCheckBox,    T, 6, 197, 172,  78,  22, "身份证号"},
  {Unit::选择框_旧身份证, "选择框_旧身份证", K::kCheckBox,    T, 6, 279, 172,  92,  22, "含15位旧号"},
  {Unit::选择框_网址,     "选择框_网址",    K::kCheckBox,     T, 6, 375, 172,  54,  22, "网址"},
  {Unit::选择框_结果去重, "选择框_结果去重", K::kCheckBox,    T, 6, 433, 172,  84,  22, "结果去重"},
  {Unit::标签_自定义,     "标签_自定义",    K::kLabel,        T, 6,   9, 203,  64,  18, "自定义规则"},
  {Unit::编辑框_自定义,   "编辑框_自定义",  K::kLineEdit,     T, 6,  75, 200, 400,  24, ""},
  {Unit::按钮_提取,       "按钮_提取",      K::kButton,       T, 6, 497, 197, 104,  30, "开始提取"},
  {Unit::标签_提取结果,   "标签_提取结果",  K::kLabel,        T, 6,   9, 232, 300,  18, "以下为提取或过滤的结果"},
  {Unit::编辑框_提取结果, "编辑框_提取结果", K::kMultiLineEdit, T, 6, 9, 252, 592, 100, ""},
  {Unit::标签_关键词,     "标签_关键词",    K::kLabel,        T, 6,   9, 358, 400,  18, "关键词（一行一个，可拖入文件）："},
  {Unit::编辑框_关键词,   "编辑框_关键词",  K::kMultiLineEdit, T, 6,  9, 378, 400,  78, ""},
  {Unit::选择框_整行匹配, "选择框_整行匹配", K::kCheckBox,    T, 6, 420, 378,  88,  22, "整行匹配"},
  {Unit::选择框_不分大小写, "选择框_不分大小写", K::kCheckBox, T, 6, 510, 378,  92,  22, "忽略大小写"},
  {Unit::按钮_保留,       "按钮_保留",      K::kButton,       T, 6, 420, 420,  88,  30, "保留匹配行"},
  {Unit::按钮_删除,       "按钮_删除",      K::kButton,       T, 6, 513, 420,  88,  30, "删除匹配行"},
};
// clang-format on

constexpr UnitDefinition kWindowDefinition{
    Unit::MainWindow, "MainWindow",  K::kWindow,  W, kNoPage, 0, 0,
    kClientWidth,     kClientHeight, kWindowTitle};

constexpr std::array<int, kUnitCount> IndexByUnit() {
  std::array<int, kUnitCount> index{};
  for (int& i : index) i = -1;
  for (int i = 0; i < static_cast<int>(std::size(kUnits)); ++i) {
    index[static_cast<size_t>(kUnits[i].unit)] = i;
  }
  return index;
}
constexpr std::array<int, kUnitCount> kIndex = IndexByUnit();

// Every unit but the window is defined exactly once.
constexpr bool EveryUnitDefined() {
  for (int u = 1; u < kUnitCount; ++u) {
    if (kIndex[static_cast<size_t>(u)] < 0) return false;
  }
  return std::size(kUnits) == kUnitCount - 1;
}
static_assert(EveryUnitDefined());

}  // namespace

std::span<const UnitDefinition> UnitDefinitions() { return kUnits; }

const UnitDefinition& DefinitionOf(Unit unit) {
  const int i = kIndex[static_cast<size_t>(unit)];
  return i < 0 ? kWindowDefinition : kUnits[i];
}

}  // namespace lanzhou
