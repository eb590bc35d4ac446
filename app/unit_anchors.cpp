#include "app/unit_anchors.h"

namespace lanzhou {
namespace {

// The ways a unit follows the window, named by what it does.
constexpr AnchorOptions kGrowAtLeast500By172{.minWidth = 500, .minHeight = 172};
constexpr AnchorOptions kStretchAtLeast100By20{
    .anchorTop = 0, .anchorBottom = 0, .minWidth = 100, .minHeight = 20};
constexpr AnchorOptions kGrow{};                          // both ways
constexpr AnchorOptions kWiden{.anchorBottom = 0};        // at the top
constexpr AnchorOptions kWidenAtBottom{.anchorTop = 0};   // moves down
constexpr AnchorOptions kBottomLeft{.anchorTop = 0, .anchorRight = 0};
constexpr AnchorOptions kBottomRight{.anchorLeft = 0, .anchorTop = 0};
// An input box above its result box: each takes half of the height the window gains, and
// what sits between them moves by that half.
constexpr AnchorOptions kUpperHalf{.shareY = {0, 50}};
constexpr AnchorOptions kLowerHalf{.shareY = {50, 100}};
constexpr AnchorOptions kMiddleLeft{.anchorRight = 0, .shareY = {50, 50}};
constexpr AnchorOptions kMiddleRight{.anchorLeft = 0, .shareY = {50, 50}};
// Lists A and B side by side: each takes half of the width the window gains.
constexpr AnchorOptions kLeftHalf{.shareX = {0, 50}};
constexpr AnchorOptions kRightHalf{.shareX = {50, 100}};
constexpr AnchorOptions kTopAtMiddle{.anchorBottom = 0, .shareX = {50, 50}};

// clang-format off
constexpr UnitAnchor kUnitAnchors[] = {
  {Unit::选择夹1,        kGrowAtLeast500By172},
  {Unit::超级列表框1,    kGrowAtLeast500By172},
  {Unit::标签_行数,      kStretchAtLeast100By20},
  // The window.
  {Unit::图片框1,        kWiden},
  {Unit::超级链接框2,    kBottomRight},
  {Unit::超级链接框3,    kBottomRight},
  // Page 1, A/B merge.
  {Unit::标签1,          kWiden},
  {Unit::超级列表框A,    kLeftHalf},
  {Unit::按钮_导入b,     kTopAtMiddle},
  {Unit::超级列表框b,    kRightHalf},
  {Unit::选择框1,        kBottomRight},
  {Unit::标签3,          kBottomRight},
  {Unit::编辑框1,        kBottomRight},
  {Unit::按钮_处理,      kBottomLeft},
  {Unit::标签2,          kBottomLeft},
  // Page 2, duplicate removal.
  {Unit::标签5,          kWiden},
  {Unit::编辑框2,        kUpperHalf},
  {Unit::标签6,          kMiddleLeft},
  {Unit::编辑框3,        kLowerHalf},
  {Unit::按钮1,          kBottomRight},
  {Unit::标签_忽略,      kBottomLeft},
  {Unit::选择框_忽略全半角, kBottomLeft},
  {Unit::选择框_忽略空白, kBottomLeft},
  {Unit::选择框_忽略大小写, kBottomLeft},
  {Unit::选择框_忽略繁简, kBottomLeft},
  // Page 3, line wrapping.
  {Unit::标签8,          kWiden},
  {Unit::被折行_编辑框,  kUpperHalf},
  {Unit::标签7,          kMiddleLeft},
  {Unit::替换后_编辑框,  kLowerHalf},
  {Unit::标签9,          kBottomLeft},
  {Unit::字数_编辑框,    kBottomLeft},
  {Unit::标签10,         kBottomLeft},
  {Unit::选择框2,        kBottomRight},
  {Unit::按钮2,          kBottomRight},
  // Page 4, field extraction.
  {Unit::标签12,         kWiden},
  {Unit::编辑框4,        kGrow},
  {Unit::标签11,         kWidenAtBottom},
  {Unit::标签13,         kBottomRight},
  {Unit::列1,            kBottomRight},
  {Unit::标签14,         kBottomRight},
  {Unit::按钮3,          kBottomRight},
  // Page 5, normalising: the options row stays under the result box.
  {Unit::标签15,         kWiden},
  {Unit::清洗_编辑框,    kUpperHalf},
  {Unit::标签16,         kMiddleLeft},
  {Unit::清洗后_编辑框,  kLowerHalf},
  {Unit::选择框_全角,    kBottomLeft},
  {Unit::选择框_标点,    kBottomLeft},
  {Unit::选择框_首尾,    kBottomLeft},
  {Unit::选择框_空白,    kBottomLeft},
  {Unit::选择框_小写,    kBottomLeft},
  {Unit::选择框_空行,    kBottomLeft},
  {Unit::单选框_不转换,  kBottomLeft},
  {Unit::单选框_繁转简,  kBottomLeft},
  {Unit::单选框_简转繁,  kBottomLeft},
  {Unit::按钮_清洗,      kBottomRight},
  {Unit::按钮_脱敏,      kBottomRight},
  // Page 6, information extraction: the text and the result share the room; the keyword box
  // keeps its height below them.
  {Unit::标签_提取说明,  kWiden},
  {Unit::编辑框_提取资料, kUpperHalf},
  {Unit::选择框_手机号,  kMiddleLeft},
  {Unit::选择框_邮箱,    kMiddleLeft},
  {Unit::选择框_QQ号,    kMiddleLeft},
  {Unit::选择框_身份证号, kMiddleLeft},
  {Unit::选择框_旧身份证, kMiddleLeft},
  {Unit::选择框_网址,    kMiddleLeft},
  {Unit::选择框_结果去重, kMiddleLeft},
  {Unit::标签_自定义,    kMiddleLeft},
  {Unit::编辑框_自定义,  kMiddleLeft},
  {Unit::按钮_提取,      kMiddleRight},
  {Unit::标签_提取结果,  kMiddleLeft},
  {Unit::编辑框_提取结果, kLowerHalf},
  {Unit::标签_关键词,    kBottomLeft},
  {Unit::编辑框_关键词,  kWidenAtBottom},
  {Unit::选择框_整行匹配, kBottomRight},
  {Unit::选择框_不分大小写, kBottomRight},
  {Unit::按钮_保留,      kBottomRight},
  {Unit::按钮_删除,      kBottomRight},
};
// clang-format on

}  // namespace

std::span<const UnitAnchor> UnitAnchors() { return kUnitAnchors; }

}  // namespace lanzhou
