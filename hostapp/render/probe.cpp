#include "hostapp/render/probe.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <istream>
#include <stdexcept>
#include <streambuf>
#include <ostream>

#include "hostapp/render/channels.h"
#include "hostapp/scene/json_access.h"
#include "hostapp/scene/json_limits.h"
#include "hostapp/render/module_host.h"
#include "hostapp/render/out_of_memory.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/scene_reader.h"
#include "hostapp/render/shading.h"
#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

// A probe may describe a broken hit on purpose: "nan", "inf" and "-inf" stand
// for the values JSON cannot write.
double ReadProbeNumber(const Json& j, const std::string& path) {
  if (j.is_string()) {
    const std::string text = j.get<std::string>();
    if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
    if (text == "inf") return std::numeric_limits<double>::infinity();
    if (text == "-inf") return -std::numeric_limits<double>::infinity();
  }
  if (!j.is_number()) throw JsonError(path, R"(expected a number, "nan", "inf" or "-inf")");
  return j.get<double>();
}

HostVector ReadProbeVec(const Json& j, const std::string& path) {
  if (!j.is_array() || j.size() != 3) throw JsonError(path, "expected [x, y, z]");
  return {ReadProbeNumber(j[0], Item(path, 0)), ReadProbeNumber(j[1], Item(path, 1)),
          ReadProbeNumber(j[2], Item(path, 2))};
}

size_t FindObject(const ProbeWorld& world, const Json& line) {
  if (!line.contains("object")) throw JsonError("object", "missing");
  const std::string name = ReadString(line["object"], "object");
  for (size_t i = 0; i < world.objects.size(); ++i)
    if (world.objects[i].source->name == name) return i;
  throw JsonError("object", "no object named \"" + name + "\" in the scene");
}

const Channel& FindChannel(const SceneObject& object, const std::string& name, int32_t& channel) {
  const Material& m = object.material;
  const Channel* c = nullptr;
  if (name == "color") {
    c = &m.color;
    channel = colorChannel;
  } else if (name == "bump") {
    c = &m.bump;
    channel = HOST_CHANNEL_BUMP;
  } else if (name == "normal") {
    c = &m.normal;
    channel = HOST_CHANNEL_NORMAL;
  } else {
    throw JsonError("channel", R"(expected "color", "bump" or "normal")");
  }
  if (c->shader == nullptr) throw JsonError("channel", "object \"" + object.name + "\" has no " + name + " shader");
  return *c;
}

Vec Probe(const ProbeWorld& world, const Json& line) {
  CheckKeys(line, "",
            {"object", "polygon", "point", "normal", "channel", "second_normal", "ray", "bump_sample", "u", "v",
             "thread", "record", "hit_object", "context", "hit_id"});
  const size_t index = FindObject(world, line);
  const RenderObject& object = world.objects[index];
  for (const char* key : {"polygon", "point", "normal", "channel"})
    if (!line.contains(key)) throw JsonError(key, "missing");
  const int polygon = ReadInt(line["polygon"], "polygon", 0, object.ray.polygonCount - 1);
  int32_t channelNumber = 0;
  const Channel& channel = FindChannel(*object.source, ReadString(line["channel"], "channel"), channelNumber);
  const double u = Optional(line, "", "u", 0.0, ReadNumber), v = Optional(line, "", "v", 0.0, ReadNumber);

  Surface surface = SurfaceAt(object, polygon, std::clamp(u, 0.0, 1.0), std::clamp(v, 0.0, 1.0));
  surface.point = ReadProbeVec(line["point"], "point");
  surface.shadingNormal = ReadProbeVec(line["normal"], "normal");
  surface.geometricNormal =
      Optional(line, "", "second_normal", PolygonNormal(object.ray.points, object.ray.polygons[polygon]), ReadProbeVec);
  const Vec direction = Optional(line, "", "ray", -surface.shadingNormal, ReadProbeVec);
  const HostRay ray = MakeRay(surface.point - direction, direction);
  host::SampleContext context;
  context.threadIndex = Optional(line, "", "thread", 0,
                                 [](const Json& j, const std::string& p) { return ReadInt(j, p, 0, maxThreads - 1); });
  context.tracer = &world.tracer;
  HostVolumeData vd = MakeVolumeData(object, static_cast<int32_t>(index), polygon, surface, ray, &context);
  if (!Optional(line, "", "hit_object", true, ReadBool)) vd.object = nullptr;
  if (!Optional(line, "", "context", true, ReadBool)) vd.context = nullptr;
  if (line.contains("hit_id")) {
    const Json& id = line["hit_id"];
    if (!id.is_array() || id.size() != 2) throw JsonError("hit_id", "expected [id, polygon]");
    // Any polygon index, also one past the object's end: the shaders must
    // refuse what lies outside the object themselves.
    vd.hitId =
        HostHitId{ReadInt(id[0], "hit_id[0]", INT32_MIN, INT32_MAX), ReadInt(id[1], "hit_id[1]", INT32_MIN, INT32_MAX)};
  }
  const int bumpSample =
      Optional(line, "", "bump_sample", 0, [](const Json& j, const std::string& p) { return ReadInt(j, p, 0, 3); });

  HostChannelData cd{};
  cd.uvw = HostVector{u, v, 0};
  cd.normal = vd.normal;
  cd.flags = ChannelFlags(channelNumber, bumpSample);
  cd.vd = Optional(line, "", "record", true, ReadBool) ? &vd : nullptr;
  return channel.shader->Sample(&cd);
}

// Full precision, so that the numbers read back to the same doubles; a
// broken hit may give values JSON has no numbers for, written as the input writes them.
std::string Component(double v) {
  if (std::isnan(v)) return "\"nan\"";
  if (std::isinf(v)) return v > 0 ? "\"inf\"" : "\"-inf\"";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string ColourLine(const Vec& c) {
  return "{\"color\": [" + Component(c.x) + ", " + Component(c.y) + ", " + Component(c.z) + "]}";
}

enum class LineRead { Line, End, TooLong };

// One line without its newline; a line that outgrows maxProbeLineBytes is
// not read further, so that an input without newlines cannot take all memory.
LineRead ReadBoundedLine(std::istream& in, std::string& line) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
    if (c == '\n') return LineRead::Line;
    if (line.size() == maxProbeLineBytes) return LineRead::TooLong;
    line.push_back(static_cast<char>(c));
  }
  return line.empty() ? LineRead::End : LineRead::Line;
}

void ReportBadLine(int number, const std::string& reason, std::ostream& out, std::ostream& err) {
  const std::string message = "line " + std::to_string(number) + ": " + Printable(reason);
  err << "error: " << message << '\n';
  out << Json{{"error", message}}.dump() << '\n';
}

}  // namespace

int ProbeLines(const ProbeWorld& world, std::istream& in, std::ostream& out, std::ostream& err) {
  int bad = 0;
  std::string text;
  for (int number = 1;; ++number) {
    const LineRead read = ReadBoundedLine(in, text);
    if (read == LineRead::End) break;
    if (read == LineRead::TooLong) {
      // The rest of the line may never end, so the run stops here.
      ReportBadLine(number, "longer than " + std::to_string(maxProbeLineBytes) + " bytes", out, err);
      return bad + 1;
    }
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::string error;
    try {
      if (LineNestedTooDeep(text) != 0) throw std::runtime_error(NestedTooDeepReason());
      out << ColourLine(Probe(world, Json::parse(text))) << '\n';
      continue;
    } catch (const Json::parse_error&) {
      error = "malformed JSON";
    } catch (const std::exception& e) {
      error = e.what();
    }
    ++bad;
    ReportBadLine(number, error, out, err);
  }
  return bad;
}

namespace {

std::string ShadeWithModule(const std::string& scenePath, std::istream& in, std::ostream& out, std::ostream& err,
                            int& bad) {
  SceneResult read = ReadSceneFile(scenePath);
  if (!read.scene) return read.error;
  const std::vector<RenderObject> objects = MakeRenderObjects(*read.scene);
  EmbreeScene embree;
  if (!embree.Build(objects)) return embree.Error();
  const EmbreeTracer tracer(embree, objects);
  std::string error = PrepareShaders(*read.scene, 1);
  if (!error.empty()) return error;
  bad = ProbeLines(ProbeWorld{*read.scene, objects, tracer}, in, out, err);
  FreeShaders(*read.scene);
  return {};
}

}  // namespace

int RunShade(const std::string& modulePath, const std::string& scenePath, std::istream& in, std::ostream& out,
             std::ostream& err) {
  ModuleHost module;
  int bad = 0;
  std::string error = module.Start(modulePath);
  try {
    if (error.empty()) error = ShadeWithModule(scenePath, in, out, err, bad);
  } catch (const OutOfMemory& e) {
    error = e.what();
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the scene";
  }
  const std::string finish = module.Finish();
  if (error.empty()) error = finish;
  if (!error.empty()) err << "error: " << error << '\n';
  return error.empty() && bad == 0 ? 0 : 1;
}

}  // namespace tess::render
