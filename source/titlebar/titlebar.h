// The title bar shown at the top of the shaders' attribute panels: the
// registration object of its custom GUI, the dialog the host makes for each
// shown control, and the user area that draws the bar.
#ifndef TESSALINE_SOURCE_TITLEBAR_TITLEBAR_H
#define TESSALINE_SOURCE_TITLEBAR_TITLEBAR_H

#include "host/c4d_bitmap.h"
#include "host/c4d_gui.h"
#include "host/c4d_userarea.h"

constexpr Int32 ID_TESSALINE_TITLEBAR = 1020977;

constexpr Int32 TITLEBAR_GROUP = 1003;
constexpr Int32 TITLEBAR_USERAREA = 1004;
constexpr Int32 TITLEBAR_HEIGHT = 24;
constexpr Int32 TITLEBAR_BITMAPS = 10;
constexpr Int32 TITLEBAR_PIECES = 9;

// One rectangle of the bar. A negative x counts from the area's right edge;
// a width of zero or less is added to the area's width.
struct titlebarPiece {
  Int32 x = 0;
  Int32 width = 0;
  Int32 image = 0;
  Bool clickable = false;
  Filename file;
  String message;
};

class titlebarUA : public GeUserArea {
 public:
  titlebarUA() = default;
  ~titlebarUA() override = default;

  Bool Init() override;
  Bool GetMinSize(Int32& w, Int32& h) override;
  void Sized(Int32 w, Int32 h) override;
  void DrawMsg(Int32 x1, Int32 y1, Int32 x2, Int32 y2, const BaseContainer& msg) override;
  Bool InputEvent(const BaseContainer& msg) override;
  void Timer(const BaseContainer& msg) override;
  Int32 Message(const BaseContainer& msg, BaseContainer& result) override;

  virtual void ClearHover();
  virtual void TrackHover(Int32 x, Int32 y);
  virtual void HandleClick(Int32 x, Int32 y);

  // Read-only views for the host's tests and tools.
  const titlebarPiece& Piece(Int32 index) const { return pieces[index]; }
  Int32 Hovered() const { return hovered; }
  Bool TimerRunning() const { return timerRunning; }
  Int32 AreaWidth() const { return areaWidth; }

 private:
  Bool Contains(const titlebarPiece& piece, Int32 px, Int32 py) const;
  Int32 LeftOf(const titlebarPiece& piece) const;
  Int32 WidthOf(const titlebarPiece& piece) const;

  BaseBitmap bitmaps[TITLEBAR_BITMAPS];
  titlebarPiece pieces[TITLEBAR_PIECES];
  Int32 areaWidth = 0;
  Bool timerRunning = false;
  Int32 hovered = -1;
};

// The dialog of one shown title bar: a single user area filling the width.
class title_GuiDialog : public iCustomGui {
 public:
  title_GuiDialog(const BaseContainer& settings, HostPlugin* plugin);
  ~title_GuiDialog() override = default;

  Bool CreateLayout() override;
  Bool InitValues() override;
  Bool Command(Int32 id, const BaseContainer& msg) override;
  Int32 Message(const BaseContainer& msg, BaseContainer& result) override;

  titlebarUA& Bar() { return bar; }

 private:
  titlebarUA bar;
  HostGadget* barGadget = nullptr;
};

// The registration object of the title bar's custom GUI; it holds no data.
class titlebarGUI : public CustomGuiData {
 public:
  Int32 GetId() override;
  HostDialog* Alloc(const BaseContainer& settings) override;
  void Free(HostDialog* dialog, void* userData) override;
  const char* GetResourceSym() override;
  Int32 GetResourceDataType(const Int32*& table) override;
};

#endif
