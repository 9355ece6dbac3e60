// User areas: a gadget of a dialog that the module draws itself.
#ifndef TESSALINE_HOST_C4D_USERAREA_H
#define TESSALINE_HOST_C4D_USERAREA_H

#include "host/c4d_basecontainer.h"
#include "host/c4d_bitmap.h"
#include "host/c4d_gui.h"

// Message ids and container keys of the host's input and gadget messages.
constexpr Int32 BFM_SIZED_INFO = 0x62495349;     // 'bISI'
constexpr Int32 BFM_GETCURSORINFO = 0x63696e66;  // 'cinf'
constexpr Int32 BFM_ACTION = 0x62414354;         // 'bACT'
constexpr Int32 BFM_ACTION_ID = 0x6d656964;      // 'meid'
constexpr Int32 BFM_ACTION_VALUE = 0x6d657661;   // 'meva'
constexpr Int32 BFM_ACTION_INDRAG = 0x6d656472;  // 'medr'
constexpr Int32 BFM_INPUT_DEVICE = 0x69706476;   // 'ipdv'
constexpr Int32 BFM_INPUT_CHANNEL = 0x69706361;  // 'ipca'
constexpr Int32 BFM_INPUT_X = 0x69707678;        // 'ipvx'
constexpr Int32 BFM_INPUT_Y = 0x69707679;        // 'ipvy'
constexpr Int32 BFM_INPUT_MOUSE = 0x6d6f7573;    // 'mous'
constexpr Int32 BFM_INPUT_MOUSELEFT = 1;
constexpr Int32 BMP_NORMAL = 0;

class GeUserArea {
 public:
  GeUserArea();
  GeUserArea(const GeUserArea&) = delete;
  GeUserArea& operator=(const GeUserArea&) = delete;
  virtual ~GeUserArea();

  virtual Bool Init() { return true; }
  virtual Bool InitValues() { return true; }
  virtual Bool GetMinSize(Int32& w, Int32& h);
  virtual void Sized(Int32, Int32) {}
  virtual void ActivationChanged(Bool) {}
  virtual void DrawMsg(Int32, Int32, Int32, Int32, const BaseContainer&) {}
  virtual Bool InputEvent(const BaseContainer&) { return false; }
  virtual Bool CoreMessage(Int32, const BaseContainer&) { return true; }
  virtual void Timer(const BaseContainer&) {}
  // The host's own handling; a subclass hands every message on to it.
  virtual Int32 Message(const BaseContainer& msg, BaseContainer& result);

  void Redraw();
  Bool SendParentMessage(const BaseContainer& msg);
  Int32 GetId() const;
  // 0 stops the timer.
  void SetTimer(Int32 milliseconds);
  Bool GetInputState(Int32 device, Int32 channel, BaseContainer& state);
  Bool Global2Local(Int32* x, Int32* y);
  void DrawBitmap(const BaseBitmap& bitmap, Int32 x, Int32 y, Int32 w, Int32 h, Int32 sx, Int32 sy, Int32 sw, Int32 sh,
                  Int32 mode);
  void OffScreenOn();

  HostUserArea* Get() const { return area; }

 private:
  HostUserArea* area = nullptr;
};

// Hands a user area to the gadget a dialog's layout added for it.
Bool AttachUserArea(GeDialog& dialog, GeUserArea& userArea, HostGadget* gadget, Int32 flags);

#endif
