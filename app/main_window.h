// The main window: every unit of the window template as a Qt widget, the `Units` that the
// page handlers see, and the window's own events (created, may close, size changed), which
// the event table (app/event_table.h) routes.
#ifndef LANZHOU_APP_MAIN_WINDOW_H_
#define LANZHOU_APP_MAIN_WINDOW_H_

#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/control_anchor.h"
#include "app/unit_table.h"
#include "text/clock.h"
#include "ui/dialogs.h"
#include "ui/qt/qt_text.h"
#include "ui/save_folder.h"
#include "ui/units.h"

class QButtonGroup;
class QTabWidget;

namespace lanzhou {

class DropObject;
class GridView;
class LongWorkRunner;

// No Q_OBJECT: the window needs no signals of its own, and moc cannot read the unit names.
class MainWindow : public QWidget {
 public:
  struct Options {
    Dialogs* dialogs = nullptr;         // nullptr: the real Qt dialogs
    const Clock* clock = nullptr;       // nullptr: the system clock
    std::optional<Text> run_directory;  // nullopt: RunDirectory() (io/files.h)
    // nullptr: the run directory while it is writable, else the user's documents folder
    SaveFolders* save_folders = nullptr;
  };

  MainWindow();
  // Creates every unit, then raises the window-created event.
  explicit MainWindow(Options options);
  ~MainWindow() override;

  // The Units realisation over the widgets.
  Units& units();
  // The widget of a unit: TextBox (a QPlainTextEdit), QLineEdit, QPushButton, QLabel, QCheckBox,
  // QRadioButton,
  // GridView (a QTreeView), QTabWidget, the banner; the window itself for MainWindow; null
  // for the units without a window (drop objects, the common dialog).
  QWidget* UnitWidget(Unit unit);

  // What the window's own handlers use.
  ControlAnchor& anchor() { return *anchor_; }
  // The unit's native handle; 0 for a unit without a window.
  WindowHandle UnitHandle(Unit unit);
  // Makes the window of `handle` the drop target served by `drop_object`; false when the
  // drop object already serves a window.
  bool RegisterDropWindow(Unit drop_object, WindowHandle handle);
  DropObject* DropObjectOf(Unit drop_object);
  GridView* GridViewOf(Unit grid);
  Dialogs& dialogs() { return *dialogs_; }
  QTabWidget* tabs() const { return tabs_; }
  // Runs the pages' long work (Units::RunLongWork) and shows its progress bar and 取消.
  LongWorkRunner& long_work() { return *long_work_; }

  // The smallest client size at which no unit is cut off: the window never gets smaller.
  QSize MinimumClientSize();

  // Loads `paths` (files named on the command line) as if they were dropped on the current
  // page's drop target: its first drop object, else its first multi-line box.
  void DropFilesOnCurrentPage(const std::vector<Text>& paths);
  // What files dropped on a text box put into it, read off the window's thread.
  BoxContent LoadDroppedFiles(const std::vector<Text>& paths);

  // Runs one handler of the event table, then brings the grid views up to date.
  void RunHandler(const std::function<void()>& handler);
  // Announces pending grid changes to the views.
  void FlushGrids();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Esc cancels a long work under way.
  void keyPressEvent(QKeyEvent* event) override;
  // Ctrl+Y in the single-line boxes.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class WidgetUnits;
  friend class WidgetUnits;

  void CreateUnits();
  QWidget* CreateUnit(const UnitDefinition& definition);
  void ShowPage(int page);
  void BindEvents();

  std::unique_ptr<Dialogs> own_dialogs_;
  std::unique_ptr<Clock> own_clock_;
  std::unique_ptr<ControlAnchor> own_anchor_;
  std::unique_ptr<SaveFolders> own_save_folders_;
  Dialogs* dialogs_;
  const Clock* clock_;
  Text run_directory_;
  SaveFolders* save_folders_;
  ControlAnchor* anchor_;

  std::array<QWidget*, kUnitCount> widgets_{};
  std::map<Unit, std::unique_ptr<GridData>> grids_;
  std::map<Unit, DropObject*> drop_objects_;
  std::map<Unit, CommonDialog> common_dialogs_;
  std::map<int, QButtonGroup*> radio_groups_;  // by page
  QTabWidget* tabs_ = nullptr;
  std::unique_ptr<WidgetUnits> units_;
  LongWorkRunner* long_work_ = nullptr;
};

}  // namespace lanzhou

#endif  // LANZHOU_APP_MAIN_WINDOW_H_
