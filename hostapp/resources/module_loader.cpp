#include <algorithm>
#include <cctype>
#include <set>

#include "hostapp/resources/input_file.h"
#include "hostapp/resources/lexer.h"
#include "hostapp/resources/resource_reader.h"
#include "hostapp/resources/token_cursor.h"

namespace tess::resources {
namespace {

namespace fs = std::filesystem;
using detail::ParseError;

Result<std::string> ReadTextFile(const fs::path& file) {
  Result<std::string> result;
  std::string text;
  if (!ReadInputFile(file.string(), detail::maxFileSize, text, result.error)) return result;
  result.value = std::move(text);
  return result;
}

template <typename T, typename Parse>
Result<T> ReadAndParse(const fs::path& file, Parse parse) {
  try {
    Result<std::string> text = ReadTextFile(file);
    if (!text) return Result<T>{std::nullopt, std::move(text.error), {}};
    return parse(*text.value, file.string());
  } catch (const std::exception&) {  // allocation failure while reading
    return Result<T>{std::nullopt, file.string() + ": cannot read file", {}};
  }
}

// Moves a sub-result's warnings into the caller's list and reports whether it
// succeeded; on failure its error becomes the caller's.
template <typename T, typename U>
bool Absorb(Result<T>& into, Result<U>& from) {
  into.warnings.insert(into.warnings.end(), from.warnings.begin(), from.warnings.end());
  if (from) return true;
  into.error = std::move(from.error);
  return false;
}

std::vector<std::pair<std::string, StringEntry>> EntriesInFileOrder(const StringTable& table) {
  std::vector<std::pair<std::string, StringEntry>> entries(table.entries.begin(), table.entries.end());
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.second.line < b.second.line; });
  return entries;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// Gives every symbol of a parsed description its value and label.
class DescriptionResolver {
 public:
  DescriptionResolver(const SymbolTable& moduleSymbols, const StringTable& strings, const std::string& fileName,
                      std::vector<std::string>& warnings)
      : moduleSymbols_(moduleSymbols), strings_(strings), fileName_(fileName), warnings_(warnings) {}

  void Resolve(Description& description, const std::string& expectedName) {
    if (!SameNameIgnoringCase(description.name, expectedName))
      throw ParseError(description.line,
                       "description " + description.name + " does not match file name " + expectedName);
    for (const NameRef& include : description.includes)
      if (!IsHostBaseDescription(include.name)) throw ParseError(include.line, "unknown include " + include.name);
    description.title = Label(description.nameRef.empty() ? description.name : description.nameRef).longText;
    for (Element& element : description.items) ResolveElement(element);
  }

 private:
  void ResolveElement(Element& element) {
    if (!element.symbol.empty()) {
      element.id = Value(element.symbol, element.line);
      ClaimId(*element.id, element);
      const StringEntry label = LabelOrWarn(element.symbol, element.line);
      element.longLabel = label.longText;
      element.shortLabel = label.shortText.empty() ? label.longText : label.shortText;
    }
    for (SymbolEntry& entry : element.cycle) {
      entry.value = Value(entry.symbol, entry.line);
      entry.label = LabelOrWarn(entry.symbol, entry.line).longText;
    }
    for (SymbolEntry& entry : element.accept) entry.value = Value(entry.symbol, entry.line);
    for (Element& child : element.children) ResolveElement(child);
  }

  std::int32_t Value(const std::string& symbol, int line) const {
    if (auto found = moduleSymbols_.find(symbol); found != moduleSymbols_.end()) return found->second;
    if (auto found = HostSymbols().find(symbol); found != HostSymbols().end()) return found->second;
    throw ParseError(line, "unknown symbol " + symbol);
  }

  // Parameters and groups share one ID space: the host finds them by ID.
  void ClaimId(std::int32_t id, const Element& element) {
    if (auto [it, inserted] = ids_.emplace(id, element.symbol); !inserted)
      throw ParseError(element.line,
                       "duplicate ID " + std::to_string(id) + " of " + element.symbol + " and " + it->second);
  }

  StringEntry Label(const std::string& symbol) const {
    auto found = strings_.entries.find(symbol);
    return found == strings_.entries.end() ? StringEntry{} : found->second;
  }

  // The host labels its own groups, so only the module's symbols need one.
  StringEntry LabelOrWarn(const std::string& symbol, int line) {
    if (strings_.entries.count(symbol) == 0 && moduleSymbols_.count(symbol) != 0)
      warnings_.push_back(detail::Warning(fileName_, line, "no label for " + symbol));
    return Label(symbol);
  }

  const SymbolTable& moduleSymbols_;
  const StringTable& strings_;
  const std::string& fileName_;
  std::vector<std::string>& warnings_;
  std::map<std::int32_t, std::string> ids_;
};

}  // namespace

Result<SymbolTable> ReadSymbols(const fs::path& file) {
  return ReadAndParse<SymbolTable>(file, ParseSymbols);
}

Result<StringTable> ReadStringTable(const fs::path& file) {
  return ReadAndParse<StringTable>(file, ParseStringTable);
}

Result<Description> ReadDescription(const fs::path& file) {
  return ReadAndParse<Description>(file, ParseDescription);
}

Result<ModuleStrings> LoadModuleStrings(const fs::path& moduleFolder) {
  Result<ModuleStrings> result;
  Result<SymbolTable> symbols = ReadSymbols(moduleFolder / "res" / "c4d_symbols.h");
  if (!Absorb(result, symbols)) return result;
  const fs::path stringFile = moduleFolder / "res" / "strings_us" / "c4d_strings.str";
  Result<StringTable> table = ReadStringTable(stringFile);
  if (!Absorb(result, table)) return result;

  ModuleStrings strings;
  for (const auto& [symbol, entry] : EntriesInFileOrder(*table.value)) {
    auto value = symbols.value->find(symbol);
    if (value == symbols.value->end()) {
      result.error = detail::Warning(stringFile.string(), entry.line, "unknown symbol " + symbol);
      return result;
    }
    // Two symbols may share a value; as with repeated IDs the first text stays.
    if (!strings.emplace(value->second, entry.longText).second)
      result.warnings.push_back(detail::Warning(stringFile.string(), entry.line, "duplicate string ID " + symbol));
  }
  result.value = std::move(strings);
  return result;
}

Result<Description> LoadDescription(const fs::path& moduleFolder, const std::string& name) {
  Result<Description> result;
  const fs::path folder = moduleFolder / "res" / "description";
  Result<Description> parsed = ReadDescription(folder / (name + ".res"));
  if (!Absorb(result, parsed)) return result;
  Result<SymbolTable> symbols = ReadSymbols(folder / (name + ".h"));
  if (!Absorb(result, symbols)) return result;
  Result<StringTable> strings = ReadStringTable(moduleFolder / "res" / "strings_us" / "description" / (name + ".str"));
  if (!Absorb(result, strings)) return result;

  const std::string resFile = (folder / (name + ".res")).string();
  Result<Description> resolved = detail::RunParser<Description>(resFile, [&](std::vector<std::string>& warnings) {
    Description description = std::move(*parsed.value);
    DescriptionResolver(*symbols.value, *strings.value, resFile, warnings).Resolve(description, name);
    return description;
  });
  Absorb(result, resolved);
  result.value = std::move(resolved.value);
  return result;
}

// The stand-in host's own values. Its description IDs stay below 1000, where a
// module's never lie, so a lookup by ID cannot confuse the two; the base type
// IDs are only ever named by ACCEPT.
const SymbolTable& HostSymbols() {
  static const SymbolTable symbols{
      {"ID_BASELIST_NAME", 900}, {"ID_SHADERPROPERTIES", 990}, {"Obase", 5140}, {"Tbase", 5616}, {"Mbase", 5703},
      {"Xbase", 5707},
  };
  return symbols;
}

bool IsHostBaseDescription(std::string_view name) {
  static const std::set<std::string_view> bases{"Mpreview", "Xbase", "Obase", "Tbase", "Mbase"};
  return bases.count(name) != 0;
}

}  // namespace tess::resources
