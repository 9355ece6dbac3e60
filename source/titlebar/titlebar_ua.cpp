#include "host/c4d_general.h"
#include "main/tessaline.h"
#include "source/titlebar/titlebar.h"

namespace {

constexpr Int32 capWidth = 10;
constexpr Int32 hoverIntervalMs = 100;
constexpr Int32 minWidth = 240;

// Bitmap indices; a hovered button draws the image that follows its own.
enum : Int32 {
  imageCentre,
  imageCap,
  imageName,
  imageNameHover,
  imageLeft,
  imageHelp,
  imageHelpHover,
  imageHome,
  imageHomeHover,
  imageRight,
};

const char* const bitmapFiles[TITLEBAR_BITMAPS] = {
    "t_cntr.tif", "t_caps.tif", "name_a.tif", "name_b.tif", "t_left.tif",
    "help_a.tif", "help_b.tif", "home_a.tif", "home_b.tif", "t_rght.tif",
};

// The pointer's position in the area's coordinates, when the host knows it.
bool PointerPosition(GeUserArea& area, Int32& x, Int32& y) {
  BaseContainer state;
  if (!area.GetInputState(BFM_INPUT_MOUSE, BFM_INPUT_MOUSELEFT, state)) return false;
  x = state.GetInt32(BFM_INPUT_X);
  y = state.GetInt32(BFM_INPUT_Y);
  area.Global2Local(&x, &y);
  return true;
}

void SetPiece(titlebarPiece& piece, Int32 x, Int32 width, Int32 image, Bool clickable) {
  piece.x = x;
  piece.width = width;
  piece.image = image;
  piece.clickable = clickable;
}

}  // namespace

Bool titlebarUA::Init() {
  for (Int32 i = 0; i < TITLEBAR_BITMAPS; ++i) {
    const Filename path = GeGetPluginPath() + "res" + "gui" + bitmapFiles[i];
    if (!bitmaps[i].Exists() || bitmaps[i].Init(path, -1) != IMAGERESULT_OK) return false;
  }

  // Left to right: cap, name, left end, then the centre band over the whole
  // width; right to left from the far edge: cap, help, cap, home, right end.
  SetPiece(pieces[0], 0, capWidth, imageCap, false);
  SetPiece(pieces[1], capWidth, bitmaps[imageName].GetBw(), imageName, true);
  pieces[1].message = String("Tessaline v ") + GetVersionText();
  SetPiece(pieces[2], pieces[1].x + pieces[1].width, bitmaps[imageLeft].GetBw(), imageLeft, false);
  SetPiece(pieces[3], pieces[2].x + pieces[2].width, 0, imageCentre, false);
  SetPiece(pieces[4], -capWidth, capWidth, imageCap, false);
  pieces[5].file = GeGetPluginPath() + "docs" + "manual.pdf";
  SetPiece(pieces[5], pieces[4].x - bitmaps[imageHelp].GetBw(), bitmaps[imageHelp].GetBw(), imageHelp,
           GeFExist(pieces[5].file));
  SetPiece(pieces[6], pieces[5].x - capWidth, capWidth, imageCap, false);
  SetPiece(pieces[7], pieces[6].x - bitmaps[imageHome].GetBw(), bitmaps[imageHome].GetBw(), imageHome, true);
  pieces[7].file = Filename(MakerAddress());
  SetPiece(pieces[8], pieces[7].x - bitmaps[imageRight].GetBw(), bitmaps[imageRight].GetBw(), imageRight, false);

  timerRunning = false;
  hovered = -1;
  return true;
}

Bool titlebarUA::GetMinSize(Int32& w, Int32& h) {
  w = minWidth;
  h = TITLEBAR_HEIGHT;
  return true;
}

void titlebarUA::Sized(Int32 w, Int32) {
  areaWidth = w;
}

Int32 titlebarUA::LeftOf(const titlebarPiece& piece) const {
  return piece.x < 0 ? piece.x + areaWidth : piece.x;
}

Int32 titlebarUA::WidthOf(const titlebarPiece& piece) const {
  return piece.width <= 0 ? piece.width + areaWidth : piece.width;
}

// Strict on every side: a pointer on a piece's outline belongs to no piece.
Bool titlebarUA::Contains(const titlebarPiece& piece, Int32 px, Int32 py) const {
  const Int32 left = LeftOf(piece);
  return left < px && px < left + WidthOf(piece) && 0 < py && py < TITLEBAR_HEIGHT;
}

void titlebarUA::DrawMsg(Int32, Int32, Int32, Int32, const BaseContainer&) {
  OffScreenOn();
  // In index order: the centre band runs under the right-hand pieces, which
  // paint over it.
  for (const titlebarPiece& piece : pieces) {
    Int32 image = piece.image;
    if (piece.clickable && hovered == static_cast<Int32>(&piece - pieces)) ++image;
    const BaseBitmap& bitmap = bitmaps[image];
    DrawBitmap(bitmap, LeftOf(piece), 0, WidthOf(piece), TITLEBAR_HEIGHT, 0, 0, bitmap.GetBw(), TITLEBAR_HEIGHT,
               BMP_NORMAL);
  }
}

Bool titlebarUA::InputEvent(const BaseContainer& msg) {
  if (msg.GetInt32(BFM_INPUT_DEVICE) != BFM_INPUT_MOUSE) return false;
  BaseContainer action(BFM_ACTION);
  action.SetInt32(BFM_ACTION_ID, GetId());
  action.SetInt32(BFM_ACTION_VALUE, 0);
  // The bar acts on the press itself; it never follows a drag.
  if (msg.GetInt32(BFM_INPUT_CHANNEL) == BFM_INPUT_MOUSELEFT) {
    Int32 x = msg.GetInt32(BFM_INPUT_X);
    Int32 y = msg.GetInt32(BFM_INPUT_Y);
    Global2Local(&x, &y);
    HandleClick(x, y);
    action.SetInt32(BFM_ACTION_INDRAG, 0);
    SendParentMessage(action);
  }
  return true;
}

void titlebarUA::Timer(const BaseContainer&) {
  Int32 x = 0, y = 0;
  if (!PointerPosition(*this, x, y)) return;
  // The host sends no message when the pointer leaves the area, so the timer
  // watches for it; a pointer on the bar's very edge still counts as inside.
  if (x < 0 || y < 0 || x > areaWidth || y > TITLEBAR_HEIGHT) {
    hovered = -1;
    timerRunning = false;
    ClearHover();
    SetTimer(0);
  }
}

Int32 titlebarUA::Message(const BaseContainer& msg, BaseContainer& result) {
  const Int32 id = msg.GetId();
  if (id == BFM_SIZED_INFO) {
    Redraw();
  } else if (id == BFM_GETCURSORINFO) {
    Int32 x = 0, y = 0;
    if (PointerPosition(*this, x, y)) {
      TrackHover(x, y);
      if (0 < x && x < areaWidth && 0 < y && y < TITLEBAR_HEIGHT && !timerRunning) {
        timerRunning = true;
        SetTimer(hoverIntervalMs);
      }
    }
  }
  return GeUserArea::Message(msg, result);
}

void titlebarUA::ClearHover() {
  hovered = -1;
  Redraw();
}

void titlebarUA::TrackHover(Int32 x, Int32 y) {
  for (Int32 i = 0; i < TITLEBAR_PIECES; ++i) {
    if (!pieces[i].clickable || !Contains(pieces[i], x, y)) continue;
    if (hovered != i) {
      hovered = i;
      Redraw();
    }
    return;
  }
  if (hovered != -1) {
    hovered = -1;
    Redraw();
  }
}

void titlebarUA::HandleClick(Int32 x, Int32 y) {
  for (const titlebarPiece& piece : pieces) {
    if (!piece.clickable || !Contains(piece, x, y)) continue;
    if (piece.message.Content())
      GeOutString(piece.message, GEMB_OK_EXCLAMATION);
    else
      GeExecuteFile(piece.file);
    return;
  }
}
