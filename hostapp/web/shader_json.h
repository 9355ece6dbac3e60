// Shader nodes and their parameters in the form scene files write them, and
// a plug-in node's attribute panel as the page builds it.
#ifndef TESSALINE_HOSTAPP_WEB_SHADER_JSON_H
#define TESSALINE_HOSTAPP_WEB_SHADER_JSON_H

#include "hostapp/scene/json_access.h"
#include "hostapp/resources/resource_reader.h"
#include "hostapp/services/nodes.h"

namespace tess::web {

using render::Json;

// The parameter's value as a scene file writes it; null when it is unset.
Json ParameterValue(const HostContainer& container, const resources::Element& e);
// A channel's node as a scene file writes it: [r, g, b] or {"shader", "params"}.
Json ShaderToJson(const host::ShaderNode& node);
// The node's panel, asked of the module now: groups, parameters with their
// types, ranges, cycles, values and enabled flags; hidden parts left out.
// Throws ApiError when the node gives no description.
Json PanelElements(host::PluginNode& node, std::string* title);

}  // namespace tess::web

#endif
