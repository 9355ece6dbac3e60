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
    written += size;
    if (size >= 65536) {
      Flush();
      Put(data, size);
    } else {
      buffer.append(static_cast<const char*>(data), size);
      if (buffer.size() >= 65536) Flush();
    }
  }
  // Zero bytes up to a multiple of `alignment` from the start, so that the
  // host can use the array that follows where it lies.
  void Align(size_t alignment) {
    static const char zeros[16] = {};
    Bytes(zeros, (alignment - written % alignment) % alignment);
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
  size_t written = 0;
  bool ok = true;
};

// Reads what Writer wrote; any read past the end fails, and stays failed.
class Reader {
 public:
  Reader(const char* data, size_t size) : base(data), at(data), left(size) {}

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
  // Past the padding that puts the next array at a multiple of `alignment`.
  bool Align(size_t alignment) {
    return Span((alignment - static_cast<size_t>(at - base) % alignment) % alignment) != nullptr;
  }

 private:
  bool Fail() {
    left = 0;
    return false;
  }
  const char* base;
  const char* at;
  size_t left;
};

struct NodeRecord {
  int32_t parent = -1, end = 0;
  uint64_t points = 0, polygons = 0;
};

// A node's points and polygons where they lie in the answer, checked there:
// every point finite, every corner one of the node's points. The answer
// must not change after this (the host seals it first).
std::string ViewMesh(Reader& in, const NodeRecord& record, MeshView& view) {
  if (!in.Align(alignof(HostVector)) || record.points > in.Left() / sizeof(HostVector)) return "cut short";
  const char* points = in.Span(static_cast<size_t>(record.points) * sizeof(HostVector));
  if (!in.Align(alignof(HostVector)) || record.polygons > in.Left() / sizeof(HostPolygon)) return "cut short";
  const char* polygons = in.Span(static_cast<size_t>(record.polygons) * sizeof(HostPolygon));
  if ((record.points > 0 && points == nullptr) || (record.polygons > 0 && polygons == nullptr)) return "cut short";
  view.points = {reinterpret_cast<const HostVector*>(points), static_cast<size_t>(record.points)};
  view.polygons = {reinterpret_cast<const HostPolygon*>(polygons), static_cast<size_t>(record.polygons)};
  bool finite = true;
  for (const HostVector& p : view.points) finite &= std::isfinite(p.x) & std::isfinite(p.y) & std::isfinite(p.z);
  if (!finite) return "a point that is not finite";
  const auto n = static_cast<uint32_t>(record.points);
  bool inside = true;
  for (const HostPolygon& p : view.polygons)
    inside &= static_cast<uint32_t>(p.a) < n && static_cast<uint32_t>(p.b) < n && static_cast<uint32_t>(p.c) < n &&
              static_cast<uint32_t>(p.d) < n;
  if (!inside) return "a corner outside its points";
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
        !in.Value(r.polygons))
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
    MeshView& view = model.nodes[i].view;
    const std::string why = ViewMesh(in, records[i], view);
    if (!why.empty()) return why == "cut short" ? why : "node " + std::to_string(i) + " has " + why;
    model.polygons += view.polygons.size;
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
  for (const ModelNode& node : model.nodes) {
    out.Text(node.name);
    out.Value(static_cast<int32_t>(node.parent));
    out.Value(static_cast<int32_t>(node.end));
    out.Value(static_cast<uint64_t>(node.view.points.size));
    out.Value(static_cast<uint64_t>(node.view.polygons.size));
  }
  for (const ModelNode& node : model.nodes) {
    out.Align(alignof(HostVector));
    out.Bytes(node.view.points.data, node.view.points.size * sizeof(HostVector));
    out.Align(alignof(HostVector));
    out.Bytes(node.view.polygons.data, node.view.polygons.size * sizeof(HostPolygon));
  }
  out.Value(static_cast<uint64_t>(opened.size()));
  for (const FileStamp& stamp : opened) {
    out.Text(stamp.path);
    out.Value(static_cast<uint64_t>(stamp.size));
    out.Value(static_cast<int64_t>(stamp.time.time_since_epoch().count()));
  }
  return out.Finish();
}

ModelResult ParseModelResult(const std::shared_ptr<const char>& data, size_t size, const std::string& path,
                             std::vector<FileStamp>& opened) {
  const auto malformed = [&](const std::string& what) {
    return ModelResult{nullptr, path + ": the reader's answer is malformed (" + what + ")"};
  };
  Reader in(data.get(), size);
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
  model->storage = data;
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
