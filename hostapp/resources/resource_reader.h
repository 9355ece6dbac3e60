// Reader for the host's resource files: symbol headers, string tables and
// description resources, as a module keeps them in its res/ folder.
//
// Every function works on untrusted bytes: it never throws, and on any
// malformed input it fails with exactly one diagnostic "file:line: reason".
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tess::resources {

// Either a value or one error; warnings (e.g. duplicate string IDs) are
// collected in both cases so a caller can show them without us printing.
template <typename T>
struct Result {
  std::optional<T> value;
  std::string error;  // "file:line: reason" when value is empty
  std::vector<std::string> warnings;

  explicit operator bool() const { return value.has_value(); }
};

// symbol -> value, as declared by the enums of a symbol header.
using SymbolTable = std::map<std::string, std::int32_t, std::less<>>;

struct StringEntry {
  std::string longText;
  std::string shortText;  // empty when the entry gives only one text
  int line = 0;
};

// A global table has no name; a description's table is named after it and
// holds the description's title under that name.
struct StringTable {
  std::string name;
  std::map<std::string, StringEntry, std::less<>> entries;
};

enum class ElementType { Group, Long, Real, Bool, String, Spline, Gradient, Link, ShaderLink, Separator };

std::string_view ElementTypeName(ElementType type);

// "KEY [value];" exactly as written; value is the raw token text.
struct Flag {
  std::string key;
  std::optional<std::string> value;
  int line = 0;
};

// A symbol named inside CYCLE or ACCEPT; value and label are filled in by
// LoadDescription.
struct SymbolEntry {
  std::string symbol;
  int line = 0;
  std::int32_t value = 0;
  std::string label;
};

// One node of a description: a parameter, a separator or a group (whose
// flags are its group flags and whose children are its items).
struct Element {
  ElementType type = ElementType::Group;
  std::string symbol;  // empty for an anonymous group or separator
  int line = 0;        // line of the symbol (of the keyword if none)
  std::vector<Flag> flags;
  std::vector<SymbolEntry> cycle;
  std::vector<SymbolEntry> accept;
  std::vector<Element> children;

  // Filled in by LoadDescription.
  std::optional<std::int32_t> id;
  std::string longLabel;
  std::string shortLabel;

  const Flag* FindFlag(std::string_view key) const;
  bool HasFlag(std::string_view key) const { return FindFlag(key) != nullptr; }
  // The value of KEY (UNIT, CUSTOMGUI, ...), if KEY is present with one.
  std::optional<std::string> FlagText(std::string_view key) const;
  // The value of KEY as a number (MIN, MAX, STEP, ...), if it is one.
  std::optional<double> FlagNumber(std::string_view key) const;
};

struct NameRef {
  std::string name;
  int line = 0;
};

struct Description {
  std::string name;     // CONTAINER name
  int line = 0;         // line of that name
  std::string nameRef;  // NAME entry: the string that titles the description
  std::vector<NameRef> includes;
  std::vector<Element> items;  // top-level items in resource order
  std::string title;           // filled in by LoadDescription

  // Depth-first search over the whole tree (groups included).
  const Element* FindBySymbol(std::string_view symbol) const;
  const Element* FindById(std::int32_t wanted) const;
};

// --- Parsing text in memory; fileName only labels diagnostics. ---

Result<SymbolTable> ParseSymbols(std::string_view text, const std::string& fileName);
Result<StringTable> ParseStringTable(std::string_view text, const std::string& fileName);
// Unresolved: ids, labels and cycle values stay empty.
Result<Description> ParseDescription(std::string_view text, const std::string& fileName);

// --- The same on files. ---

Result<SymbolTable> ReadSymbols(const std::filesystem::path& file);
Result<StringTable> ReadStringTable(const std::filesystem::path& file);
Result<Description> ReadDescription(const std::filesystem::path& file);

// --- A module folder (the folder holding res/). ---

// string id -> text, from res/c4d_symbols.h and res/strings_us/c4d_strings.str.
using ModuleStrings = std::map<std::int32_t, std::string>;
Result<ModuleStrings> LoadModuleStrings(const std::filesystem::path& moduleFolder);

// res/description/<name>.res resolved through <name>.h and
// res/strings_us/description/<name>.str: every symbol must be known, every
// ID unique.
Result<Description> LoadDescription(const std::filesystem::path& moduleFolder, const std::string& name);

// Symbols the host itself defines (its own groups and base types); a module's
// description may use them without declaring them. A module's header wins on
// a clash.
const SymbolTable& HostSymbols();
// Host base descriptions (Mpreview, Xbase, ...) that INCLUDE may name; they
// add nothing to a module's description here.
bool IsHostBaseDescription(std::string_view name);

}  // namespace tess::resources
