// `Units` over plain values, for handler tests that need no window.
#ifndef LANZHOU_TESTS_SUPPORT_FAKE_UNITS_H_
#define LANZHOU_TESTS_SUPPORT_FAKE_UNITS_H_

#include <map>
#include <optional>

#include "tests/support/scripted_dialogs.h"
#include "ui/units.h"

namespace lanzhou {

class FakeUnits : public Units {
 public:
  explicit FakeUnits(Text run_directory, DateTime now = DateTime(42067.521354166667))
      : run_directory_(std::move(run_directory)), clock_(now) {}

  Text EditText(Unit unit) const override { return Get(texts_, unit); }
  void SetEditText(Unit unit, const Text& text) override { texts_[unit] = text; }
  void ReplaceEditText(Unit unit, const Text& text) override { texts_[unit] = text; }
  void SetCaption(Unit unit, const Text& text) override { captions_[unit] = text; }
  Text Caption(Unit unit) const override { return Get(captions_, unit); }
  bool IsTicked(Unit unit) const override {
    auto it = ticked_.find(unit);
    return it != ticked_.end() && it->second;
  }
  void SetTicked(Unit unit, bool ticked) { ticked_[unit] = ticked; }
  GridData& Grid(Unit unit) override { return grids_[unit]; }
  bool LockRedraw(Unit) override { return true; }
  void UnlockRedraw(Unit) override {}
  void AutoFitColumns(Unit) override { ++autofit_calls; }
  void ProcessEvents() override {}
  // Runs the work here; with `cancel_at_step` set, the user cancels it at that step.
  bool RunLongWork(const LongWork& work, const WorkDisplay& display) override {
    ++long_works;
    return RunLongWorkHere(*this, work, display, cancel_at_step);
  }
  CommonDialog& FileDialog(Unit unit) override { return file_dialogs_[unit]; }
  ScriptedDialogs& dialogs() override { return dialogs_; }
  const FixedClock& clock() const override { return clock_; }
  FixedClock& mutable_clock() { return clock_; }
  Text RunDirectory() const override { return run_directory_; }
  SaveFolder ChooseSaveFolder() override { return {run_directory_, true}; }

  int autofit_calls = 0;
  int long_works = 0;
  std::optional<int> cancel_at_step;

 private:
  static Text Get(const std::map<Unit, Text>& map, Unit unit) {
    auto it = map.find(unit);
    return it == map.end() ? Text() : it->second;
  }
  Text run_directory_;
  FixedClock clock_;
  ScriptedDialogs dialogs_;
  std::map<Unit, Text> texts_;
  std::map<Unit, Text> captions_;
  std::map<Unit, bool> ticked_;
  std::map<Unit, GridData> grids_;
  std::map<Unit, CommonDialog> file_dialogs_;
};

}  // namespace lanzhou

#endif  // LANZHOU_TESTS_SUPPORT_FAKE_UNITS_H_
