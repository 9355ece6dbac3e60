// Dialogs and user areas as the stand-in host keeps them: the layout a
// module's dialog builds, the canvases its user areas draw on, their timers on
// a simulated clock, the pointer, and the messages they send to their parents.
#ifndef TESSALINE_HOSTAPP_GUI_DIALOGS_H
#define TESSALINE_HOSTAPP_GUI_DIALOGS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/c4d_host.h"
#include "hostapp/gui/image.h"
#include "hostapp/services/container.h"

namespace tess::gui {

// Message ids and keys of the host's gadget and input messages.
constexpr int32_t msgSizedInfo = 0x62495349;   // the area's size changed
constexpr int32_t msgCursorInfo = 0x63696e66;  // the pointer moves over the area
constexpr int32_t msgAction = 0x62414354;      // a gadget reports to its dialog
constexpr int32_t msgInput = 0x6266696e;       // an input event
constexpr int32_t msgTimer = 0x74696d72;       // a timer tick
constexpr int32_t msgDraw = 0x62447277;        // a draw request
constexpr int32_t keyActionId = 0x6d656964;
constexpr int32_t keyActionValue = 0x6d657661;
constexpr int32_t keyActionDragging = 0x6d656472;
constexpr int32_t keyDevice = 0x69706476;
constexpr int32_t keyChannel = 0x69706361;
constexpr int32_t keyX = 0x69707678;
constexpr int32_t keyY = 0x69707679;
constexpr int32_t keyValue = 0x69707661;  // 1 while the channel's button is down
constexpr int32_t deviceMouse = 0x6d6f7573;
constexpr int32_t deviceKeyboard = 0x6b626420;
constexpr int32_t channelLeft = 1;
constexpr int32_t channelRight = 2;
constexpr int32_t channelMiddle = 3;

// Drawing mode bit: bilinear sampling instead of the plain nearest pixel.
constexpr int32_t drawModeBilinear = 1;

struct DrawCall {
  const HostBitmap* bitmap = nullptr;
  int32_t x = 0, y = 0, w = 0, h = 0;
  int32_t sx = 0, sy = 0, sw = 0, sh = 0;
  int32_t mode = 0;
};

struct GroupRecord {
  int32_t id = 0;
  int32_t flags = 0;
  int32_t columns = 0;
  int32_t rows = 0;
  std::string title;
  int32_t groupFlags = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t border = -1;                  // -1: never set
  int32_t space[4] = {-1, -1, -1, -1};  // left, top, right, bottom; -1: never set
  int32_t parent = -1;                  // index of the enclosing group
  bool closed = false;
};

// A message a user area sent to its dialog, as the dialog received it.
struct ParentMessage {
  HostDialog* dialog = nullptr;
  int32_t fromGadget = 0;
  HostContainer message;
};

}  // namespace tess::gui

struct HostGadget {
  int32_t id = 0;
  int32_t flags = 0;
  int32_t width = 0;  // initial size the layout asked for
  int32_t height = 0;
  int32_t group = -1;  // index of the group it sits in
  HostUserArea* area = nullptr;
  int32_t attachFlags = 0;
};

struct HostDialog {
  HostDialogCallbacks callbacks{};
  HostPlugin* plugin = nullptr;
  HostContainer settings;
  std::vector<tess::gui::GroupRecord> groups;
  std::vector<int32_t> open;  // groups begun and not yet ended
  std::vector<std::unique_ptr<HostGadget>> gadgets;
  std::vector<tess::gui::ParentMessage> received;
  int32_t commands = 0;  // Command calls the host made for actions
};

struct HostUserArea {
  HostUserAreaCallbacks callbacks{};
  HostDialog* dialog = nullptr;
  HostGadget* gadget = nullptr;
  // Placement in the window, in global coordinates.
  int32_t x = 0, y = 0, width = 0, height = 0;
  tess::gui::Image canvas;     // what the window shows
  tess::gui::Image offScreen;  // drawn into while off-screen drawing is on
  bool drawing = false;
  bool offScreenOn = false;
  bool dirty = false;
  int64_t redrawRequests = 0;
  int64_t draws = 0;
  std::vector<tess::gui::DrawCall> lastDraw;  // bitmap draws of the latest draw
  int32_t timerInterval = 0;                  // 0: stopped
  int64_t timerDue = 0;
  int64_t timerTicks = 0;
};

namespace tess::gui {

struct Pointer {
  int32_t x = -1000000, y = -1000000;  // global; far away until it first moves
  bool left = false, right = false, middle = false;
};

// Everything the GUI services keep; one current state like the other services.
struct GuiState {
  int64_t now = 0;  // simulated milliseconds
  Pointer pointer;
  std::vector<HostDialog*> dialogs;
  std::vector<HostUserArea*> areas;
  std::vector<ParentMessage> messages;  // in arrival order, all dialogs
  Rgba background{58, 58, 62, 255};
  int64_t dialogsCreated = 0;
  int64_t areasCreated = 0;
};

GuiState& Gui();
// Forgets everything; dialogs and areas still alive are the caller's leak.
void ResetGui();
// Plugs the bitmap and dialog tables into the host table the services make.
void InstallGuiTables();

// Moves the simulated clock on, firing every due timer in time order.
void AdvanceClock(int64_t milliseconds);
// Draws the area if a redraw was asked for (or always, when forced).
void DrawArea(HostUserArea* area, bool force = false);
HostUserArea* AreaAt(int32_t globalX, int32_t globalY);

const HostGuiApi* GuiTable();

}  // namespace tess::gui

#endif
