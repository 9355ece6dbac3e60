// Malformed input: each fault yields exactly one "file:line: reason" and no
// value, whatever the bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "hostapp/resources/resource_reader.h"

namespace tess::resources {
namespace {

enum class Kind { Symbols, Strings, Description };

std::string ErrorOf(Kind kind, std::string_view text) {
  switch (kind) {
    case Kind::Symbols: {
      auto r = ParseSymbols(text, "f");
      return r ? "" : r.error;
    }
    case Kind::Strings: {
      auto r = ParseStringTable(text, "f");
      return r ? "" : r.error;
    }
    case Kind::Description: {
      auto r = ParseDescription(text, "f");
      return r ? "" : r.error;
    }
  }
  return "";
}

struct BadInput {
  const char* what;
  Kind kind;
  std::string text;
  const char* expected;
};

std::string Nested(int groups) {
  std::string text = "CONTAINER X {\n";
  for (int i = 0; i < groups; ++i) text += "GROUP {\n";
  for (int i = 0; i < groups; ++i) text += "}\n";
  return text + "}\n";
}

TEST(MalformedInput, EachFaultNamesFileLineAndReason) {
  const std::string longName(1025, 'A');
  const std::string longText(1100, 'x');
  const BadInput cases[] = {
      {"truncated description", Kind::Description, "CONTAINER X {\n GROUP G {\n LONG A { MIN 0;",
       "f:3: unexpected end of file"},
      {"truncated enum", Kind::Symbols, "enum { A = 1,\n B", "f:2: unexpected end of file"},
      {"empty description", Kind::Description, "", "f:1: unexpected end of file"},
      {"missing semicolon after enum", Kind::Symbols, "enum { A = 1 }\n", "f:1: unexpected end of file"},
      {"extra closing brace", Kind::Description, "CONTAINER X { }\n}", "f:2: expected end of file"},
      {"missing opening brace", Kind::Description, "CONTAINER X\nNAME X;\n}", "f:2: expected '{'"},
      {"missing string semicolon", Kind::Strings, "STRINGTABLE {\n A \"a\"\n B \"b\"; }", "f:3: expected ';'"},
      {"flag with two values", Kind::Description, "CONTAINER X { LONG A {\nMIN 0 1; } }", "f:2: expected ';'"},
      {"element without symbol", Kind::Description, "CONTAINER X {\nLONG { } }", "f:2: expected identifier"},
      {"string entry without text", Kind::Strings, "STRINGTABLE {\n A;\n}", "f:2: expected string"},
      {"real enum value", Kind::Symbols, "enum { A = 1.5 };", "f:1: expected integer"},
      {"unknown top-level keyword", Kind::Description, "CONTAINER X {\n  FOO A { }\n}", "f:2: unknown keyword FOO"},
      {"misspelt element type in group", Kind::Description, "CONTAINER X { GROUP {\nREALL A { } } }",
       "f:2: unknown keyword REALL"},
      {"unknown block inside element", Kind::Description, "CONTAINER X { LONG A {\n OPTIONS { B; } } }",
       "f:2: unknown keyword OPTIONS"},
      {"wrong file kind", Kind::Strings, "enum { A };", "f:1: unknown keyword enum"},
      {"overlong identifier", Kind::Symbols, "enum {\n" + longName + " };", "f:2: token too long"},
      {"overlong string", Kind::Strings, "STRINGTABLE {\n A \"" + longText + "\"; }", "f:2: token too long"},
      {"invalid byte in string", Kind::Strings, "STRINGTABLE {\n\n A \"a\xFF\"; }", "f:3: invalid UTF-8"},
      {"invalid byte in comment", Kind::Symbols, "// ok\n/* \xC3\x28 */ enum { A };", "f:2: invalid UTF-8"},
      {"overlong UTF-8 form", Kind::Strings, "STRINGTABLE { A \"\xC0\xAF\"; }", "f:1: invalid UTF-8"},
      {"UTF-16 surrogate", Kind::Strings, "STRINGTABLE { A \"\xED\xA0\x80\"; }", "f:1: invalid UTF-8"},
      {"sequence cut by end of file", Kind::Symbols, "enum { A };\n// \xE2\x82", "f:2: invalid UTF-8"},
      {"invalid byte between tokens", Kind::Symbols, "enum {\n\x80 A };", "f:2: invalid UTF-8"},
      {"unterminated block comment", Kind::Symbols, "enum { A };\n/* open\n\n", "f:2: unterminated comment"},
      {"string broken by newline", Kind::Strings, "STRINGTABLE {\n A \"abc\n\"; }", "f:2: unterminated string"},
      {"string cut by end of file", Kind::Strings, "STRINGTABLE { A \"abc\\", "f:1: unterminated string"},
      {"unknown escape", Kind::Strings, R"(STRINGTABLE { A "a\q"; })", "f:1: invalid escape sequence"},
      {"letters in a number", Kind::Description, "CONTAINER X { REAL A {\n MIN 12abc; } }",
       "f:2: invalid number 12abc"},
      {"exponent without digits", Kind::Description, "CONTAINER X { REAL A { MAX 1e; } }", "f:1: invalid number 1e"},
      {"integer beyond int32", Kind::Symbols, "enum { A = 2147483648 };", "f:1: number out of range"},
      {"integer below int32", Kind::Symbols, "enum { A = -2147483649 };", "f:1: number out of range"},
      {"implicit value beyond int32", Kind::Symbols, "enum { A = 2147483647,\n B };", "f:2: number out of range"},
      {"infinite real", Kind::Description, "CONTAINER X { REAL A { MAX 1e999; } }", "f:1: number out of range"},
      {"duplicate symbol", Kind::Symbols, "enum { A };\nenum { A = 3 };", "f:2: duplicate symbol A"},
      {"stray character", Kind::Symbols, "enum { A };\n#define B 1", "f:2: unexpected character '#'"},
      {"control byte", Kind::Symbols, std::string("enum {\0 A };", 12), "f:1: unexpected byte 0x00"},
      {"groups nested too deep", Kind::Description, Nested(33), "f:34: nesting too deep"},
      // The first fault in the file wins, even if a later one is lexical.
      {"earliest fault is reported", Kind::Symbols, "enum { A B };\n\n\"unterminated", "f:1: expected '}'"},
  };
  for (const BadInput& bad : cases) EXPECT_EQ(ErrorOf(bad.kind, bad.text), bad.expected) << bad.what;
}

TEST(MalformedInput, LimitsAreInclusive) {
  EXPECT_EQ(ErrorOf(Kind::Symbols, "enum { " + std::string(1024, 'A') + " };"), "");
  EXPECT_EQ(ErrorOf(Kind::Strings, "STRINGTABLE { A \"" + std::string(1020, 'x') + "\"; }"), "");
  EXPECT_EQ(ErrorOf(Kind::Description, Nested(32)), "");
  EXPECT_EQ(ErrorOf(Kind::Symbols, "enum { A = -2147483648 };"), "");
}

std::string ReadProjectFile(const std::string& relative) {
  std::ifstream in(std::string(TESSALINE_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every cut of a real file must fail cleanly: the file name, a line within
// the file and one reason, never a value from a half-read file.
TEST(MalformedInput, EveryTruncationOfARealFileFailsCleanly) {
  const std::string text = ReadProjectFile("res/description/xsoftedge.res");
  ASSERT_FALSE(text.empty());
  ASSERT_TRUE(ParseDescription(text, "x.res"));
  const std::size_t lastBrace = text.rfind('}');
  for (std::size_t cut = 0; cut <= lastBrace; ++cut) {
    const auto result = ParseDescription(std::string_view(text).substr(0, cut), "x.res");
    ASSERT_FALSE(result) << "cut at " << cut;
    ASSERT_EQ(result.error.rfind("x.res:", 0), 0u) << result.error;
  }
}

// A cheap stand-in for the fuzzer: corrupt single bytes of real files and
// insist on a clean answer (under ASan this also checks the reads).
TEST(MalformedInput, CorruptedBytesNeverCrash) {
  const std::string files[] = {"res/description/xdrawedge.res", "res/description/xdrawedge.h",
                               "res/strings_us/description/xdrawedge.str"};
  const char replacements[] = {'\0', '{', '}', ';', '"', '/', '*', '\\', '\xFF', '\xC3', '9', '-'};
  for (const std::string& file : files) {
    const std::string original = ReadProjectFile(file);
    ASSERT_FALSE(original.empty()) << file;
    std::uint32_t state = 12345;
    for (int round = 0; round < 400; ++round) {
      std::string text = original;
      state = state * 1664525u + 1013904223u;
      text[(state >> 8) % text.size()] = replacements[(state >> 24) % sizeof replacements];
      auto symbols = ParseSymbols(text, "f");
      auto strings = ParseStringTable(text, "f");
      auto description = ParseDescription(text, "f");
      for (const std::string* error : {&symbols.error, &strings.error, &description.error}) {
        if (!error->empty()) {
          EXPECT_EQ(error->rfind("f:", 0), 0u) << *error;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tess::resources
