// Progress shown in a label of the window while a long run holds the interface thread.
#ifndef LANZHOU_SERVICES_CAPTION_PROGRESS_H_
#define LANZHOU_SERVICES_CAPTION_PROGRESS_H_

#include <chrono>
#include <cstddef>
#include <functional>

#include "text/text.h"
#include "ui/units.h"

namespace lanzhou {

// Sets the caption of `label` to `caption(done)` at the first step and then at least every
// 0.2 s, and lets the window repaint it each time. The clock is looked at only every 1024
// steps, so a step costs next to nothing.
//   CaptionProgress progress(units, Unit::标签2, [](std::size_t r) { return ...; });
//   for (...) progress.Step(++rows);
class CaptionProgress {
 public:
  CaptionProgress(Units& units, Unit label, std::function<Text(std::size_t)> caption)
      : units_(units), label_(label), caption_(std::move(caption)) {}

  void Step(std::size_t done) {
    if (done != 1 && done % 1024 != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (done != 1 && now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    units_.SetCaption(label_, caption_(done));
    units_.ProcessEvents();
  }

 private:
  Units& units_;
  Unit label_;
  std::function<Text(std::size_t)> caption_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_CAPTION_PROGRESS_H_
