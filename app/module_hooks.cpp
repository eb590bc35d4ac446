#include "app/module_hooks.h"

#include <memory>

#include "app/qt_window_geometry.h"
#include "json/json_module.h"
#include "pages/reorder.h"

namespace lanzhou {
namespace {

std::unique_ptr<ControlAnchor>& AnchorInstance() {
  static std::unique_ptr<ControlAnchor> instance;
  return instance;
}

bool& CleanedUp() {
  static bool cleaned_up = false;
  return cleaned_up;
}

}  // namespace

void ConstructModules() {
  AnchorInstance() = std::make_unique<ControlAnchor>(&ProgramGeometry());
  ImportDelimiter() = Text();
  JsonModuleConstruct();
  CleanedUp() = false;
}

void StartModules() { JsonModuleStartup(); }

void CleanUpModules() {
  if (CleanedUp()) return;
  CleanedUp() = true;
  ImportDelimiter() = Text();
  AnchorInstance().reset();
  JsonModuleCleanup();
}

ControlAnchor* ProgramControlAnchor() { return AnchorInstance().get(); }

}  // namespace lanzhou
