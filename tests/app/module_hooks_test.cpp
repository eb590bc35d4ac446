#include "app/module_hooks.h"

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/unit_anchors.h"
#include "pages/reorder.h"
#include "tests/support/scripted_dialogs.h"

namespace lanzhou {
namespace {

TEST(ModuleHooks, TheProgramsAnchorLivesFromStartUpToCleanUp) {
  ImportDelimiter() = Text("|");
  ConstructModules();
  EXPECT_EQ(ImportDelimiter(), Text());
  ControlAnchor* anchor = ProgramControlAnchor();
  ASSERT_NE(anchor, nullptr);
  StartModules();
  {
    ScriptedDialogs dialogs;
    MainWindow window(MainWindow::Options{&dialogs, nullptr, Text("/tmp")});
    // The window's created event registered its anchored units with the program's anchor.
    EXPECT_EQ(&window.anchor(), anchor);
    EXPECT_EQ(anchor->controls().size(), UnitAnchors().size());
    EXPECT_EQ(anchor->GetParentWindow(), window.UnitHandle(Unit::MainWindow));
    EXPECT_EQ(anchor->FindControl(window.UnitHandle(Unit::超级列表框1)), 2);
  }
  CleanUpModules();
  EXPECT_EQ(ProgramControlAnchor(), nullptr);
  CleanUpModules();  // a second call does nothing
  EXPECT_EQ(ProgramControlAnchor(), nullptr);
}

}  // namespace
}  // namespace lanzhou
