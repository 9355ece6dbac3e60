#include "hostapp/assets/header_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "hostapp/assets/model_import.h"
#include "hostapp/assets/utf8.h"
#include "hostapp/resources/input_file.h"

namespace tess::assets {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The first `bytes` of the file (fewer when it is shorter).
std::string Head(const std::string& path, size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  std::string head(bytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

// A whole number of at most 19 digits, so that arithmetic on it cannot wrap.
bool Count(const std::string& word, std::uintmax_t& value) {
  if (word.empty() || word.size() > 19 || word.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(word);
  return true;
}

std::string Announces(const std::string& path, const std::string& format, const std::string& what,
                      std::uintmax_t size) {
  return path + ": the " + format + " header announces " + what + ", more than the file's " + std::to_string(size) +
         " bytes can hold";
}

// Assimp's PLY reader runs forever on a header without its end, writes past
// its arrays on a malformed one, and takes an element count at its word
// however short the file. So the header is read first, line by line: the
// lines Assimp acts on (format, element, property, end_header) must follow
// the format's grammar; any other line, a comment, obj_info or stray text as
// some exporters write, Assimp skips, and so does this check.
bool IsPlyType(const std::string& type) {
  static const char* const types[] = {"char", "uchar", "short", "ushort", "int",   "uint",   "float",   "double",
                                      "int8", "uint8", "int16", "uint16", "int32", "uint32", "float32", "float64"};
  return std::find_if(std::begin(types), std::end(types), [&](const char* t) { return type == t; }) != std::end(types);
}

bool IsPlyProperty(const std::vector<std::string>& w) {
  return (w.size() == 3 && IsPlyType(w[1])) || (w.size() == 5 && w[1] == "list" && IsPlyType(w[2]) && IsPlyType(w[3]));
}

std::string CheckPlyHeader(const std::string& path, std::uintmax_t size) {
  std::istringstream lines(Head(path, 65536));
  std::string line;
  std::uintmax_t elements = 0;
  bool inElement = false;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    const std::string first = w.empty() ? std::string() : w[0];
    const auto refuse = [&](const std::string& why) { return path + ":" + std::to_string(number) + ": " + why; };
    if (number == 1) {
      if (line != "ply") return path + ": not a PLY file (it must begin with the line \"ply\")";
    } else if (number == 2) {
      if (w.size() != 3 || w[2] != "1.0" || (w[0] != "format") ||
          (w[1] != "ascii" && w[1] != "binary_little_endian" && w[1] != "binary_big_endian"))
        return refuse("expected \"format ascii 1.0\" or a binary format");
    } else if (first == "element") {
      std::uintmax_t count = 0;
      if (w.size() != 3) return refuse("expected \"element NAME COUNT\"");
      if (!Count(w[2], count)) return refuse("an element count must be a whole number");
      elements = std::min(elements + count, std::uintmax_t{1} << 62);  // no wrapping past the file's size
      inElement = true;
    } else if (first == "property") {
      if (!inElement) return refuse("a property before any element");
      if (!IsPlyProperty(w)) return refuse("not a property: \"" + OneLine(line.substr(0, 60)) + "\"");
    } else if (first == "end_header") {
      if (w.size() != 1) return refuse("end_header must stand alone on its line");
      if (elements > size) return Announces(path, "PLY", std::to_string(elements) + " elements", size);
      return {};
    }
  }
  return path + ": the PLY header has no end_header line in its first 64 KB";
}

// OFF: an optional keyword ([ST][C][N][4][n]OFF, with a dimension after it
// for nOFF), then the counts of points and faces. Assimp allocates what the
// counts say before it reads a point. A point takes at least two bytes per
// coordinate (a digit and a separator), a face at least two.
std::string CheckOffHeader(const std::string& path, std::uintmax_t size) {
  std::istringstream lines(Head(path, 4096));
  std::vector<std::string> w;
  for (std::string line; w.size() < 4 && std::getline(lines, line);) {
    if (line.rfind('#', 0) == 0) continue;
    std::istringstream words(line);
    for (std::string word; w.size() < 4 && words >> word;) w.push_back(word);
  }
  size_t at = 0;
  std::uintmax_t dimensions = 3;
  if (!w.empty() && w[0].size() >= 3 && w[0].compare(w[0].size() - 3, 3, "OFF") == 0) {
    at = 1;
    if (w[0].find('n') != std::string::npos && (w.size() < 2 || !Count(w[at++], dimensions))) return {};
  }
  std::uintmax_t points = 0, faces = 0;
  if (w.size() < at + 2 || !Count(w[at], points) || !Count(w[at + 1], faces)) return {};  // Assimp's to judge
  const std::uintmax_t least = points * 2 * std::max<std::uintmax_t>(dimensions, 1) + faces * 2;
  if (dimensions <= 3 && least > size)
    return Announces(path, "OFF", std::to_string(points) + " points and " + std::to_string(faces) + " faces", size);
  return {};
}

// Assimp takes a file of 84 + 50 n bytes, n the count at byte 80, as binary
// STL, any other as ASCII: a file that is no ASCII STL and announces more
// triangles than it holds was cut short, or is no STL at all.
std::string CheckStlHeader(const std::string& path, std::uintmax_t size) {
  const std::string head = Head(path, 84);
  const size_t first = head.find_first_not_of(" \t\r\n");
  if (head.size() < 84 || (first != std::string::npos && head.compare(first, 5, "solid") == 0)) return {};
  std::uintmax_t triangles = 0;
  for (int k = 3; k >= 0; --k)
    triangles = triangles << 8 | static_cast<unsigned char>(head[80 + static_cast<size_t>(k)]);
  if (84 + 50 * triangles > size) return Announces(path, "binary STL", std::to_string(triangles) + " triangles", size);
  return {};
}

// Assimp allocates what a binary glTF's chunk headers announce before it
// reads them, gigabytes for a few bad bytes: each chunk must fit in the file.
std::string CheckGlbChunks(const std::string& path, std::ifstream& in, std::uintmax_t size) {
  std::uintmax_t at = 12;
  for (int chunk = 0; chunk < 2 && at < size; ++chunk) {
    unsigned char header[8] = {};
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    in.read(reinterpret_cast<char*>(header), sizeof header);
    const std::uintmax_t length = header[0] | header[1] << 8 | header[2] << 16 | std::uintmax_t{header[3]} << 24;
    if (in.gcount() != sizeof header || at + 8 + length > size)
      return path + ": a chunk of this binary glTF file is longer than the file";
    at += 8 + (length + 3) / 4 * 4;
  }
  return {};
}

// When the importer of a file's extension turns the file down, Assimp tries
// every other importer on it, and some of those take gigabytes and seconds
// over a small file of another kind. So a file whose first bytes are not what
// its extension says is refused here, where the format has a signature.
std::string CheckSignature(const std::string& path, const std::string& extension, std::uintmax_t size) {
  std::ifstream in(path, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  const auto word = [&](size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(head[at + static_cast<size_t>(k)]);
    return v;
  };
  if (extension == ".glb") {
    if (head.size() < 12 || head.compare(0, 4, "glTF") != 0 || word(4) != 2 || word(8) != size)
      return path + ": not a binary glTF 2 file (it must begin with \"glTF\", version 2 and the file's length)";
    std::string chunks = CheckGlbChunks(path, in, size);
    if (!chunks.empty()) return chunks;
  } else if (extension == ".gltf") {
    const size_t start = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;  // a UTF-8 byte order mark
    const size_t first = head.find_first_not_of(" \t\r\n", start);
    if (first == std::string::npos || head[first] != '{') return path + ": not a glTF file (JSON that begins with {)";
  } else if (extension == ".dae") {
    if (head.find("<COLLADA") == std::string::npos)
      return path + ": not a COLLADA file (no <COLLADA> element at its start)";
  } else if (extension == ".fbx") {
    if (head.rfind("Kaydara FBX Binary", 0) != 0 && head.find("FBXHeaderExtension") == std::string::npos)
      return path + ": not an FBX file (neither the binary signature nor an ASCII FBX header)";
  }
  return {};
}

// Assimp's COLLADA reader never returns from an index list (<p>, <vcount>,
// <v>, <h>) that holds anything but numbers: such a file is refused first.
// The file is read in chunks, so that a large one costs no more memory than
// a small one; a tag may straddle two chunks.
class ColladaIndexScan {
 public:
  explicit ColladaIndexScan(std::string file) : path(std::move(file)) {}

  // Empty, or the refusal at the first character that is no index.
  std::string Feed(const char* data, size_t size) {
    for (size_t k = 0; k < size;) {
      if (inIndex) {
        const char c = data[k];
        if (c == '<') {
          inIndex = false;
          tag.clear();
          continue;
        }
        if (c == '\n') ++line;
        if (!std::isdigit(static_cast<unsigned char>(c)) && !std::isspace(static_cast<unsigned char>(c)))
          return path + ":" + std::to_string(line) + ": " + tag + " holds '" + OneLine(std::string(1, c)) +
                 "', not only indices";
        ++k;
      } else if (tag.empty()) {
        // Outside any tag: on to the next '<', counting lines on the way.
        const char* open = static_cast<const char*>(std::memchr(data + k, '<', size - k));
        const size_t end = open == nullptr ? size : static_cast<size_t>(open - data);
        line += static_cast<size_t>(std::count(data + k, data + end, '\n'));
        if (open != nullptr) tag = "<";
        k = end + (open != nullptr ? 1 : 0);
      } else {
        const char c = data[k];
        if (c == '<') {
          tag = "<";
        } else {
          tag += c;
          if (c == '\n') ++line;
          if (c == '>') {
            inIndex = tag == "<p>" || tag == "<vcount>" || tag == "<v>" || tag == "<h>";
            if (!inIndex) tag.clear();
          } else if (tag.size() > 8) {
            tag.clear();
          }
        }
        ++k;
      }
    }
    return {};
  }

 private:
  std::string path;
  std::string tag;  // the tag being read, from its '<'; or the index list's tag
  bool inIndex = false;
  size_t line = 1;
};

std::string CheckColladaIndices(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot open the file";
  ColladaIndexScan scan(path);
  std::vector<char> chunk(1 << 20);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    std::string why = scan.Feed(chunk.data(), static_cast<size_t>(in.gcount()));
    if (!why.empty()) return why;
  }
  return {};
}

}  // namespace

std::string CheckModelFile(const std::string& path) {
  std::string why = resources::CheckInputFile(path, resources::maxMeshInputBytes);
  if (!why.empty()) return why;
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (size == 0) return path + ": the file is empty";
  const std::string extension = Lower(fs::path(path).extension().string());
  if (!ReadsExtension(extension))
    return path + ": no mesh format has the extension \"" + fs::path(path).extension().string() + "\" (known: obj " +
           Extensions() + ")";
  why = CheckSignature(path, extension, size);
  if (!why.empty()) return why;
  if (extension == ".ply") return CheckPlyHeader(path, size);
  if (extension == ".off") return CheckOffHeader(path, size);
  if (extension == ".stl") return CheckStlHeader(path, size);
  if (extension == ".dae") return CheckColladaIndices(path);
  return {};
}

}  // namespace tess::assets
