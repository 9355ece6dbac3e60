// Tokens of the resource format. Internal to the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tess::resources::detail {

// Limits that keep hostile input from exhausting memory or the stack.
constexpr std::size_t maxTokenLength = 1024;
constexpr int maxNestingDepth = 32;
constexpr std::uintmax_t maxFileSize = std::uintmax_t{16} * 1024 * 1024;

enum class TokenKind { Identifier, Integer, Real, String, Punct, End, Error };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // identifier, decoded string, number as written, punct char or error reason
  int line = 1;
};

// Splits the whole text. The list always ends with one End or Error token, so
// a lexical error surfaces only when the parser reaches it and the first fault
// in the file is the one reported.
std::vector<Token> Tokenize(std::string_view text);

// Thrown inside the parsers only; the public functions turn it into a result.
struct ParseError : std::runtime_error {
  ParseError(int errorLine, const std::string& reason) : std::runtime_error(reason), line(errorLine) {}
  int line;
};

}  // namespace tess::resources::detail
