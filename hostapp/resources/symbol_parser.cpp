#include <charconv>
#include <cstdint>
#include <limits>

#include "hostapp/resources/resource_reader.h"
#include "hostapp/resources/token_cursor.h"

namespace tess::resources {
namespace detail {
namespace {

std::int32_t IntegerValue(const Token& token) {
  const std::string_view digits = token.text[0] == '+' ? std::string_view(token.text).substr(1) : token.text;
  std::int32_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);  // range checked by the lexer
  return value;
}

// One "enum { A [= n], ... };". Values without "=" count on from the previous
// one, as in C.
void ParseEnum(TokenCursor& cursor, SymbolTable& symbols) {
  cursor.ExpectKeyword("enum");
  cursor.ExpectPunct('{');
  std::int64_t nextValue = 0;
  while (!cursor.AtPunct('}')) {  // allows a trailing comma
    const Token name = cursor.ExpectIdentifier();
    std::int64_t value = nextValue;
    if (cursor.AtPunct('=')) {
      cursor.Next();
      value = IntegerValue(cursor.ExpectInteger());
    } else if (value > std::numeric_limits<std::int32_t>::max()) {
      cursor.Fail(name, "number out of range");
    }
    if (!symbols.emplace(name.text, static_cast<std::int32_t>(value)).second)
      cursor.Fail(name, "duplicate symbol " + name.text);
    nextValue = value + 1;
    if (!cursor.AtPunct(',')) break;
    cursor.Next();
  }
  cursor.ExpectPunct('}');
  cursor.ExpectPunct(';');
}

}  // namespace
}  // namespace detail

Result<SymbolTable> ParseSymbols(std::string_view text, const std::string& fileName) {
  return detail::RunParser<SymbolTable>(fileName, [&](std::vector<std::string>&) {
    detail::TokenCursor cursor(text);
    SymbolTable symbols;
    while (!cursor.AtEnd()) detail::ParseEnum(cursor, symbols);
    return symbols;
  });
}

}  // namespace tess::resources
