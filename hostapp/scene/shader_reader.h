// Material channels of a scene file: constants, the host's built-in shaders
// and the module's plug-in shaders with parameters by description symbol.
#ifndef TESSALINE_HOSTAPP_SCENE_SHADER_READER_H
#define TESSALINE_HOSTAPP_SCENE_SHADER_READER_H

#include <string>
#include <vector>

#include "hostapp/scene/json_access.h"
#include "hostapp/scene/scene.h"
#include "hostapp/resources/resource_reader.h"

namespace tess::render {

// A constant colour ([r, g, b] or one number) or a shader object; the node is
// added to scene.nodes. Throws JsonError.
tess::host::ShaderNode* ReadShader(const Json& j, const std::string& path, Scene& scene);
// A material channel; `strength` is allowed where it means something.
// One parameter of a plug-in node, by its description element, with the range
// checks of the attribute panel; a linked shader's node joins scene.nodes.
// Throws JsonError.
void SetParameter(HostNode& node, const resources::Element& e, const Json& j, const std::string& path, Scene& scene);
Channel ReadChannel(const Json& j, const std::string& path, Scene& scene, bool withStrength);

// The symbols of every parameter of a description, in resource order: what
// "did you mean ...?" chooses from.
std::vector<std::string> ParameterSymbols(const tess::resources::Description& description);

}  // namespace tess::render

#endif
