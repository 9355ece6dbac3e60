// Walks a token list for the recursive-descent parsers. Every failing check
// throws ParseError with the line of the token at fault.
#pragma once

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "hostapp/resources/lexer.h"
#include "hostapp/resources/resource_reader.h"

namespace tess::resources::detail {

class TokenCursor {
 public:
  explicit TokenCursor(std::string_view text);

  // Looks ahead without consuming; a lexical error found there is raised.
  const Token& Peek(std::size_t ahead = 0) const;
  Token Next();

  bool AtPunct(char punct, std::size_t ahead = 0) const;
  bool AtIdentifier(std::size_t ahead = 0) const;
  bool AtKeyword(std::string_view keyword) const;
  bool AtEnd() const;

  void ExpectPunct(char punct);
  void ExpectKeyword(std::string_view keyword);
  void ExpectEnd() const;
  Token ExpectIdentifier();
  Token ExpectString();
  Token ExpectInteger();

  [[noreturn]] void Fail(const Token& at, const std::string& reason) const;
  // "unexpected end of file" at the end, otherwise the given complaint.
  [[noreturn]] void FailExpected(const Token& at, const std::string& expectation) const;

 private:
  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
};

// Runs a parser and turns its exceptions into the single diagnostic of a Result.
template <typename T, typename Parse>
Result<T> RunParser(const std::string& fileName, Parse&& parse) {
  Result<T> result;
  try {
    result.value = parse(result.warnings);
  } catch (const ParseError& error) {
    result.error = fileName + ":" + std::to_string(error.line) + ": " + error.what();
  } catch (const std::bad_alloc&) {
    result.error = fileName + ": out of memory";
  } catch (const std::exception& error) {
    result.error = fileName + ": " + error.what();
  }
  if (!result.error.empty()) result.value.reset();
  return result;
}

std::string Warning(const std::string& fileName, int line, const std::string& text);

}  // namespace tess::resources::detail
