// The scene the preview edits: read once, then changed one request at a time
// through the same parameter path and range checks as scene files. The
// caller makes sure no render reads the scene while it changes.
#ifndef TESSALINE_HOSTAPP_WEB_PREVIEW_SCENE_H
#define TESSALINE_HOSTAPP_WEB_PREVIEW_SCENE_H

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/scene/json_access.h"
#include "hostapp/scene/scene.h"

namespace tess::web {

using render::Json;

enum class Slot { Color, Bump, Normal };

// One channel as it was before an edit: what every edit returns, so that
// applying it takes the edit back (and returns the edit again, for redo).
// It owns the nodes the edit let go, such as a replaced linked shader, so
// they come back with their values; dropped unapplied, it frees them.
struct ChannelState {
  size_t object = 0;
  Slot slot = Slot::Color;
  host::ShaderNode* shader = nullptr;
  double strength = 1.0;
  std::string where;
  std::optional<HostContainer> values;   // the plug-in shader's, when it has one
  std::optional<HostVector> plainColor;  // the channel's plain colour, whichever shader it holds
  std::vector<std::unique_ptr<host::ShaderNode>> nodes;
};

class PreviewScene {
 public:
  // The scene file, or the demo scene when the path is empty. The module
  // must have started. Null with one error line on failure.
  static std::unique_ptr<PreviewScene> Open(const std::string& path, std::string* error);

  const render::Scene& Scene() const { return *scene; }
  size_t ObjectCount() const { return scene->objects.size(); }

  // Query values as the API names them; ApiError (404) when unknown.
  size_t ObjectIndex(const std::string& text) const;
  static Slot SlotOf(const std::string& name);
  // The plug-in node of a channel; ApiError (404) when it holds none.
  host::PluginNode& PluginAt(size_t object, Slot slot) const;

  Json Overview() const;
  // {"position", "target", "fov", "aspect"}: the camera as the page edits it.
  Json CameraJson() const;
  Json ObjectEntry(size_t object) const;
  Json Panel(size_t object, Slot slot) const;
  // `{"symbol", "value"}` or `{"params": {...}}`: all values or none.
  // Returns what takes the edit back.
  ChannelState SetParameters(size_t object, Slot slot, const Json& body);
  // Throws the ApiError SetParameters would, changing nothing: a refused
  // edit need not stop the render. Linked shaders are left to SetParameters.
  void CheckParameters(size_t object, Slot slot, const Json& body) const;
  // The colour channel's plain colour (it then holds it, whatever shader it
  // held), and a bump or normal channel's strength.
  ChannelState SetColor(size_t object, const HostVector& color);
  ChannelState SetStrength(size_t object, Slot slot, double strength);
  static void CheckStrength(Slot slot, double strength);
  // ApiError (400) unless SetShader knows the name.
  static void CheckShaderName(const std::string& name);

  const render::CameraSetup& Camera() const { return scene->camera; }
  // Returns the camera it replaced.
  render::CameraSetup SetCamera(const render::CameraSetup& camera);
  // The shape the scene frames: its image's width over its height.
  double Aspect() const { return static_cast<double>(scene->image.width) / scene->image.height; }
  // "none" or a plug-in shader's name; a shader the channel held before
  // comes back with its values. Returns what takes the edit back.
  ChannelState SetShader(size_t object, Slot slot, const std::string& name);
  // Puts the channel back as it was; returns what redoes the edit.
  ChannelState Restore(ChannelState state);
  // Shader nodes the scene owns: the channels', the ones they link, and the
  // plug-in shaders a channel held before (they come back with their values).
  size_t NodeCount() const { return scene->nodes.size(); }
  // The edited scene as a scene file with the given image settings.
  Json Save(int width, int height, int samples) const;

 private:
  PreviewScene() = default;  // NOLINT(bugprone-exception-escape): its members' constructors do not throw
  render::Channel& ChannelAt(size_t object, Slot slot) const;
  host::ShaderNode* NodeFor(size_t object, Slot slot, const std::string& name);
  ChannelState Capture(size_t object, Slot slot) const;
  host::ConstantShader* PlainColor(size_t object, Slot slot) const;
  static Json ParametersOf(const Json& body);
  // Hands over the nodes nothing reaches any more, such as a linked shader
  // that an edit replaced (with the module's object behind it).
  std::vector<std::unique_ptr<host::ShaderNode>> DropUnusedNodes();

  std::unique_ptr<render::Scene> scene;
  Json source;         // the file as read, for what edits never change
  std::string folder;  // where relative mesh files are
  // Per object and channel, the nodes it held, by shader name.
  std::vector<std::array<std::map<std::string, host::ShaderNode*>, 3>> held;
};

}  // namespace tess::web

#endif
