#include <charconv>

#include "hostapp/resources/resource_reader.h"

namespace tess::resources {
namespace {

template <typename Match>
const Element* FindInTree(const std::vector<Element>& items, const Match& match) {
  for (const Element& element : items) {
    if (match(element)) return &element;
    if (const Element* found = FindInTree(element.children, match)) return found;
  }
  return nullptr;
}

}  // namespace

std::string_view ElementTypeName(ElementType type) {
  switch (type) {
    case ElementType::Group:
      return "GROUP";
    case ElementType::Long:
      return "LONG";
    case ElementType::Real:
      return "REAL";
    case ElementType::Bool:
      return "BOOL";
    case ElementType::String:
      return "STRING";
    case ElementType::Spline:
      return "SPLINE";
    case ElementType::Gradient:
      return "GRADIENT";
    case ElementType::Link:
      return "LINK";
    case ElementType::ShaderLink:
      return "SHADERLINK";
    case ElementType::Separator:
      return "SEPARATOR";
  }
  return "?";
}

const Flag* Element::FindFlag(std::string_view key) const {
  for (const Flag& flag : flags)
    if (flag.key == key) return &flag;
  return nullptr;
}

std::optional<std::string> Element::FlagText(std::string_view key) const {
  const Flag* flag = FindFlag(key);
  if (flag == nullptr) return std::nullopt;
  return flag->value;
}

std::optional<double> Element::FlagNumber(std::string_view key) const {
  const std::optional<std::string> text = FlagText(key);
  if (!text || text->empty()) return std::nullopt;
  const std::string_view digits = (*text)[0] == '+' ? std::string_view(*text).substr(1) : std::string_view(*text);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

const Element* Description::FindBySymbol(std::string_view symbol) const {
  if (symbol.empty()) return nullptr;  // anonymous groups and separators have no name to find
  return FindInTree(items, [&](const Element& element) { return element.symbol == symbol; });
}

const Element* Description::FindById(std::int32_t wanted) const {
  return FindInTree(items, [&](const Element& element) { return element.id == wanted; });
}

}  // namespace tess::resources
