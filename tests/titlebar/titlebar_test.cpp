#include <algorithm>

#include "tests/titlebar/titlebar_fixture.h"
#include "tessaline_version.h"

namespace tess::test {
namespace {

using gui::channelLeft;
using gui::channelRight;

// ---- Registration and layout ------------------------------------------------

TEST_F(TitlebarTest, RegistersAsAStringControlUnderItsSymbol) {
  Start();
  EXPECT_EQ(plugin->name, "Tessaline-Titlebar");
  EXPECT_EQ(plugin->customGui.infoFlags, 0x20000000);
  EXPECT_STREQ(plugin->customGui.getResourceSym(plugin->customGui.object), "TESSALINE_TITLEBAR");
  const int32_t* types = nullptr;
  ASSERT_EQ(plugin->customGui.getResourceDataType(plugin->customGui.object, &types), 1);
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(types[0], HOST_DATATYPE_STRING);
}

TEST_F(TitlebarTest, LaysOutOneBorderlessGroupHoldingOneUserArea) {
  Start();
  auto control = Show();
  ASSERT_NE(control, nullptr);
  EXPECT_TRUE(control->LayoutOk());
  const HostDialog& d = *control->Dialog();
  ASSERT_EQ(d.groups.size(), 1u);
  const gui::GroupRecord& g = d.groups[0];
  EXPECT_EQ(g.id, TITLEBAR_GROUP);
  EXPECT_EQ(g.flags, 56);
  EXPECT_EQ(g.columns, 1);
  EXPECT_EQ(g.rows, 1);
  EXPECT_EQ(g.border, 0);
  EXPECT_EQ(g.space[0], 0);
  EXPECT_EQ(g.space[1], 0);
  EXPECT_EQ(g.space[2], 0);
  EXPECT_EQ(g.space[3], 0);
  EXPECT_TRUE(g.closed);
  ASSERT_EQ(d.gadgets.size(), 1u);
  const HostGadget& gadget = *d.gadgets[0];
  EXPECT_EQ(gadget.id, TITLEBAR_USERAREA);
  EXPECT_EQ(gadget.flags, 56);
  EXPECT_EQ(gadget.width, 0);
  EXPECT_EQ(gadget.height, 25);
  EXPECT_EQ(gadget.group, 0);
  ASSERT_NE(gadget.area, nullptr);
  EXPECT_EQ(gadget.attachFlags, 0);
  EXPECT_EQ(gui::GuiTable()->getId(gadget.area), TITLEBAR_USERAREA);
  // The gadget fills the panel's width.
  EXPECT_EQ(gadget.area->width, 400);
}

TEST_F(TitlebarTest, CommandAndInitValuesChangeNothing) {
  Start();
  auto control = Show();
  HostUserArea* area = AreaOf(*control);
  ASSERT_NE(area, nullptr);
  control->Move(20, 12);
  const auto canvas = area->canvas.Bytes();
  const int64_t redraws = area->redrawRequests;
  const HostDialogCallbacks& cb = control->Dialog()->callbacks;
  HostContainer msg;
  for (int32_t id : {0, TITLEBAR_GROUP, TITLEBAR_USERAREA, -7}) EXPECT_EQ(cb.command(cb.self, id, &msg), 1);
  EXPECT_EQ(cb.initValues(cb.self), 1);
  control->Flush();
  EXPECT_EQ(area->redrawRequests, redraws);
  EXPECT_EQ(area->canvas.Bytes(), canvas);
  EXPECT_EQ(BarOf(*control).Hovered(), 1);
  EXPECT_TRUE(gui::Gui().messages.empty());
}

// ---- Geometry ---------------------------------------------------------------

class TitlebarGeometryTest : public TitlebarTest {
 protected:
  // Widths chosen unlike each other, so that a piece taking the wrong
  // bitmap's width shows.
  void SetUp() override {
    TitlebarTest::SetUp();
    const fs::path gui = folder / "res" / "gui";
    WriteTiff(gui / "name_a.tif", 70, 24);
    WriteTiff(gui / "name_b.tif", 70, 24, 200);
    WriteTiff(gui / "t_left.tif", 13, 24);
    WriteTiff(gui / "help_a.tif", 31, 24);
    WriteTiff(gui / "help_b.tif", 31, 24, 200);
    WriteTiff(gui / "home_a.tif", 27, 24);
    WriteTiff(gui / "home_b.tif", 27, 24, 200);
    WriteTiff(gui / "t_rght.tif", 17, 24);
  }
};

TEST_F(TitlebarGeometryTest, MinimumSizeIsFixedWhateverTheBitmaps) {
  WriteTiff(folder / "res" / "gui" / "name_a.tif", 600, 40);
  Start();
  auto control = Show(300);
  HostUserArea* area = AreaOf(*control);
  ASSERT_NE(area, nullptr);
  int32_t w = 0, h = 0;
  ASSERT_EQ(area->callbacks.getMinSize(area->callbacks.self, &w, &h), 1);
  EXPECT_EQ(w, 240);
  EXPECT_EQ(h, 24);
}

TEST_F(TitlebarGeometryTest, PiecesAreDrawnInOrderAtTheirResolvedPlaces) {
  Start();
  auto control = Show(400);
  HostUserArea* area = AreaOf(*control);
  ASSERT_NE(area, nullptr);
  ASSERT_EQ(area->lastDraw.size(), 9u);
  struct Expected {
    int32_t x, w, sw;
  };
  // Left: cap, name, left end, centre band to the far edge. Right, from the
  // edge inwards: cap at 390, help at 390 - 31, cap, home, right end.
  const Expected expected[9] = {{0, 10, 10},   {10, 70, 70},  {80, 13, 13},  {93, 400, 16}, {390, 10, 10},
                                {359, 31, 31}, {349, 10, 10}, {322, 27, 27}, {305, 17, 17}};
  for (size_t i = 0; i < 9; ++i) {
    const gui::DrawCall& call = area->lastDraw[i];
    EXPECT_EQ(call.x, expected[i].x) << "piece " << i;
    EXPECT_EQ(call.w, expected[i].w) << "piece " << i;
    EXPECT_EQ(call.y, 0);
    EXPECT_EQ(call.h, 24);
    EXPECT_EQ(call.sx, 0);
    EXPECT_EQ(call.sy, 0);
    EXPECT_EQ(call.sw, expected[i].sw) << "piece " << i;
    EXPECT_EQ(call.sh, 24);
    EXPECT_EQ(call.mode, 0);
  }
  // The right-hand pieces follow the area when it is resized.
  area->width = 500;
  HostContainer sized, result;
  sized.id = gui::msgSizedInfo;
  area->callbacks.message(area->callbacks.self, &sized, &result);
  control->Flush();
  EXPECT_EQ(area->lastDraw[4].x, 490);
  EXPECT_EQ(area->lastDraw[5].x, 459);
}

TEST_F(TitlebarGeometryTest, ButtonEdgesBelongToNoButton) {
  Start();
  auto control = Show(400);
  const titlebarUA& bar = BarOf(*control);
  // Name button: L = 10, width 70.
  const struct {
    int32_t x, y, hovered;
  } probes[] = {{10, 12, -1}, {11, 12, 1},  {79, 12, 1}, {80, 12, -1},  {11, 0, -1},
                {11, 1, 1},   {11, 24, -1}, {11, 23, 1}, {359, 12, -1}, {360, 12, 5}};
  for (const auto& p : probes) {
    control->Move(p.x, p.y);
    EXPECT_EQ(bar.Hovered(), p.hovered) << "at " << p.x << ", " << p.y;
  }
  // A click exactly on the left edge of a button does nothing.
  control->Press(10, 12, channelLeft);
  EXPECT_TRUE(Lines().empty());
}

// ---- Hover and timer ----------------------------------------------------------

TEST_F(TitlebarTest, HoverRedrawsOnlyWhenTheHighlightChanges) {
  Start();
  auto control = Show(400);
  HostUserArea* area = AreaOf(*control);
  const titlebarUA& bar = BarOf(*control);
  const int64_t start = area->redrawRequests;
  control->Move(20, 12);
  EXPECT_EQ(area->redrawRequests, start + 1);
  EXPECT_EQ(bar.Hovered(), 1);
  control->Move(30, 10);
  control->Move(40, 14);
  EXPECT_EQ(area->redrawRequests, start + 1);
  control->Move(200, 12);  // the centre band is no button
  EXPECT_EQ(area->redrawRequests, start + 2);
  EXPECT_EQ(bar.Hovered(), -1);
  control->Move(210, 12);
  EXPECT_EQ(area->redrawRequests, start + 2);
}

TEST_F(TitlebarTest, HoveredButtonIsDrawnWithItsOtherBitmap) {
  Start();
  auto control = Show(400);
  HostUserArea* area = AreaOf(*control);
  const HostBitmap* plain = area->lastDraw[1].bitmap;
  control->Move(20, 12);
  ASSERT_EQ(area->lastDraw.size(), 9u);
  EXPECT_NE(area->lastDraw[1].bitmap, plain);
  const gui::Rgba lit = area->canvas.At(50, 12);
  control->Move(200, 12);
  EXPECT_EQ(area->lastDraw[1].bitmap, plain);
  const gui::Rgba unlit = area->canvas.At(50, 12);
  EXPECT_FALSE(lit.r == unlit.r && lit.g == unlit.g && lit.b == unlit.b) << "the hover bitmap looks the same";
}

TEST_F(TitlebarTest, TimerKeepsTheHighlightOnTheEdgeAndClearsItBeyond) {
  Start();
  auto control = Show(400);
  HostUserArea* area = AreaOf(*control);
  const titlebarUA& bar = BarOf(*control);
  control->Move(20, 12);
  EXPECT_TRUE(bar.TimerRunning());
  EXPECT_EQ(area->timerInterval, 100);

  // The pointer leaves the area: the host sends nothing, only the timer sees it.
  control->Move(400, 12);
  control->Wait(100);
  EXPECT_EQ(bar.Hovered(), 1);
  EXPECT_EQ(area->timerInterval, 100);

  const int64_t redraws = area->redrawRequests;
  control->Move(401, 12);
  control->Wait(99);
  EXPECT_EQ(bar.Hovered(), 1) << "cleared before the timer was due";
  control->Wait(1);
  EXPECT_EQ(bar.Hovered(), -1);
  EXPECT_FALSE(bar.TimerRunning());
  EXPECT_EQ(area->timerInterval, 0);
  EXPECT_EQ(area->redrawRequests, redraws + 1);
  const int64_t ticks = area->timerTicks;
  control->Wait(1000);
  EXPECT_EQ(area->timerTicks, ticks);
}

TEST_F(TitlebarTest, TimerStartsOnlyInsideTheBar) {
  Start();
  auto control = Show(400);
  HostUserArea* area = AreaOf(*control);
  control->Move(200, 24);  // inside the gadget's 25 rows, on the bar's lower edge
  EXPECT_EQ(area->timerInterval, 0);
  control->Move(200, 12);
  EXPECT_EQ(area->timerInterval, 100);
}

// ---- Clicks -----------------------------------------------------------------

TEST_F(TitlebarTest, NameShowsTheVersionAndReportsTheAction) {
  Start();
  auto control = Show(400);
  control->Press(40, 12, channelLeft);
  EXPECT_EQ(Lines(), std::vector<std::string>{"message box: Tessaline v " TESSALINE_VERSION});
  ASSERT_EQ(gui::Gui().messages.size(), 1u);
  const HostContainer& m = gui::Gui().messages[0].message;
  EXPECT_EQ(m.id, 0x62414354);
  ASSERT_NE(m.Find(0x6d656964), nullptr);
  EXPECT_EQ(m.Find(0x6d656964)->intValue, TITLEBAR_USERAREA);
  ASSERT_NE(m.Find(0x6d657661), nullptr);
  EXPECT_EQ(m.Find(0x6d657661)->intValue, 0);
  ASSERT_NE(m.Find(0x6d656472), nullptr);
  EXPECT_EQ(m.Find(0x6d656472)->intValue, 0);
  // The dialog's standard handling turned it into a command.
  EXPECT_EQ(control->Dialog()->commands, 1);
}

TEST_F(TitlebarTest, HelpAndHomeOpenTheManualAndTheMakersPage) {
  Start();
  auto control = Show(400);
  const titlebarUA& bar = BarOf(*control);
  const int32_t helpX = 390 - bar.Piece(5).width + 5;
  const int32_t homeX = bar.Piece(7).x + 400 + 5;
  control->Press(helpX, 12, channelLeft);
  control->Press(homeX, 12, channelLeft);
  const std::vector<std::string> expected{"open: " + (folder / "docs" / "manual.pdf").string(),
                                          "open: https://tessaline.example"};
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(gui::Gui().messages.size(), 2u);
}

TEST_F(TitlebarTest, OtherButtonsAreHandledButSilent) {
  Start();
  auto control = Show(400);
  HostUserArea* area = AreaOf(*control);
  for (int32_t channel : {channelRight, gui::channelMiddle}) {
    HostContainer msg;
    msg.SetInt(gui::keyDevice, gui::deviceMouse);
    msg.SetInt(gui::keyChannel, channel);
    msg.SetInt(gui::keyX, 40);
    msg.SetInt(gui::keyY, 12);
    EXPECT_EQ(area->callbacks.inputEvent(area->callbacks.self, &msg), 1);
  }
  control->Press(40, 12, channelRight);
  HostContainer keyboard;
  keyboard.SetInt(gui::keyDevice, gui::deviceKeyboard);
  keyboard.SetInt(gui::keyChannel, channelLeft);
  EXPECT_EQ(area->callbacks.inputEvent(area->callbacks.self, &keyboard), 0);
  EXPECT_TRUE(Lines().empty());
  EXPECT_TRUE(gui::Gui().messages.empty());
}

TEST_F(TitlebarTest, ClickOutsideEveryButtonStillReportsTheAction) {
  Start();
  auto control = Show(400);
  control->Press(200, 12, channelLeft);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(gui::Gui().messages.size(), 1u);
}

// ---- Missing resources ---------------------------------------------------------

TEST_F(TitlebarTest, MissingManualLeavesTheHelpButtonInert) {
  fs::remove(folder / "docs" / "manual.pdf");
  Start();
  auto control = Show(400);
  HostUserArea* area = AreaOf(*control);
  const titlebarUA& bar = BarOf(*control);
  EXPECT_FALSE(bar.Piece(5).clickable);
  const int64_t redraws = area->redrawRequests;
  const int32_t helpX = 390 - bar.Piece(5).width + 5;
  control->Move(helpX, 12);
  EXPECT_EQ(bar.Hovered(), -1);
  EXPECT_EQ(area->redrawRequests, redraws);
  control->Press(helpX, 12, channelLeft);
  EXPECT_TRUE(Lines().empty());
  // The piece is still drawn, with its plain bitmap.
  EXPECT_EQ(area->lastDraw.size(), 9u);
}

TEST_F(TitlebarTest, ManualAsAFolderDoesNotCount) {
  fs::remove(folder / "docs" / "manual.pdf");
  fs::create_directories(folder / "docs" / "manual.pdf");
  Start();
  auto control = Show(400);
  EXPECT_FALSE(BarOf(*control).Piece(5).clickable);
}

TEST_F(TitlebarTest, MissingBitmapFailsInitAndStopsLoading) {
  const fs::path gui = folder / "res" / "gui";
  fs::remove(gui / "help_a.tif");               // index 5
  std::ofstream(gui / "help_b.tif") << "junk";  // index 6: would be noted if it were tried
  Start();
  auto control = Show(400);
  ASSERT_NE(control, nullptr);
  EXPECT_FALSE(control->AreasReady());
  HostUserArea* area = AreaOf(*control);
  EXPECT_EQ(area->draws, 0);
  const auto notes = host::Services().console.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("help_a.tif"), std::string::npos);
  // Nothing reacts either.
  control->Move(40, 12);
  control->Press(40, 12, channelLeft);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(TitlebarTest, DamagedBitmapFailsInit) {
  const fs::path file = folder / "res" / "gui" / "t_cntr.tif";
  const auto size = fs::file_size(file);
  fs::resize_file(file, size / 2);
  Start();
  auto control = Show(400);
  EXPECT_FALSE(control->AreasReady());
}

// ---- Lifetime -----------------------------------------------------------------

TEST_F(TitlebarTest, SeveralControlsLiveApartAndLeaveNothingBehind) {
  Start();
  const int64_t before = host::Services().memory.LiveBlocks();
  {
    auto a = Show(400);
    auto b = Show(300);
    auto c = Show(500);
    EXPECT_EQ(gui::Gui().dialogs.size(), 3u);
    EXPECT_EQ(gui::Gui().areas.size(), 3u);
    EXPECT_GT(host::Services().memory.LiveBlocks(), before);
    // Each has its own bitmaps and its own hover state.
    EXPECT_NE(AreaOf(*a)->lastDraw[0].bitmap, AreaOf(*b)->lastDraw[0].bitmap);
    a->Move(20, 12);
    EXPECT_EQ(BarOf(*a).Hovered(), 1);
    EXPECT_EQ(BarOf(*b).Hovered(), -1);
    EXPECT_EQ(BarOf(*c).AreaWidth(), 500);
    b.reset();
    EXPECT_EQ(gui::Gui().dialogs.size(), 2u);
    a->Press(20, 12, channelLeft);
    EXPECT_EQ(Lines().size(), 1u);
  }
  EXPECT_EQ(host::Services().memory.LiveBlocks(), before);
  EXPECT_TRUE(gui::Gui().dialogs.empty());
  EXPECT_TRUE(gui::Gui().areas.empty());
}

TEST_F(TitlebarTest, FreeIgnoresMissingArguments) {
  Start();
  const int64_t before = host::Services().memory.LiveBlocks();
  plugin->customGui.free(plugin->customGui.object, nullptr, nullptr);
  auto control = Show(400);
  plugin->customGui.free(plugin->customGui.object, control->Dialog(), nullptr);
  EXPECT_EQ(gui::Gui().dialogs.size(), 1u);
  control.reset();
  EXPECT_EQ(host::Services().memory.LiveBlocks(), before);
}

TEST_F(TitlebarTest, AllocFailsCleanlyWithoutMemory) {
  Start();
  host::Services().memory.FailAllocation(1);
  EXPECT_EQ(plugin->customGui.alloc(plugin->customGui.object, nullptr), nullptr);
  EXPECT_TRUE(gui::Gui().dialogs.empty());
}

}  // namespace
}  // namespace tess::test
