// Scripted pointer events for a hosted panel: one per line,
//   move X Y | click X Y | rclick X Y | wait MS   and '#' comments.
#ifndef TESSALINE_HOSTAPP_GUI_EVENTS_H
#define TESSALINE_HOSTAPP_GUI_EVENTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tess::gui {

struct PanelEvent {
  enum class Kind { Move, Click, RightClick, Wait } kind = Kind::Move;
  int32_t x = 0;
  int32_t y = 0;
  int32_t milliseconds = 0;
  int line = 0;
  std::string text;  // the line as written, for echoing
};

// Coordinates and waits beyond these are refused as typing errors.
constexpr int32_t maxCoordinate = 1000000;
constexpr int32_t maxWaitMs = 3600000;
constexpr size_t maxEvents = 10000;

// On error the events are empty and error holds "file:line: reason".
struct EventScript {
  std::vector<PanelEvent> events;
  std::string error;
};

EventScript ParseEvents(std::string_view text, const std::string& fileName);
EventScript ReadEvents(const std::string& path);

}  // namespace tess::gui

#endif
