// The event table: which handler each unit event runs. No other event of any unit is
// handled.
#ifndef LANZHOU_APP_EVENT_TABLE_H_
#define LANZHOU_APP_EVENT_TABLE_H_

#include <span>

#include "ui/units.h"

namespace lanzhou {

class MainWindow;

// A button's click.
struct ClickEvent {
  Unit button;
  void (*handler)(Units& units);
};

// A drop object's FilesDropped, and the grid the window registers it on.
struct FilesDroppedEvent {
  Unit drop_object;
  Unit grid;
  void (*handler)(Units& units, const Text& paths);
};

// Text pasted on a grid.
struct TextPastedEvent {
  Unit grid;
  void (*handler)(Units& units, const Text& text);
};

// Enter in a single-line box clicks the button that starts its page's work.
struct EnterEvent {
  Unit box;
  Unit button;
};

std::span<const ClickEvent> ClickEvents();
std::span<const FilesDroppedEvent> FilesDroppedEvents();
std::span<const TextPastedEvent> TextPastedEvents();
std::span<const EnterEvent> EnterEvents();

// The window's own events.
// Created, once every unit exists: anchors the units to the window's size (app/unit_anchors.h)
// and registers the three drop objects on their grids.
void OnWindowCreated(MainWindow& window);
// May close: asks "是否关闭程序?"; true only for Yes.
bool OnWindowMayClose(MainWindow& window);
// Size changed: lays the anchored controls out again.
void OnWindowSizeChanged(MainWindow& window);
// Left press on 透明标签1: opens the maker's second site.
void OnBannerPressed(MainWindow& window, int x, int y, int modifiers);

}  // namespace lanzhou

#endif  // LANZHOU_APP_EVENT_TABLE_H_
