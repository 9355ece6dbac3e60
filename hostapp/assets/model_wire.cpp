#include "hostapp/assets/model_wire.h"

#include <sys/types.h>
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

// The header: small items, gathered in memory and written last.
class Header {
 public:
  template <typename T>
  void Value(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void Text(const std::string& text) {
    Value(static_cast<uint64_t>(text.size()));
    bytes += text;
  }
  std::string bytes;
};

// Writes `size` bytes at `offset` of the file; false when a write fails.
bool Put(int fd, const void* data, size_t size, uint64_t offset) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, at, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

uint64_t Aligned(uint64_t offset) {
  return (offset + 7) / 8 * 8;
}

// Where each array goes: its offset in the file. An array that lies in the
// file already (`inPlace`) is named where it lies; any other is written at
// `end`, which moves on.
class Arrays {
 public:
  Arrays(int file, const std::vector<InPlace>& place, uint64_t start)
      : fd(file), inPlace(place), end(Aligned(std::max<uint64_t>(start, rootBytes))) {}

  uint64_t Place(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    for (const InPlace& region : inPlace)
      if (region.base != nullptr && p >= region.base && size <= region.size &&
          static_cast<size_t>(p - region.base) <= region.size - size)
        return region.offset + static_cast<uint64_t>(p - region.base);
    end = Aligned(end);
    const uint64_t at = end;
    ok = ok && Put(fd, data, size, at);
    end += size;
    return at;
  }
  // The header after the arrays, then the root record that names it.
  bool Finish(const std::string& header) {
    end = Aligned(end);
    char root[rootBytes] = {};
    const uint64_t place[2] = {end, header.size()};
    std::memcpy(root, magic, sizeof magic);
    std::memcpy(root + sizeof magic, place, sizeof place);
    return ok && Put(fd, header.data(), header.size(), end) && Put(fd, root, sizeof root, 0) &&
           ::ftruncate(fd, static_cast<off_t>(end + header.size())) == 0;
  }

  static constexpr size_t rootBytes = 24;  // magic, the header's offset and size

 private:
  int fd;
  const std::vector<InPlace>& inPlace;
  uint64_t end;
  bool ok = true;
};

// Reads the header; any read past its end fails, and stays failed.
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
  uint64_t pointsAt = 0, polygonsAt = 0;  // offsets in the file
};

// `count` items of `T` at `offset` of the file, if they lie in it, aligned.
template <typename T>
bool ArrayAt(const char* file, size_t size, uint64_t offset, uint64_t count, Span<T>& span) {
  if (count == 0) return true;
  if (offset % alignof(T) != 0 || offset > size || count > (size - offset) / sizeof(T)) return false;
  span = {reinterpret_cast<const T*>(file + offset), static_cast<size_t>(count)};
  return true;
}

// Two 64-bit or four 32-bit lanes that the compiler maps onto the machine's
// vector registers, whatever the machine: the checks below run over every
// point and corner of every model the reader answers, and -O2 does not make
// vector code of plain loops.
using Words = uint64_t __attribute__((vector_size(16)));
using Corners = uint32_t __attribute__((vector_size(16)));
using Flags = int32_t __attribute__((vector_size(16)));

// Whether every coordinate is finite. A double is not when its exponent bits
// are all ones; adding one at the exponent's lowest bit then carries into the
// sign bit. Ands, adds and ors over the bits, no branch per point.
bool AllFinite(Span<HostVector> points) {
  static_assert(sizeof(HostVector) == 3 * sizeof(uint64_t), "points are three doubles, unpadded");
  constexpr uint64_t exponent = 0x7ffull << 52, carry = 1ull << 52;
  const auto* bytes = reinterpret_cast<const char*>(points.data);
  const size_t words = points.size * 3;
  Words seen = {};
  size_t k = 0;
  for (; k + 2 <= words; k += 2) {
    Words bits;
    std::memcpy(&bits, bytes + k * sizeof(uint64_t), sizeof bits);
    seen |= (bits & exponent) + carry;
  }
  uint64_t all = seen[0] | seen[1];
  for (; k < words; ++k) {
    uint64_t bits;
    std::memcpy(&bits, bytes + k * sizeof bits, sizeof bits);
    all |= (bits & exponent) + carry;
  }
  return (all >> 63) == 0;
}

// Whether every corner is one of the `count` points, compared as unsigned so
// that a negative corner wraps to a huge one: a polygon's four corners at
// once, no branch per polygon.
bool AllCornersBelow(Span<HostPolygon> polygons, uint64_t count) {
  static_assert(sizeof(HostPolygon) == sizeof(Corners), "polygons are four 32-bit corners, unpadded");
  if (count > UINT32_MAX) count = UINT32_MAX;  // the caller bounds it well below; the lanes are 32 bits
  const Corners limit = Corners{} + static_cast<uint32_t>(count);
  const auto* bytes = reinterpret_cast<const char*>(polygons.data);
  Flags outside = {};
  for (size_t k = 0; k < polygons.size; ++k) {
    Corners corners;
    std::memcpy(&corners, bytes + k * sizeof corners, sizeof corners);
    outside |= corners >= limit;
  }
  return (outside[0] | outside[1] | outside[2] | outside[3]) == 0;
}

// A node's points and polygons where they lie in the file, checked there:
// every point finite, every corner one of the node's points. The file must
// not change after this (the host seals it first).
std::string ViewMesh(const char* file, size_t size, const NodeRecord& record, MeshView& view) {
  if (!ArrayAt(file, size, record.pointsAt, record.points, view.points) ||
      !ArrayAt(file, size, record.polygonsAt, record.polygons, view.polygons))
    return "arrays outside the answer";
  if (!AllFinite(view.points)) return "a point that is not finite";
  if (!AllCornersBelow(view.polygons, record.points)) return "a corner outside its points";
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

std::string ParseModel(Reader& in, const char* file, size_t size, Model& model) {
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
        !in.Value(r.pointsAt) || !in.Value(r.polygons) || !in.Value(r.polygonsAt))
      return "cut short";
    points += r.points;
    if (r.points > maxModelPoints || points > maxModelPoints)
      return "more than " + std::to_string(maxModelPoints) + " points";
    model.nodes[i].parent = r.parent;
    model.nodes[i].end = r.end;
  }
  std::string tree = CheckTree(records);
  if (!tree.empty()) return tree;
  for (size_t i = 0; i < records.size(); ++i) {
    MeshView& view = model.nodes[i].view;
    const std::string why = ViewMesh(file, size, records[i], view);
    if (!why.empty()) return "node " + std::to_string(i) + " has " + why;
    model.polygons += view.polygons.size;
  }
  return {};
}

}  // namespace

bool WriteModelResult(int fd, const ModelResult& result, const std::vector<FileStamp>& opened,
                      const std::vector<InPlace>& inPlace, uint64_t end) {
  Arrays arrays(fd, inPlace, end);
  Header out;
  out.Value(static_cast<uint32_t>(result.model != nullptr ? 1 : 0));
  if (result.model == nullptr) {
    out.Text(result.error);
    return arrays.Finish(out.bytes);
  }
  const Model& model = *result.model;
  out.Text(model.frame);
  out.Value(static_cast<uint64_t>(model.skippedFaces));
  out.Value(model.readSeconds);
  out.Value(model.convertSeconds);
  out.Value(static_cast<uint64_t>(model.nodes.size()));
  for (const ModelNode& node : model.nodes) {
    const MeshView& view = node.view;
    out.Text(node.name);
    out.Value(static_cast<int32_t>(node.parent));
    out.Value(static_cast<int32_t>(node.end));
    out.Value(static_cast<uint64_t>(view.points.size));
    out.Value(arrays.Place(view.points.data, view.points.size * sizeof(HostVector)));
    out.Value(static_cast<uint64_t>(view.polygons.size));
    out.Value(arrays.Place(view.polygons.data, view.polygons.size * sizeof(HostPolygon)));
  }
  out.Value(static_cast<uint64_t>(opened.size()));
  for (const FileStamp& stamp : opened) {
    out.Text(stamp.path);
    out.Value(static_cast<uint64_t>(stamp.size));
    out.Value(static_cast<int64_t>(stamp.time.time_since_epoch().count()));
  }
  return arrays.Finish(out.bytes);
}

ModelResult ParseModelResult(const std::shared_ptr<const char>& data, size_t size, const std::string& path,
                             std::vector<FileStamp>& opened) {
  const auto malformed = [&](const std::string& what) {
    return ModelResult{nullptr, path + ": the reader's answer is malformed (" + what + ")"};
  };
  uint64_t place[2] = {};  // the header's offset and size
  if (size < Arrays::rootBytes || std::memcmp(data.get(), magic, sizeof magic) != 0) return malformed("no answer");
  std::memcpy(place, data.get() + sizeof magic, sizeof place);
  if (place[0] > size || place[1] > size - place[0]) return malformed("no answer");
  Reader in(data.get() + place[0], static_cast<size_t>(place[1]));
  uint32_t ok = 0;
  if (!in.Value(ok) || ok > 1) return malformed("no answer");
  if (ok == 0) {
    std::string error;
    if (!in.Text(error, maxText) || error.empty()) return malformed("an error without its line");
    return {nullptr, error};
  }
  auto model = std::make_shared<Model>();
  model->storage = data;
  const std::string why = ParseModel(in, data.get(), size, *model);
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
