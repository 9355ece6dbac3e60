// `tessaline-host describe`: a new node's attribute panel as text.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "hostapp/cli/commands.h"
#include "hostapp/loader/launch.h"
#include "hostapp/scene/nearest_names.h"
#include "hostapp/scene/shader_reader.h"
#include "hostapp/services/nodes.h"
#include "hostapp/services/parameters.h"
#include "hostapp/services/services.h"

namespace tess::cli {
namespace {

using resources::Element;
using resources::ElementType;

struct Panel {
  host::PluginNode& node;
  const HostDescription& description;
  std::ostream& out;

  bool Hidden(const Element& e) const {
    if (!e.id) return false;
    auto it = description.parameters.find(*e.id);
    const host::Value* hide = it != description.parameters.end() ? it->second.Find(HOST_DESC_HIDE) : nullptr;
    return hide != nullptr && hide->intValue != 0;
  }

  bool Enabled(const Element& e) const {
    if (!e.id) return true;
    HostDescId id{};
    id.depth = 1;
    id.levels[0] = HostDescLevel{*e.id, 0, 0};
    return node.IsEnabled(id);
  }

  void Print(const std::vector<Element>& items, int depth) const {
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    for (const Element& e : items) {
      if (Hidden(e)) continue;
      if (e.type == ElementType::Group) {
        const bool titled = !e.longLabel.empty();
        if (titled) out << indent << e.longLabel << '\n';
        Print(e.children, titled ? depth + 1 : depth);
      } else if (e.type == ElementType::Separator) {
        out << indent << "----\n";
      } else if (auto gui = e.FlagText("CUSTOMGUI"); gui && e.type == ElementType::String) {
        out << indent << "[" << *gui << "]\n";
      } else {
        // The symbol beside the label is what scene files and --set write.
        out << indent << (e.longLabel.empty() ? e.symbol : e.longLabel + " (" + e.symbol + ")") << ": "
            << host::FormatParameter(node.container, e) << (Enabled(e) ? "" : "  (disabled)") << '\n';
      }
    }
  }
};

// Applies SYMBOL=VALUE settings; false with one line in error.
bool ApplySettings(host::PluginNode& node, const resources::Description& description,
                   const std::vector<std::string>& settings, std::string* error) {
  for (const std::string& setting : settings) {
    const auto equals = setting.find('=');
    if (equals == std::string::npos) return *error = "--set " + setting + ": expected SYMBOL=VALUE", false;
    const std::string symbol = setting.substr(0, equals);
    const Element* element = description.FindBySymbol(symbol);
    if (element == nullptr || !element->id)
      return *error = "--set " + setting + ": unknown parameter " + symbol +
                      render::DidYouMean(symbol, render::ParameterSymbols(description)),
             false;
    std::string why;
    if (!host::IsSettableFromText(*element)) return *error = "--set " + setting + ": cannot be set from text", false;
    if (!host::SetParameterFromText(node.container, *element, setting.substr(equals + 1), &why))
      return *error = "--set " + setting + ": " + why, false;
  }
  return true;
}

int Describe(host::PluginNode& node, const std::vector<std::string>& settings, std::ostream& out, std::string* error) {
  const auto source = host::Services().descriptions.Of(node.pluginId);
  if (source == nullptr) return *error = "no description registered for " + node.Name(), 1;
  if (!ApplySettings(node, *source, settings, error)) return 1;
  HostDescription description;
  int32_t flags = 0;
  if (!node.GetDescription(description, &flags)) return *error = "the shader gave no description", 1;
  out << node.Name() << " (" << source->name << ")\n";
  Panel{node, description, out}.Print(source->items, 1);
  return 0;
}

int RunDescribe(const std::string& modulePath, const std::string& shader, const std::vector<std::string>& settings) {
  std::string error;
  auto module = host::LaunchedModule::Launch(modulePath, &error);
  int code = 1;
  if (module != nullptr) {
    const HostPlugin* plugin = host::Services().registry.FindShader(shader);
    if (plugin == nullptr) {
      error = "unknown shader " + shader + " (known: " + host::Services().registry.ShaderNames() + ")";
    } else if (auto node = host::PluginNode::Create(*plugin); node == nullptr) {
      error = "the module could not allocate a " + plugin->name + " node";
    } else {
      code = Describe(*node, settings, std::cout, &error);
    }
  }
  if (code != 0) std::cerr << "error: " << error << '\n';
  return code;
}

}  // namespace

CommandRunner AddDescribeCommand(CLI::App& app, const CommonOptions& common) {
  CLI::App* command = app.add_subcommand(
      "describe",
      "Print a new node's attribute panel as text: groups and parameters in resource order with their "
      "labels and values (angles in degrees); hidden groups are left out, disabled parameters marked.");
  auto shader = std::make_shared<std::string>();
  auto settings = std::make_shared<std::vector<std::string>>();
  command->add_option("SHADER", *shader, "The shader: its name (\"Soft Edge\", SoftEdge), description or id")
      ->required();
  command->add_option("--set", *settings, "Change a value first: SYMBOL=VALUE, e.g. SOFTEDGE_METHOD=1");
  return [shader, settings, &common] { return RunDescribe(common.modulePath, *shader, *settings); };
}

}  // namespace tess::cli
