#include "app/event_table.h"

#include "app/main_window.h"
#include "app/unit_anchors.h"
#include "app/unit_table.h"
#include "pages/clean.h"
#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/find.h"
#include "pages/mask.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "text/encoding.h"
#include "ui/dialogs.h"

namespace lanzhou {
namespace {

// | unit        | event        | handler
// | MainWindow  | created      | OnWindowCreated      (below)
// | MainWindow  | may close    | OnWindowMayClose     (below)
// | MainWindow  | size changed | OnWindowSizeChanged  (below)
// | 透明标签1   | left press   | OnBannerPressed      (below)
// | buttons     | clicked      | kClickEvents
// | 拖放对象*   | FilesDropped | kFilesDroppedEvents
// | grids A, B  | text pasted  | kTextPastedEvents
// | line boxes  | Enter        | kEnterEvents (clicks the page's button)
constexpr ClickEvent kClickEvents[] = {
    {Unit::按钮_导入, OnImportClicked},    // import by file dialog
    {Unit::按钮_导出, OnExportClicked},    // export in column order
    {Unit::按钮_清空, OnClearClicked},     // clear the grid
    {Unit::按钮_导入A, OnImportAClicked},  // load list A by file dialog
    {Unit::按钮_导入b, OnImportBClicked},  // load list B by file dialog
    {Unit::按钮_处理, OnMergeClicked},     // A/B merge
    {Unit::按钮1, OnDedupeClicked},        // duplicate removal
    {Unit::按钮2, OnWrapClicked},          // line wrapping
    {Unit::按钮3, OnExtractClicked},       // field extraction
    {Unit::按钮_清洗, OnCleanClicked},     // clean-up
    {Unit::按钮_提取, OnFindClicked},      // information extraction
    {Unit::按钮_脱敏, OnMaskClicked},      // masking personal data
    {Unit::按钮_保留, OnKeepClicked},      // keep the lines with a keyword
    {Unit::按钮_删除, OnDropClicked},      // drop the lines with a keyword
};

constexpr FilesDroppedEvent kFilesDroppedEvents[] = {
    {Unit::拖放对象1, Unit::超级列表框1, OnImportDropped},  // import by drop
    {Unit::拖放对象A, Unit::超级列表框A, OnListADropped},   // load list A
    {Unit::拖放对象b, Unit::超级列表框b, OnListBDropped},   // load list B
};

constexpr TextPastedEvent kTextPastedEvents[] = {
    {Unit::超级列表框A, OnListAPasted},
    {Unit::超级列表框b, OnListBPasted},
};

constexpr EnterEvent kEnterEvents[] = {
    {Unit::编辑框_列, Unit::按钮_导出},  // column order: save
    {Unit::字数_编辑框, Unit::按钮2},    // width: wrap
    {Unit::列1, Unit::按钮3},            // fields: extract
};

}  // namespace

std::span<const ClickEvent> ClickEvents() { return kClickEvents; }
std::span<const FilesDroppedEvent> FilesDroppedEvents() { return kFilesDroppedEvents; }
std::span<const TextPastedEvent> TextPastedEvents() { return kTextPastedEvents; }
std::span<const EnterEvent> EnterEvents() { return kEnterEvents; }

void OnWindowCreated(MainWindow& window) {
  ControlAnchor& anchor = window.anchor();
  anchor.Init(window.UnitHandle(Unit::MainWindow));
  for (const UnitAnchor& row : UnitAnchors()) {
    anchor.AddControl(window.UnitHandle(row.unit), row.options);
  }
  for (const FilesDroppedEvent& event : kFilesDroppedEvents) {
    window.RegisterDropWindow(event.drop_object, window.UnitHandle(event.grid));
  }
}

bool OnWindowMayClose(MainWindow& window) {
  return ShowMessage(window.dialogs(), FromUtf8("是否关闭程序?"),
                     message_flags::kYesNo | message_flags::kIconQuestion,
                     FromUtf8("询问:")) == message_result::kYes;
}

void OnWindowSizeChanged(MainWindow& window) { window.anchor().Reflow(); }

void OnBannerPressed(MainWindow& window, int, int, int) {
  window.dialogs().OpenUrl(Text(kSecondSite));
}

}  // namespace lanzhou
