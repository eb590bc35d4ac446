#include "app/main_window.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>
#include <limits>

#include "app/banner.h"
#include "app/event_table.h"
#include "app/long_work_runner.h"
#include "app/module_hooks.h"
#include "app/qt_window_geometry.h"
#include "io/files.h"
#include "text/encoding.h"
#include "ui/dropped_text.h"
#include "ui/qt/drop_object.h"
#include "ui/qt/grid_view.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/text_box.h"

namespace lanzhou {
namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// The template's fonts on the installed CJK fonts: the first family present is used.
QFont FontOf(UnitFont font) {
  QFont f;
  switch (font) {
    case UnitFont::kF1:
      f.setFamilies({Utf8("宋体"), QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                     QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                     QStringLiteral("Noto Sans CJK SC")});
      break;
    case UnitFont::kF2:
      f.setFamilies({Utf8("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                     QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
      break;
    case UnitFont::kDefault:
      f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                     Utf8("宋体"), QStringLiteral("SimSun")});
      break;
  }
  f.setPixelSize(12);
  f.setWeight(QFont::Normal);
  f.setItalic(false);
  f.setUnderline(false);
  return f;
}

// The folder of the user's own for results, when the program's directory cannot be written:
// the desktop's documents folder (XDG_DOCUMENTS_DIR, ~/Documents) with the program's name.
Text UserSaveFolder() {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QDir::homePath();
  return FromQString(documents + QLatin1Char('/') + Utf8(kUserFolderName));
}

QString LinkTarget(Unit unit) {
  if (unit == Unit::超级链接框2) return Utf8(kMainSiteHost);
  return Utf8(kSecondSite) + Utf8(kSecondSiteGoodsPath);
}

// A large document is filled a piece at a time with the window's other events between; the
// user's input waits until it is whole.
std::function<void()> PieceBreak() {
  return [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
}

// Messages of work on another thread, kept until the window's thread shows them; a question
// is answered with its default.
class HeldMessages : public Dialogs {
 public:
  int ShowMessage(const Text& text, int flags, const Text& caption) override {
    held_.push_back({text, flags, caption});
    return message_result::kOk;
  }
  std::optional<Text> AskText(const Text&, const Text&, const Text&, int) override {
    return std::nullopt;
  }
  bool ShowCommonDialog(CommonDialog&) override { return false; }
  void OpenUrl(const Text&) override {}

  void ShowTo(Dialogs& dialogs) const {
    for (const Held& m : held_) dialogs.ShowMessage(m.text, m.flags, m.caption);
  }

 private:
  struct Held {
    Text text;
    int flags;
    Text caption;
  };
  std::vector<Held> held_;
};

}  // namespace

// Units over the widgets. Multi-line boxes hand out CR LF; all text goes through UTF-8.
class MainWindow::WidgetUnits : public Units {
 public:
  explicit WidgetUnits(MainWindow* window) : window_(window) {}

  // A large box's text is converted and copied on another thread while the window goes on.
  Text EditText(Unit unit) const override {
    auto* box = qobject_cast<const TextBox*>(window_->UnitWidget(unit));
    if (box == nullptr) return TextOf(window_->UnitWidget(unit));
    const Text& kept = BoxText(*box);
    Text copy;
    Elsewhere(kept.size() >= kLargeBox, [&] { copy = kept; });
    return copy;
  }
  void SetEditText(Unit unit, const Text& text) override {
    auto* box = qobject_cast<TextBox*>(window_->UnitWidget(unit));
    if (box == nullptr) {
      SetTextOf(window_->UnitWidget(unit), text);
      return;
    }
    const bool large = text.size() >= kLargeBox;
    Text kept;
    const BoxContent content = BoxContentOf(text, large, kept);
    box->SetContent(content, std::move(kept), large ? PieceBreak() : nullptr);
  }
  void ReplaceEditText(Unit unit, const Text& text) override {
    QWidget* widget = window_->UnitWidget(unit);
    auto* box = qobject_cast<TextBox*>(widget);
    if (box != nullptr ? BoxText(*box) == text : TextOf(widget) == text) return;
    if (box != nullptr) {
      const bool large = text.size() >= kLargeBox;
      Text kept;
      const BoxContent content = BoxContentOf(text, large, kept);
      box->ReplaceContent(content, std::move(kept), large ? PieceBreak() : nullptr);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      line->selectAll();
      line->insert(ToQString(text));  // QLineEdit::setText would clear its undo history
    }
  }
  void SetCaption(Unit unit, const Text& text) override {
    SetTextOf(window_->UnitWidget(unit), text);
  }
  Text Caption(Unit unit) const override { return TextOf(window_->UnitWidget(unit)); }
  bool IsTicked(Unit unit) const override {
    auto* box = qobject_cast<QAbstractButton*>(window_->UnitWidget(unit));
    return box != nullptr && box->isCheckable() && box->isChecked();
  }
  GridData& Grid(Unit unit) override {
    auto it = window_->grids_.find(unit);
    return it != window_->grids_.end() ? *it->second : stray_grid_;
  }
  bool LockRedraw(Unit unit) override {
    QWidget* widget = window_->UnitWidget(unit);
    if (widget == nullptr || locked_ != nullptr) return false;
    locked_ = widget;
    widget->setUpdatesEnabled(false);
    return true;
  }
  void UnlockRedraw(Unit) override {
    if (locked_ == nullptr) return;
    QWidget* widget = locked_;
    locked_ = nullptr;
    window_->FlushGrids();
    widget->setUpdatesEnabled(true);
    widget->update();
  }
  void AutoFitColumns(Unit grid) override {
    GridView* view = window_->GridViewOf(grid);
    if (view == nullptr) return;
    const bool large = Grid(grid).ItemCount() >= 100'000;
    view->AutoFitColumns([&](const std::function<void()>& find) { Elsewhere(large, find); });
  }
  void ProcessEvents() override {
    // At most one turn of the loop every 30 ms, so calling it for every row stays cheap.
    // User input waits: a click must not start another handler inside this one.
    if (since_last_turn_.isValid() && since_last_turn_.elapsed() < 30) return;
    window_->FlushGrids();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    since_last_turn_.restart();
  }
  bool RunLongWork(const LongWork& work, const WorkDisplay& display) override {
    return window_->long_work_->Run(work, display);
  }
  CommonDialog& FileDialog(Unit unit) override { return window_->common_dialogs_[unit]; }
  Dialogs& dialogs() override { return *window_->dialogs_; }
  const Clock& clock() const override { return *window_->clock_; }
  Text RunDirectory() const override { return window_->run_directory_; }
  SaveFolder ChooseSaveFolder() override { return window_->save_folders_->Choose(); }

 private:
  static Text TextOf(const QWidget* widget) {
    if (auto* box = qobject_cast<const TextBox*>(widget)) return box->Text();
    if (auto* line = qobject_cast<const QLineEdit*>(widget)) return FromQString(line->text());
    if (auto* label = qobject_cast<const QLabel*>(widget)) return FromQString(label->text());
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
      return FromQString(button->text());
    }
    return Text();
  }
  static void SetTextOf(QWidget* widget, const Text& text) {
    if (auto* box = qobject_cast<TextBox*>(widget)) {
      box->SetText(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      line->setText(ToQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(ToQString(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(ToQString(text));
    }
  }

  // Texts from this size on are converted on another thread.
  static constexpr qsizetype kLargeBox = qsizetype{1} << 20;

  // A box's text, read from its document on another thread when large.
  const Text& BoxText(const TextBox& box) const {
    if (!box.HasTextAtHand()) {
      const TextBox::RawText raw = box.Raw();
      Text text;
      Elsewhere(raw.raw.size() >= kLargeBox,
                [&] { text = FromBoxRawText(raw.raw, raw.soft_breaks); });
      box.KeepText(std::move(text));
    }
    return box.Text();
  }
  // What a box shows for `text`, and in `kept` the copy of it that the box keeps: both made
  // on another thread when large.
  BoxContent BoxContentOf(const Text& text, bool large, Text& kept) const {
    BoxContent content;
    Elsewhere(large, [&] {
      content = ToBoxContent(text);
      kept = text;
    });
    return content;
  }
  // Runs `work` on another thread when `large`, with the window going on meanwhile.
  void Elsewhere(bool large, const std::function<void()>& work) const {
    LongWorkRunner& runner = *window_->long_work_;
    if (large && !runner.busy()) {
      runner.Run([&](WorkProgress&) { work(); }, {}, false);
    } else {
      work();
    }
  }

  MainWindow* window_;
  GridData stray_grid_;  // what Grid() gives for a unit that is not a grid
  QWidget* locked_ = nullptr;
  QElapsedTimer since_last_turn_;
};

MainWindow::MainWindow() : MainWindow(Options{}) {}

MainWindow::MainWindow(Options options) : QWidget(nullptr) {
  if (options.dialogs == nullptr) own_dialogs_ = std::make_unique<QtDialogs>();
  if (options.clock == nullptr) own_clock_ = std::make_unique<SystemClock>();
  dialogs_ = options.dialogs != nullptr ? options.dialogs : own_dialogs_.get();
  clock_ = options.clock != nullptr ? options.clock : own_clock_.get();
  run_directory_ = options.run_directory ? *options.run_directory : RunDirectory();
  if (options.save_folders == nullptr) {
    own_save_folders_ = std::make_unique<RunOrUserFolder>(run_directory_, UserSaveFolder());
  }
  save_folders_ = options.save_folders != nullptr ? options.save_folders : own_save_folders_.get();
  anchor_ = ProgramControlAnchor();
  if (anchor_ == nullptr) {
    own_anchor_ = std::make_unique<ControlAnchor>(&ProgramGeometry());
    anchor_ = own_anchor_.get();
  }
  units_ = std::make_unique<WidgetUnits>(this);

  setWindowTitle(Utf8(kWindowTitle));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(FontOf(UnitFont::kDefault));
  resize(kClientWidth, kClientHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }

  CreateUnits();
  long_work_ = new LongWorkRunner(this, *units_, [this](bool enabled) {
    for (const UnitDefinition& definition : UnitDefinitions()) {
      QWidget* widget = UnitWidget(definition.unit);
      if (widget != nullptr && definition.page != kNoPage) widget->setEnabled(enabled);
    }
  });
  BindEvents();
  ShowPage(0);
  OnWindowCreated(*this);
  setMinimumSize(MinimumClientSize());
}

QSize MainWindow::MinimumClientSize() {
  // The window never gets smaller than the template's layout: units anchored at the far edges
  // would otherwise move over the ones anchored at the near edges. Called before any resize,
  // so every unit is where the template put it. The template lets the banner and the tab
  // control reach a pixel past its own client size; that overhang does not count.
  QSize size(0, 0);
  for (const UnitDefinition& definition : UnitDefinitions()) {
    QWidget* widget = UnitWidget(definition.unit);
    if (widget == nullptr || widget->parentWidget() != this) continue;
    size = size.expandedTo(QSize(widget->x() + widget->width(), widget->y() + widget->height()));
  }
  return size.boundedTo(QSize(kClientWidth, kClientHeight));
}

MainWindow::~MainWindow() {
  // The views observe the grids; they go first.
  for (QWidget*& widget : widgets_) {
    if (qobject_cast<GridView*>(widget)) {
      delete widget;
      widget = nullptr;
    }
  }
}

Units& MainWindow::units() { return *units_; }

QWidget* MainWindow::UnitWidget(Unit unit) {
  if (unit == Unit::MainWindow) return this;
  const auto i = static_cast<size_t>(unit);
  return i < widgets_.size() ? widgets_[i] : nullptr;
}

WindowHandle MainWindow::UnitHandle(Unit unit) {
  return ProgramGeometry().HandleOf(UnitWidget(unit));
}

bool MainWindow::RegisterDropWindow(Unit drop_object, WindowHandle handle) {
  DropObject* drop = DropObjectOf(drop_object);
  return drop != nullptr && drop->RegisterDropWindow(ProgramGeometry().WidgetOf(handle));
}

DropObject* MainWindow::DropObjectOf(Unit drop_object) {
  auto it = drop_objects_.find(drop_object);
  return it == drop_objects_.end() ? nullptr : it->second;
}

GridView* MainWindow::GridViewOf(Unit grid) { return qobject_cast<GridView*>(UnitWidget(grid)); }

void MainWindow::CreateUnits() {
  for (const UnitDefinition& definition : UnitDefinitions()) {
    QWidget* widget = CreateUnit(definition);
    widgets_[static_cast<size_t>(definition.unit)] = widget;
    if (widget == nullptr) continue;
    widget->setObjectName(Utf8(definition.name));
    if (definition.font != UnitFont::kDefault) widget->setFont(FontOf(definition.font));
    QRect bounds(definition.left, definition.top, definition.width, definition.height);
    // Page units are children of the window, placed from the tab control's corner.
    if (definition.parent == Unit::选择夹1) {
      const UnitDefinition& tabs = DefinitionOf(Unit::选择夹1);
      bounds.translate(tabs.left, tabs.top);
    }
    widget->setGeometry(bounds);
  }
  for (Unit box : kResultBoxes) static_cast<TextBox*>(UnitWidget(box))->setTabChangesFocus(true);
  // All of a wider banner opens the site, as all of the template's does.
  static_cast<Banner*>(UnitWidget(Unit::图片框1))->KeepRightMargin(UnitWidget(Unit::透明标签1));
}

QWidget* MainWindow::CreateUnit(const UnitDefinition& definition) {
  QWidget* parent = definition.parent == Unit::图片框1 ? UnitWidget(Unit::图片框1) : this;
  const QString text = Utf8(definition.text);
  switch (definition.kind) {
    case UnitKind::kWindow:
      return nullptr;
    case UnitKind::kPictureBox:
      return new Banner(parent);
    case UnitKind::kTransparentLabel:
      return new TransparentLabel(parent);
    case UnitKind::kTabControl: {
      tabs_ = new QTabWidget(parent);
      for (const char* caption : kPageCaptions) tabs_->addTab(new QWidget(), Utf8(caption));
      return tabs_;
    }
    case UnitKind::kHyperlink: {
      auto* link = new QLabel(parent);
      link->setTextFormat(Qt::RichText);
      link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                        .arg(LinkTarget(definition.unit).toHtmlEscaped(), text.toHtmlEscaped()));
      link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
      link->setOpenExternalLinks(false);
      link->setCursor(Qt::PointingHandCursor);
      return link;
    }
    case UnitKind::kButton:
      return new QPushButton(text, parent);
    case UnitKind::kLabel: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      // A label of two lines' height wraps; a one-line label is cut at its right edge.
      label->setWordWrap(definition.height >= 32);
      // Centred in its height, so a label just under the tab bar is not cut by it.
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      return label;
    }
    case UnitKind::kLineEdit: {
      auto* line = new QLineEdit(parent);
      line->setMaxLength(std::numeric_limits<int>::max());
      line->setText(text);
      line->setCursorPosition(0);
      if (definition.centred) line->setAlignment(Qt::AlignCenter);
      line->installEventFilter(this);  // Ctrl+Y
      return line;
    }
    case UnitKind::kMultiLineEdit: {
      auto* box = new TextBox(parent);
      box->setPlainText(text);
      box->SetFileLoader([this](const std::vector<Text>& paths) { return LoadDroppedFiles(paths); },
                         PieceBreak());
      return box;
    }
    case UnitKind::kCheckBox: {
      auto* box = new QCheckBox(text, parent);
      box->setChecked(false);
      return box;
    }
    case UnitKind::kRadioButton: {
      // The choices of one page exclude each other, not those of the other pages.
      auto* button = new QRadioButton(text, parent);
      button->setAutoExclusive(false);
      QButtonGroup*& group = radio_groups_[definition.page];
      if (group == nullptr) {
        group = new QButtonGroup(this);
        button->setChecked(true);
      }
      group->addButton(button);
      return button;
    }
    case UnitKind::kReportList: {
      auto grid = std::make_unique<GridData>();
      for (const ColumnDefinition& column : kDefinedColumns) {
        if (column.grid == definition.unit) {
          grid->InsertColumn(-1, FromUtf8(column.caption), column.width);
        }
      }
      auto* view = new GridView(
          grid.get(), GridView::Style{definition.whole_row_selection, definition.grid_lines},
          parent);
      grids_[definition.unit] = std::move(grid);
      return view;
    }
    case UnitKind::kDropObject:
      drop_objects_[definition.unit] = new DropObject(this);
      return nullptr;
    case UnitKind::kCommonDialog:
      common_dialogs_[definition.unit] = CommonDialog{};
      return nullptr;
  }
  return nullptr;
}

BoxContent MainWindow::LoadDroppedFiles(const std::vector<Text>& paths) {
  // Read and converted on another thread (a drop can be of many megabytes); what it has to
  // say waits for the window's thread.
  HeldMessages held;
  BoxContent content;
  if (long_work_->busy()) return content;
  long_work_->Run(
      [&](WorkProgress&) { content = PastedBoxContent(ToQString(ReadDroppedText(paths, held))); },
      {}, false);
  held.ShowTo(*dialogs_);
  return content;
}

void MainWindow::ShowPage(int page) {
  for (const UnitDefinition& definition : UnitDefinitions()) {
    if (definition.page == kNoPage) continue;
    if (QWidget* widget = UnitWidget(definition.unit)) {
      widget->setVisible(definition.page == page);
      if (definition.page == page) widget->raise();
    }
  }
}

void MainWindow::BindEvents() {
  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::ShowPage);
  for (const ClickEvent& event : ClickEvents()) {
    auto* button = qobject_cast<QAbstractButton*>(UnitWidget(event.button));
    connect(button, &QAbstractButton::clicked, this,
            [this, handler = event.handler] { RunHandler([&] { handler(units()); }); });
  }
  for (const FilesDroppedEvent& event : FilesDroppedEvents()) {
    DropObjectOf(event.drop_object)
        ->SetFilesDroppedHandler([this, handler = event.handler](const Text& paths) {
          RunHandler([&] { handler(units(), paths); });
        });
  }
  for (const TextPastedEvent& event : TextPastedEvents()) {
    GridViewOf(event.grid)->SetPasteHandler([this, handler = event.handler](const Text& text) {
      RunHandler([&] { handler(units(), text); });
    });
  }
  for (const EnterEvent& event : EnterEvents()) {
    connect(qobject_cast<QLineEdit*>(UnitWidget(event.box)), &QLineEdit::returnPressed,
            qobject_cast<QAbstractButton*>(UnitWidget(event.button)), &QAbstractButton::click);
  }
  static_cast<TransparentLabel*>(UnitWidget(Unit::透明标签1))
      ->SetLeftPressHandler([this](int x, int y, Qt::KeyboardModifiers modifiers) {
        OnBannerPressed(*this, x, y, static_cast<int>(modifiers));
      });
  for (Unit link : {Unit::超级链接框2, Unit::超级链接框3}) {
    connect(static_cast<QLabel*>(UnitWidget(link)), &QLabel::linkActivated, this,
            [this](const QString& target) { dialogs_->OpenUrl(FromQString(target)); });
  }
}

void MainWindow::DropFilesOnCurrentPage(const std::vector<Text>& paths) {
  const int page = tabs_->currentIndex();
  TextBox* box = nullptr;
  for (const UnitDefinition& definition : UnitDefinitions()) {
    if (definition.page != page) continue;
    if (DropObject* drop = DropObjectOf(definition.unit)) {
      drop->DropFiles(paths);
      return;
    }
    if (box == nullptr) box = qobject_cast<TextBox*>(UnitWidget(definition.unit));
  }
  if (box != nullptr) box->InsertFiles(paths);
}

void MainWindow::RunHandler(const std::function<void()>& handler) {
  // The page's units are closed while a long work runs; what still arrives waits its turn.
  if (long_work_->busy()) return;
  RunReportingOutOfMemory(*dialogs_, handler);
  FlushGrids();
}

void MainWindow::FlushGrids() {
  for (const auto& [unit, grid] : grids_) {
    if (GridView* view = GridViewOf(unit)) view->grid_model().Flush();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (OnWindowMayClose(*this)) {
    // A work under way ends at its next step; the handler then returns with nothing done.
    long_work_->Cancel();
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && long_work_->busy()) {
    long_work_->Cancel();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Ctrl+Y redoes in every box, as the text boxes do, whatever the desktop's own key for it.
  auto* line = qobject_cast<QLineEdit*>(watched);
  const bool redo_key =
      (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
      static_cast<QKeyEvent*>(event)->keyCombination() ==
          QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
  if (line == nullptr || !redo_key) return QWidget::eventFilter(watched, event);
  event->accept();
  if (event->type() == QEvent::KeyPress) line->redo();
  return true;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  OnWindowSizeChanged(*this);
  if (long_work_ != nullptr) long_work_->Place();
}

}  // namespace lanzhou
