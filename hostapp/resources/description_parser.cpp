#include <array>
#include <optional>
#include <utility>

#include "hostapp/resources/resource_reader.h"
#include "hostapp/resources/token_cursor.h"

namespace tess::resources {
namespace detail {
namespace {

constexpr std::array<std::pair<std::string_view, ElementType>, 9> elementKeywords{{
    {"LONG", ElementType::Long},
    {"REAL", ElementType::Real},
    {"BOOL", ElementType::Bool},
    {"STRING", ElementType::String},
    {"SPLINE", ElementType::Spline},
    {"GRADIENT", ElementType::Gradient},
    {"LINK", ElementType::Link},
    {"SHADERLINK", ElementType::ShaderLink},
    {"SEPARATOR", ElementType::Separator},
}};

std::optional<ElementType> ElementKeyword(std::string_view word) {
  for (const auto& [keyword, type] : elementKeywords)
    if (keyword == word) return type;
  return std::nullopt;
}

bool IsFlagValue(const Token& token) {
  return token.kind == TokenKind::Identifier || token.kind == TokenKind::Integer || token.kind == TokenKind::Real ||
         token.kind == TokenKind::String;
}

class DescriptionParser {
 public:
  explicit DescriptionParser(std::string_view text) : cursor_(text) {}

  Description Parse() {
    cursor_.ExpectKeyword("CONTAINER");
    const Token name = cursor_.ExpectIdentifier();
    description_.name = name.text;
    description_.line = name.line;
    cursor_.ExpectPunct('{');
    ParseItems(description_.items, 0, nullptr);
    cursor_.ExpectEnd();
    return std::move(description_);
  }

 private:
  // Items up to and including the closing brace. Inside a group, any
  // "KEY [value];" that is not an item is a group flag.
  void ParseItems(std::vector<Element>& items, int depth, Element* group) {
    while (!cursor_.AtPunct('}')) {
      const Token& word = cursor_.Peek();
      if (word.kind != TokenKind::Identifier) cursor_.FailExpected(word, "expected identifier");
      if (word.text == "NAME") {
        description_.nameRef = ParseNamed().name;
      } else if (word.text == "INCLUDE") {
        description_.includes.push_back(ParseNamed());
      } else if (word.text == "GROUP") {
        items.push_back(ParseGroup(depth + 1));
      } else if (auto type = ElementKeyword(word.text)) {
        items.push_back(ParseElement(*type));
      } else if (group != nullptr && !LooksLikeBlock()) {
        group->flags.push_back(ParseFlag());
      } else {
        cursor_.Fail(word, "unknown keyword " + word.text);
      }
    }
    cursor_.Next();
  }

  // "WORD {" or "WORD IDENT {" would be an element of an unknown type.
  bool LooksLikeBlock() const {
    return cursor_.AtPunct('{', 1) || (cursor_.AtIdentifier(1) && cursor_.AtPunct('{', 2));
  }

  NameRef ParseNamed() {
    cursor_.Next();
    const Token name = cursor_.ExpectIdentifier();
    cursor_.ExpectPunct(';');
    return NameRef{name.text, name.line};
  }

  Element ParseGroup(int depth) {
    const Token keyword = cursor_.Next();
    if (depth > maxNestingDepth) cursor_.Fail(keyword, "nesting too deep");
    Element group;
    group.type = ElementType::Group;
    group.line = keyword.line;
    if (cursor_.AtIdentifier()) {
      const Token symbol = cursor_.Next();
      group.symbol = symbol.text;
      group.line = symbol.line;
    }
    cursor_.ExpectPunct('{');
    ParseItems(group.children, depth, &group);
    return group;
  }

  Element ParseElement(ElementType type) {
    const Token keyword = cursor_.Next();
    Element element;
    element.type = type;
    element.line = keyword.line;
    if (cursor_.AtIdentifier() || type != ElementType::Separator) {
      const Token symbol = cursor_.ExpectIdentifier();
      element.symbol = symbol.text;
      element.line = symbol.line;
    }
    cursor_.ExpectPunct('{');
    while (!cursor_.AtPunct('}')) ParseElementFlag(element);
    cursor_.Next();
    return element;
  }

  void ParseElementFlag(Element& element) {
    if (cursor_.AtKeyword("CYCLE")) {
      ParseSymbolList(element.cycle);
    } else if (cursor_.AtKeyword("ACCEPT")) {
      ParseSymbolList(element.accept);
    } else if (cursor_.AtIdentifier() && cursor_.AtPunct('{', 1)) {
      cursor_.Fail(cursor_.Peek(), "unknown keyword " + cursor_.Peek().text);
    } else {
      element.flags.push_back(ParseFlag());
    }
  }

  // KEY { IDENT; ... }
  void ParseSymbolList(std::vector<SymbolEntry>& entries) {
    cursor_.Next();
    cursor_.ExpectPunct('{');
    while (!cursor_.AtPunct('}')) {
      const Token symbol = cursor_.ExpectIdentifier();
      cursor_.ExpectPunct(';');
      entries.push_back(SymbolEntry{symbol.text, symbol.line, 0, {}});
    }
    cursor_.Next();
  }

  Flag ParseFlag() {
    const Token key = cursor_.ExpectIdentifier();
    Flag flag{key.text, std::nullopt, key.line};
    if (IsFlagValue(cursor_.Peek())) flag.value = cursor_.Next().text;
    cursor_.ExpectPunct(';');
    return flag;
  }

  TokenCursor cursor_;
  Description description_;
};

}  // namespace
}  // namespace detail

Result<Description> ParseDescription(std::string_view text, const std::string& fileName) {
  return detail::RunParser<Description>(
      fileName, [&](std::vector<std::string>&) { return detail::DescriptionParser(text).Parse(); });
}

}  // namespace tess::resources
