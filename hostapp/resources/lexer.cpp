#include "hostapp/resources/lexer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tess::resources::detail {
namespace {

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsIdentChar(char c) {
  return IsIdentStart(c) || IsDigit(c);
}

// Length of the well-formed UTF-8 sequence at pos (1 for ASCII), 0 if the
// bytes there are not one (stray continuation, overlong form, surrogate,
// beyond U+10FFFF or cut short).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - pos < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

bool IsIntegerText(std::string_view s) {
  std::size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i)
    if (!IsDigit(s[i])) return false;
  return true;
}

// [+-] (digits [. digits] | . digits) [(e|E) [+-] digits]
bool IsRealText(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == s.size();
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // editors may prepend a BOM
  }

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    for (;;) {
      Token token = NextToken();
      const bool last = token.kind == TokenKind::End || token.kind == TokenKind::Error;
      tokens.push_back(std::move(token));
      if (last) return tokens;
    }
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Current() const { return text_[pos_]; }
  char Following() const { return pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0'; }

  // The end of a file that closes with a newline lies on that newline's line,
  // not on an empty line after it.
  int LastLine() const { return (!text_.empty() && text_.back() == '\n') ? line_ - 1 : line_; }

  static Token Make(TokenKind kind, std::string text, int line) { return Token{kind, std::move(text), line}; }
  Token Fail(std::string reason) const { return Make(TokenKind::Error, std::move(reason), line_); }

  // Skips whitespace and comments; returns an error reason or an empty string.
  std::string SkipTrivia() {
    while (!AtEnd()) {
      const char c = Current();
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && Following() == '/') {
        if (auto error = SkipLineComment(); !error.empty()) return error;
      } else if (c == '/' && Following() == '*') {
        if (auto error = SkipBlockComment(); !error.empty()) return error;
      } else {
        break;
      }
    }
    return {};
  }

  // Comments are not interpreted, but their bytes must still be UTF-8.
  std::string SkipUtf8Char() {
    const std::size_t length = Utf8SequenceLength(text_, pos_);
    if (length == 0) return "invalid UTF-8";
    pos_ += length;
    return {};
  }

  std::string SkipLineComment() {
    pos_ += 2;
    while (!AtEnd() && Current() != '\n')
      if (auto error = SkipUtf8Char(); !error.empty()) return error;
    return {};
  }

  std::string SkipBlockComment() {
    const int startLine = line_;
    pos_ += 2;
    while (!AtEnd()) {
      if (Current() == '*' && Following() == '/') {
        pos_ += 2;
        return {};
      }
      if (Current() == '\n') ++line_;
      if (auto error = SkipUtf8Char(); !error.empty()) return error;
    }
    line_ = startLine;  // point at the comment that never ends, not at the file's end
    return "unterminated comment";
  }

  Token NextToken() {
    if (auto error = SkipTrivia(); !error.empty()) return Fail(error);
    if (AtEnd()) return Make(TokenKind::End, {}, LastLine());
    const char c = Current();
    if (IsIdentStart(c)) return LexIdentifier();
    if (IsDigit(c) || ((c == '-' || c == '+' || c == '.') && (IsDigit(Following()) || Following() == '.')))
      return LexNumber();
    if (c == '"') return LexString();
    if (c == '{' || c == '}' || c == ';' || c == '=' || c == ',') {
      ++pos_;
      return Make(TokenKind::Punct, std::string(1, c), line_);
    }
    return UnexpectedCharacter();
  }

  Token UnexpectedCharacter() const {
    const auto byte = static_cast<unsigned char>(Current());
    if (byte >= 0x80 && Utf8SequenceLength(text_, pos_) == 0) return Fail("invalid UTF-8");
    if (byte >= 0x21 && byte < 0x7F) return Fail(std::string("unexpected character '") + Current() + "'");
    static const char hex[] = "0123456789ABCDEF";
    return Fail(std::string("unexpected byte 0x") + hex[byte >> 4] + hex[byte & 0xF]);
  }

  Token LexIdentifier() {
    const std::size_t start = pos_;
    while (!AtEnd() && IsIdentChar(Current())) ++pos_;
    if (pos_ - start > maxTokenLength) return Fail("token too long");
    return Make(TokenKind::Identifier, std::string(text_.substr(start, pos_ - start)), line_);
  }

  // Takes the whole run of characters that could belong to a number, so
  // that "12abc" is one bad number rather than a number and a name.
  Token LexNumber() {
    const std::size_t start = pos_;
    ++pos_;
    while (!AtEnd()) {
      const char c = Current();
      const char previous = text_[pos_ - 1];
      const bool exponentSign = (c == '+' || c == '-') && (previous == 'e' || previous == 'E');
      if (!IsIdentChar(c) && c != '.' && !exponentSign) break;
      ++pos_;
    }
    if (pos_ - start > maxTokenLength) return Fail("token too long");
    const std::string_view word = text_.substr(start, pos_ - start);
    if (IsIntegerText(word)) return CheckedInteger(word);
    if (IsRealText(word)) return CheckedReal(word);
    return Fail("invalid number " + std::string(word));
  }

  Token CheckedInteger(std::string_view word) const {
    const std::string_view digits = word[0] == '+' ? word.substr(1) : word;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return Fail("number out of range");
    return Make(TokenKind::Integer, std::string(word), line_);
  }

  Token CheckedReal(std::string_view word) const {
    const std::string_view digits = word[0] == '+' ? word.substr(1) : word;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
      return Fail("number out of range");
    return Make(TokenKind::Real, std::string(word), line_);
  }

  Token LexString() {
    const std::size_t start = pos_;
    ++pos_;
    std::string decoded;
    while (!AtEnd()) {
      if (pos_ - start > maxTokenLength) return Fail("token too long");
      const char c = Current();
      if (c == '"') {
        ++pos_;
        return Make(TokenKind::String, std::move(decoded), line_);
      }
      if (c == '\n') break;  // a string never spans lines
      if (c == '\\') {
        if (auto error = AppendEscape(decoded); !error.empty()) return Fail(error);
        continue;
      }
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 && c != '\t') return Fail("control character in string");
      const std::size_t length = Utf8SequenceLength(text_, pos_);
      if (length == 0) return Fail("invalid UTF-8");
      decoded.append(text_.substr(pos_, length));
      pos_ += length;
    }
    return Fail("unterminated string");
  }

  std::string AppendEscape(std::string& decoded) {
    if (pos_ + 1 >= text_.size()) return "unterminated string";
    const char escaped = text_[pos_ + 1];
    if (escaped == '"' || escaped == '\\') {
      decoded += escaped;
    } else if (escaped == 'n') {
      decoded += '\n';
    } else if (escaped == '\n') {
      return "unterminated string";
    } else {
      return "invalid escape sequence";
    }
    pos_ += 2;
    return {};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
  return Lexer(text).Run();
}

}  // namespace tess::resources::detail
