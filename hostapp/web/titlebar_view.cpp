#include "hostapp/web/titlebar_view.h"

#include "hostapp/gui/dialogs.h"
#include "hostapp/render/image.h"
#include "hostapp/services/services.h"
#include "hostapp/services/console.h"
#include "hostapp/web/api_error.h"
#include "hostapp/assets/utf8.h"

namespace tess::web {
namespace {

// Long enough for the bar's pointer timer to fire once, so that a bar the
// pointer left draws itself plain again. The GUI's clock is virtual: this
// advances it and fires the timers due, it never sleeps.
constexpr int64_t settleMilliseconds = 110;

std::string Encode(const gui::Image& image) {
  render::Image8 rgb{image.Width(), image.Height(), {}};
  const auto& bytes = image.Bytes();
  rgb.rgb.reserve(bytes.size() / 4 * 3);
  for (size_t i = 0; i + 3 < bytes.size(); i += 4) rgb.rgb.insert(rgb.rgb.end(), &bytes[i], &bytes[i] + 3);
  return render::EncodePng(rgb);
}

bool IsWebAddress(const std::string& target) {
  return target.rfind("http://", 0) == 0 || target.rfind("https://", 0) == 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void TitleBarView::Show(host::PluginNode& node, int width) {
  if (width < 240 || width > 4096) throw ApiError(400, "width: expected 240 to 4096 pixels");
  if (panel != nullptr && shownNode == &node && shownWidth == width) return;
  Forget();
  std::string why;
  panel = gui::Panel::Build(node, width + 2 * gui::panelMargin, &why);
  if (panel == nullptr) throw ApiError(500, why);
  for (const gui::PanelRow& r : panel->Rows())
    if (r.kind == gui::PanelRow::Kind::Control && row == nullptr) row = &r;
  if (row == nullptr) {
    Forget();
    throw ApiError(404, node.Name() + "'s panel has no title bar");
  }
  shownNode = &node;
  shownWidth = width;
}

void TitleBarView::Forget() {
  row = nullptr;
  panel.reset();
  shownNode = nullptr;
  shownWidth = 0;
}

gui::Image TitleBarView::Bar() const {
  const gui::Image whole = panel->Render();
  gui::Image bar(shownWidth, std::max(row->control->Height(), 1));
  for (int32_t y = 0; y < bar.Height(); ++y)
    for (int32_t x = 0; x < bar.Width(); ++x) bar.Set(x, y, whole.At(x + gui::panelMargin, y + row->y));
  return bar;
}

std::string TitleBarView::Png(host::PluginNode& node, int width) {
  Show(node, width);
  return Encode(Bar());
}

render::Json TitleBarView::Pointer(host::PluginNode& node, int width, const std::string& event, int x, int y) {
  Show(node, width);
  const auto before = Bar().Bytes();
  const host::ConsoleCapture caused;
  const int32_t gx = x + gui::panelMargin, gy = y + row->y;
  if (event == "move" || event == "up") {
    panel->Move(gx, gy);
  } else if (event == "down") {
    // A pointer is always over what it presses: the bar hears of the move first.
    panel->Move(gx, gy);
    panel->Press(gx, gy, gui::channelLeft);
  } else if (event == "leave") {
    panel->Move(-1000000, -1000000);
  } else {
    throw ApiError(400, "event: expected move, down, up or leave");
  }
  panel->Wait(settleMilliseconds);

  render::Json answer = {{"redraw", Bar().Bytes() != before}};
  if (!caused.messageBoxes.empty()) answer["messageBox"] = assets::ValidUtf8(caused.messageBoxes.back());
  for (const std::string& target : caused.opened) {
    if (IsWebAddress(target)) {
      answer["open"] = assets::ValidUtf8(target);
    } else if (EndsWith(target, ".pdf")) {
      manual = target;
      answer["open"] = "/manual.pdf";
    }
  }
  return answer;
}

}  // namespace tess::web
