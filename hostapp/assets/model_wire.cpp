#include "hostapp/assets/model_wire.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "hostapp/assets/utf8.h"

namespace tess::assets {
namespace {

constexpr char magic[8] = {'T', 'E', 'S', 'S', 'M', 'D', 'L', '1'};
constexpr size_t maxText = 4096;  // an error line or the frame; names are bounded by the bytes only

// Small items gather in a buffer; large arrays go to the file directly.
class Writer {
 public:
  explicit Writer(int file) : fd(file) {}

  template <typename T>
  void Value(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    Bytes(&value, sizeof value);
  }
  void Text(const std::string& text) {
    Value(static_cast<uint64_t>(text.size()));
    Bytes(text.data(), text.size());
  }
  void Bytes(const void* data, size_t size) {
    if (size >= 65536) {
      Flush();
      Put(data, size);
    } else {
      buffer.append(static_cast<const char*>(data), size);
      if (buffer.size() >= 65536) Flush();
    }
  }
  bool Finish() {
    Flush();
    return ok;
  }

 private:
  void Flush() {
    Put(buffer.data(), buffer.size());
    buffer.clear();
  }
  void Put(const void* data, size_t size) {
    const char* at = static_cast<const char*>(data);
    while (ok && size > 0) {
      const ssize_t n = ::write(fd, at, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        return;
      }
      at += n;
      size -= static_cast<size_t>(n);
    }
  }

  int fd;
  std::string buffer;
  bool ok = true;
};

// Reads what Writer wrote; any read past the end fails, and stays failed.
class Reader {
 public:
  Reader(const char* data, size_t size) : at(data), left(size) {}

  template <typename T>
  bool Value(T& value) {
    return Bytes(&value, sizeof value);
  }
  bool Bytes(void* out, size_t size) {
    if (size > left) return Fail();
    std::memcpy(out, at, size);
    at += size;
    left -= size;
    return true;
  }
  // The next `size` bytes, read in place; null when there are fewer.
  const char* Span(size_t size) {
    if (size > left) {
      Fail();
      return nullptr;
    }
    const char* span = at;
    at += size;
    left -= size;
    return span;
  }
  // Texts for messages and JSON come as valid UTF-8 on one line; a path is
  // taken as it is (`raw`).
  bool Text(std::string& text, size_t max, bool raw = false) {
    uint64_t size = 0;
    if (!Value(size) || size > left) return Fail();
    const std::string_view bytes = std::string_view(at, static_cast<size_t>(size)).substr(0, max);
    text = raw ? std::string(bytes) : OneLine(bytes);
    at += size;
    left -= static_cast<size_t>(size);
    return true;
  }
  // A count of items of at least `itemBytes` each that the rest can hold.
  bool Count(uint64_t& count, size_t itemBytes) { return Value(count) && count <= left / itemBytes ? true : Fail(); }
  size_t Left() const { return left; }

 private:
  bool Fail() {
    left = 0;
    return false;
  }
  const char* at;
  size_t left;
};

struct NodeRecord {
  int32_t parent = -1, end = 0;
  uint64_t points = 0, polygons = 0;
  uint32_t floats = 0;  // 1: the points come as floats
};

bool Finite(const HostVector& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// Points often are floats that the node transforms left as they were (an
// STL's, say): sent as floats they take half the bytes, losing nothing.
bool FloatsSuffice(const std::vector<HostVector>& points) {
  for (const HostVector& p : points)
    if (static_cast<float>(p.x) != p.x || static_cast<float>(p.y) != p.y || static_cast<float>(p.z) != p.z)
      return false;
  return true;
}

void WriteFloatPoints(Writer& out, const std::vector<HostVector>& points) {
  std::vector<float> chunk;
  for (size_t at = 0; at < points.size();) {
    const size_t end = std::min(points.size(), at + 16384);
    chunk.clear();
    for (; at < end; ++at)
      chunk.insert(chunk.end(), {static_cast<float>(points[at].x), static_cast<float>(points[at].y),
                                 static_cast<float>(points[at].z)});
    out.Bytes(chunk.data(), chunk.size() * sizeof(float));
  }
}

// A node's points and polygons, checked as they are copied out of the
// answer: every point finite, every corner one of the node's points.
std::string ReadMesh(Reader& in, const NodeRecord& record, PolygonMesh& mesh) {
  const size_t pointBytes = record.floats != 0 ? 3 * sizeof(float) : sizeof(HostVector);
  if (record.points > in.Left() / pointBytes) return "cut short";
  const char* points = in.Span(static_cast<size_t>(record.points) * pointBytes);
  if (record.polygons > in.Left() / sizeof(HostPolygon)) return "cut short";
  const char* polygons = in.Span(static_cast<size_t>(record.polygons) * sizeof(HostPolygon));
  mesh.points.reserve(static_cast<size_t>(record.points));
  for (size_t k = 0; k < record.points; ++k) {
    HostVector p;
    if (record.floats != 0) {
      float f[3];
      std::memcpy(f, points + k * pointBytes, sizeof f);
      p = {f[0], f[1], f[2]};
    } else {
      std::memcpy(&p, points + k * pointBytes, sizeof p);
    }
    if (!Finite(p)) return "a point that is not finite";
    mesh.points.push_back(p);
  }
  const auto n = static_cast<int64_t>(record.points);
  mesh.polygons.reserve(static_cast<size_t>(record.polygons));
  for (size_t k = 0; k < record.polygons; ++k) {
    HostPolygon p;
    std::memcpy(&p, polygons + k * sizeof p, sizeof p);
    if (p.a < 0 || p.a >= n || p.b < 0 || p.b >= n || p.c < 0 || p.c >= n || p.d < 0 || p.d >= n)
      return "a corner outside its points";
    mesh.polygons.push_back(p);
  }
  return {};
}

// The node records must describe a tree in depth-first order, the root first:
// each node's parent comes before it, and each subtree [i, end) lies inside
// its parent's.
std::string CheckTree(const std::vector<NodeRecord>& records) {
  const auto count = static_cast<int64_t>(records.size());
  for (int64_t i = 0; i < count; ++i) {
    const NodeRecord& r = records[static_cast<size_t>(i)];
    if (r.end <= i || r.end > count) return "node " + std::to_string(i) + " ends outside the tree";
    if (i == 0 ? r.parent != -1 : (r.parent < 0 || r.parent >= i))
      return "node " + std::to_string(i) + " has no parent before it";
    if (i > 0 &&
        (i >= records[static_cast<size_t>(r.parent)].end || r.end > records[static_cast<size_t>(r.parent)].end))
      return "node " + std::to_string(i) + " lies outside its parent";
  }
  return {};
}

std::string ParseModel(Reader& in, Model& model) {
  uint64_t skipped = 0, count = 0;
  if (!in.Text(model.frame, maxText) || !in.Value(skipped) || !in.Value(model.readSeconds) ||
      !in.Value(model.convertSeconds) || !in.Count(count, sizeof(NodeRecord)))
    return "cut short";
  model.skippedFaces = static_cast<size_t>(skipped);
  if (!std::isfinite(model.readSeconds) || !std::isfinite(model.convertSeconds) || model.readSeconds < 0 ||
      model.convertSeconds < 0)
    model.readSeconds = model.convertSeconds = 0.0;
  if (count == 0) return "no nodes";
  std::vector<NodeRecord> records(static_cast<size_t>(count));
  model.nodes.resize(static_cast<size_t>(count));
  uint64_t points = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    NodeRecord& r = records[i];
    if (!in.Text(model.nodes[i].name, in.Left()) || !in.Value(r.parent) || !in.Value(r.end) || !in.Value(r.points) ||
        !in.Value(r.polygons) || !in.Value(r.floats))
      return "cut short";
    points += r.points;
    if (r.points > maxModelPoints || points > maxModelPoints)
      return "more than " + std::to_string(maxModelPoints) + " points";
    model.nodes[i].parent = r.parent;
    model.nodes[i].end = r.end;
  }
  const std::string tree = CheckTree(records);
  if (!tree.empty()) return tree;
  for (size_t i = 0; i < records.size(); ++i) {
    PolygonMesh& mesh = model.nodes[i].mesh;
    const std::string why = ReadMesh(in, records[i], mesh);
    if (!why.empty()) return why == "cut short" ? why : "node " + std::to_string(i) + " has " + why;
    model.polygons += mesh.polygons.size();
  }
  return {};
}

}  // namespace

bool WriteModelResult(int fd, const ModelResult& result, const std::vector<FileStamp>& opened) {
  Writer out(fd);
  out.Bytes(magic, sizeof magic);
  out.Value(static_cast<uint32_t>(result.model != nullptr ? 1 : 0));
  if (result.model == nullptr) {
    out.Text(result.error);
    return out.Finish();
  }
  const Model& model = *result.model;
  out.Text(model.frame);
  out.Value(static_cast<uint64_t>(model.skippedFaces));
  out.Value(model.readSeconds);
  out.Value(model.convertSeconds);
  out.Value(static_cast<uint64_t>(model.nodes.size()));
  std::vector<char> floats(model.nodes.size());
  for (size_t i = 0; i < model.nodes.size(); ++i) {
    const ModelNode& node = model.nodes[i];
    floats[i] = static_cast<char>(FloatsSuffice(node.mesh.points));
    out.Text(node.name);
    out.Value(static_cast<int32_t>(node.parent));
    out.Value(static_cast<int32_t>(node.end));
    out.Value(static_cast<uint64_t>(node.mesh.points.size()));
    out.Value(static_cast<uint64_t>(node.mesh.polygons.size()));
    out.Value(static_cast<uint32_t>(floats[i]));
  }
  for (size_t i = 0; i < model.nodes.size(); ++i) {
    const PolygonMesh& mesh = model.nodes[i].mesh;
    if (floats[i] != 0)
      WriteFloatPoints(out, mesh.points);
    else
      out.Bytes(mesh.points.data(), mesh.points.size() * sizeof(HostVector));
    out.Bytes(mesh.polygons.data(), mesh.polygons.size() * sizeof(HostPolygon));
  }
  out.Value(static_cast<uint64_t>(opened.size()));
  for (const FileStamp& stamp : opened) {
    out.Text(stamp.path);
    out.Value(static_cast<uint64_t>(stamp.size));
    out.Value(static_cast<int64_t>(stamp.time.time_since_epoch().count()));
  }
  return out.Finish();
}

ModelResult ParseModelResult(const char* data, size_t size, const std::string& path, std::vector<FileStamp>& opened) {
  const auto malformed = [&](const std::string& what) {
    return ModelResult{nullptr, path + ": the reader's answer is malformed (" + what + ")"};
  };
  Reader in(data, size);
  char head[sizeof magic] = {};
  uint32_t ok = 0;
  if (!in.Bytes(head, sizeof head) || std::memcmp(head, magic, sizeof magic) != 0 || !in.Value(ok) || ok > 1)
    return malformed("no answer");
  if (ok == 0) {
    std::string error;
    if (!in.Text(error, maxText) || error.empty()) return malformed("an error without its line");
    return {nullptr, error};
  }
  auto model = std::make_shared<Model>();
  const std::string why = ParseModel(in, *model);
  if (!why.empty()) return malformed(why);
  uint64_t stamps = 0;
  if (!in.Count(stamps, 3 * sizeof(uint64_t))) return malformed("cut short");
  for (uint64_t k = 0; k < stamps; ++k) {
    FileStamp stamp;
    uint64_t bytes = 0;
    int64_t ticks = 0;
    if (!in.Text(stamp.path, in.Left(), true) || !in.Value(bytes) || !in.Value(ticks)) return malformed("cut short");
    stamp.size = bytes;
    stamp.time = std::filesystem::file_time_type(std::filesystem::file_time_type::duration(ticks));
    opened.push_back(std::move(stamp));
  }
  return {std::move(model), {}};
}

}  // namespace tess::assets
