#include "hostapp/resources/token_cursor.h"

#include <algorithm>

namespace tess::resources::detail {

TokenCursor::TokenCursor(std::string_view text) : tokens_(Tokenize(text)) {}

const Token& TokenCursor::Peek(std::size_t ahead) const {
  // The list ends in End or Error, so clamping there never walks past it.
  const std::size_t index = std::min(pos_ + ahead, tokens_.size() - 1);
  const Token& token = tokens_[index];
  if (token.kind == TokenKind::Error) throw ParseError(token.line, token.text);
  return token;
}

Token TokenCursor::Next() {
  Token token = Peek();
  if (token.kind != TokenKind::End) ++pos_;
  return token;
}

bool TokenCursor::AtPunct(char punct, std::size_t ahead) const {
  const Token& token = Peek(ahead);
  return token.kind == TokenKind::Punct && token.text[0] == punct;
}

bool TokenCursor::AtIdentifier(std::size_t ahead) const {
  return Peek(ahead).kind == TokenKind::Identifier;
}

bool TokenCursor::AtKeyword(std::string_view keyword) const {
  return AtIdentifier() && Peek().text == keyword;
}

bool TokenCursor::AtEnd() const {
  return Peek().kind == TokenKind::End;
}

void TokenCursor::ExpectPunct(char punct) {
  if (!AtPunct(punct)) FailExpected(Peek(), std::string("expected '") + punct + "'");
  Next();
}

void TokenCursor::ExpectKeyword(std::string_view keyword) {
  if (AtKeyword(keyword)) {
    Next();
    return;
  }
  if (AtIdentifier()) Fail(Peek(), "unknown keyword " + Peek().text);
  FailExpected(Peek(), "expected " + std::string(keyword));
}

void TokenCursor::ExpectEnd() const {
  if (!AtEnd()) Fail(Peek(), "expected end of file");
}

Token TokenCursor::ExpectIdentifier() {
  if (!AtIdentifier()) FailExpected(Peek(), "expected identifier");
  return Next();
}

Token TokenCursor::ExpectString() {
  if (Peek().kind != TokenKind::String) FailExpected(Peek(), "expected string");
  return Next();
}

Token TokenCursor::ExpectInteger() {
  if (Peek().kind != TokenKind::Integer) FailExpected(Peek(), "expected integer");
  return Next();
}

// The parsers fail through their cursor; both failures stay members for them.
// NOLINTNEXTLINE(readability-convert-member-functions-to-static)
void TokenCursor::Fail(const Token& at, const std::string& reason) const {
  throw ParseError(at.line, reason);
}

// NOLINTNEXTLINE(readability-convert-member-functions-to-static)
void TokenCursor::FailExpected(const Token& at, const std::string& expectation) const {
  Fail(at, at.kind == TokenKind::End ? "unexpected end of file" : expectation);
}

std::string Warning(const std::string& fileName, int line, const std::string& text) {
  return fileName + ":" + std::to_string(line) + ": " + text;
}

}  // namespace tess::resources::detail
