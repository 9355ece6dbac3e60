// `tessaline-host panel SHADER`: shows a shader's attribute panel the way the
// application does, title bar included, and plays scripted pointer events.
#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>

#include "hostapp/cli/commands.h"
#include "hostapp/gui/dialogs.h"
#include "hostapp/gui/events.h"
#include "hostapp/gui/panel.h"
#include "hostapp/loader/module_loader.h"
#include "hostapp/services/services.h"

namespace tess::cli {
namespace {

struct PanelOptions {
  std::string shader;
  int32_t width = 400;
  std::string eventsFile;
  std::string output;
  std::string font = gui::panelFontPath;
  bool open = false;
};

// "panel.png" becomes "panel-003.png".
std::string FramePath(const std::string& output, size_t index) {
  const size_t dot = output.find_last_of('.');
  const size_t slash = output.find_last_of('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  char number[16];
  std::snprintf(number, sizeof(number), "-%03zu", index);
  return hasExtension ? output.substr(0, dot) + number + output.substr(dot) : output + number + ".png";
}

std::string Describe(const gui::ParentMessage& m) {
  const auto value = [&m](int32_t key) {
    const host::Value* v = m.message.Find(key);
    return v != nullptr ? std::to_string(v->intValue) : std::string("(none)");
  };
  if (m.message.id == gui::msgAction)
    return "message to dialog: action from gadget " + value(gui::keyActionId) + ", value " +
           value(gui::keyActionValue) + ", dragging " + value(gui::keyActionDragging);
  return "message to dialog: id " + std::to_string(m.message.id) + " from gadget " + std::to_string(m.fromGadget);
}

class PanelRun {
 public:
  PanelRun(const PanelOptions& o, std::ostream& output, std::ostream& errors) : options(o), out(output), err(errors) {}

  int Run(const std::string& modulePath) {
    gui::EventScript script;
    if (!options.eventsFile.empty()) {
      script = gui::ReadEvents(options.eventsFile);
      if (!script.error.empty()) return Error(script.error);
    }
    if (options.width < 240 || options.width > 4096) return Error("--width must be from 240 to 4096 pixels");

    gui::InstallGuiTables();
    host::Services().console.openForReal = options.open;
    host::Services().console.sink = [this](const std::string& line) { out << line << '\n'; };
    int code = 0;
    {
      host::ModuleSession session;
      host::StepResult r = session.Load(modulePath);
      if (r.ok) r = session.Init();
      if (r.ok) r = session.LoadResource();
      if (r.ok) r = session.Start();
      code = r.ok ? Show(script) : Error(r.message);
      session.End();
      session.Unload();
    }
    host::Services().console.sink = nullptr;
    return code;
  }

 private:
  int Error(const std::string& line) {
    err << "error: " << line << '\n';
    return 1;
  }

  int Show(const gui::EventScript& script) {
    HostPlugin* plugin = host::Services().registry.FindShader(options.shader);
    if (plugin == nullptr)
      return Error("no shader '" + options.shader + "' (the module has: " + host::Services().registry.ShaderNames() +
                   ")");
    std::unique_ptr<host::PluginNode> node = host::PluginNode::Create(*plugin);
    if (node == nullptr) return Error("the shader " + plugin->name + " could not be created");
    std::string why;
    std::unique_ptr<gui::Panel> panel = gui::Panel::Build(*node, options.width, &why, options.font);
    if (panel == nullptr) return Error(why);
    for (const std::string& problem : panel->Problems()) out << "panel: " << problem << '\n';

    size_t frame = 0;
    seenMessages = gui::Gui().messages.size();
    if (!WriteFrame(*panel, frame++, script.events.empty())) return 1;
    for (const gui::PanelEvent& event : script.events) {
      out << "event " << frame << " (line " << event.line << "): " << event.text << '\n';
      switch (event.kind) {
        case gui::PanelEvent::Kind::Move:
          panel->Move(event.x, event.y);
          break;
        case gui::PanelEvent::Kind::Click:
          panel->Press(event.x, event.y, gui::channelLeft);
          break;
        case gui::PanelEvent::Kind::RightClick:
          panel->Press(event.x, event.y, gui::channelRight);
          break;
        case gui::PanelEvent::Kind::Wait:
          panel->Wait(event.milliseconds);
          break;
      }
      const auto& messages = gui::Gui().messages;
      for (; seenMessages < messages.size(); ++seenMessages) out << Describe(messages[seenMessages]) << '\n';
      if (!WriteFrame(*panel, frame++, false)) return 1;
    }
    panel.reset();  // the controls go back to their plug-in before the node goes
    return 0;
  }

  bool WriteFrame(const gui::Panel& panel, size_t index, bool single) {
    if (options.output.empty()) return true;
    const std::string path = single ? options.output : FramePath(options.output, index);
    std::string why;
    if (!gui::WritePng(panel.Render(), path, &why)) {
      Error(path + ": " + why);
      return false;
    }
    out << "frame: " << path << '\n';
    return true;
  }

  const PanelOptions& options;
  std::ostream& out;
  std::ostream& err;
  size_t seenMessages = 0;
};

}  // namespace

CommandRunner AddPanelCommand(CLI::App& app, const CommonOptions& common) {
  auto options = std::make_shared<PanelOptions>();
  CLI::App* cmd = app.add_subcommand(
      "panel",
      "Show a shader's attribute panel as the application does, with the title bar hosted through its "
      "custom GUI, and play pointer events on it.");
  cmd->add_option("shader", options->shader, "The shader: softedge or drawedge (name, description or id)")->required();
  cmd->add_option("--width", options->width, "Panel width in pixels (240 to 4096, default 400)");
  cmd->add_option("--events", options->eventsFile,
                  "Events file: lines 'move X Y', 'click X Y', 'rclick X Y', 'wait MS', '#' comments");
  cmd->add_option("-o,--output", options->output,
                  "PNG file; with events, one frame per event: NAME-000.png (as shown), NAME-001.png, ...");
  cmd->add_option("--font", options->font, "TrueType font for the panel's text (default DejaVu Sans)");
  cmd->add_flag("--open", options->open, "Hand opened files and addresses to the desktop's opener");
  return [options, &common] {
    PanelRun run(*options, std::cout, std::cerr);
    return run.Run(common.modulePath);
  };
}

}  // namespace tess::cli
