// Well-formed input: what each file kind turns into.
#include <gtest/gtest.h>

#include "hostapp/resources/resource_reader.h"

namespace tess::resources {
namespace {

TEST(SymbolHeader, ValuesCountOnLikeCEnums) {
  auto symbols = ParseSymbols(
      "enum { A = 5, B, C = -2, D, };\n"
      "/* second */ enum { E, F = 2147483647 };",
      "s.h");
  ASSERT_TRUE(symbols) << symbols.error;
  const SymbolTable expected{{"A", 5}, {"B", 6}, {"C", -2}, {"D", -1}, {"E", 0}, {"F", 2147483647}};
  EXPECT_EQ(*symbols.value, expected);
}

TEST(SymbolHeader, EmptyFileHasNoSymbols) {
  auto symbols = ParseSymbols("// nothing here\n", "s.h");
  ASSERT_TRUE(symbols) << symbols.error;
  EXPECT_TRUE(symbols.value->empty());
}

TEST(StringTable, DecodesEscapesAndShortLabels) {
  auto table = ParseStringTable(
      "STRINGTABLE Xa\n"
      "{\n"
      "  Xa \"Title\";\n"
      "  A \"say \\\"hi\\\"\\\\ \\n\" \"Short\"; // trailing comment\n"
      "  B \"Gr\xC3\xBC\xC3\x9F"
      "e\";\n"
      "}\n",
      "t.str");
  ASSERT_TRUE(table) << table.error;
  EXPECT_EQ(table.value->name, "Xa");
  EXPECT_EQ(table.value->entries.at("Xa").longText, "Title");
  const StringEntry& a = table.value->entries.at("A");
  EXPECT_EQ(a.longText, "say \"hi\"\\ \n");
  EXPECT_EQ(a.shortText, "Short");
  EXPECT_EQ(a.line, 4);
  EXPECT_EQ(table.value->entries.at("B").longText,
            "Gr\xC3\xBC\xC3\x9F"
            "e");
  EXPECT_TRUE(table.warnings.empty());
}

TEST(StringTable, DuplicateIdWarnsAndFirstWins) {
  auto table = ParseStringTable("STRINGTABLE {\n  A \"first\";\n  B \"b\";\n  A \"second\";\n}", "g.str");
  ASSERT_TRUE(table) << table.error;
  EXPECT_EQ(table.value->entries.at("A").longText, "first");
  ASSERT_EQ(table.warnings.size(), 1u);
  EXPECT_EQ(table.warnings[0], "g.str:4: duplicate string ID A");
}

TEST(DescriptionTree, KeepsOrderFlagsAndNesting) {
  auto parsed = ParseDescription(
      "CONTAINER Xa {\n"
      "  NAME Xa; INCLUDE Xbase;\n"
      "  GROUP ID_SHADERPROPERTIES {\n"
      "    COLUMNS 2; DEFAULT 1;\n"
      "    REAL P { UNIT DEGREE; MIN -1.5e2; MAX 180; SCALE_H; }\n"
      "    SEPARATOR { LINE; }\n"
      "    GROUP { LONG Q { CYCLE { Q_A; Q_B; } } }\n"
      "    SHADERLINK S { ACCEPT { Xbase; } CUSTOMGUI \"quoted\"; }\n"
      "  }\n"
      "}\n",
      "d.res");
  ASSERT_TRUE(parsed) << parsed.error;
  const Description& d = *parsed.value;
  EXPECT_EQ(d.name, "Xa");
  EXPECT_EQ(d.nameRef, "Xa");
  ASSERT_EQ(d.includes.size(), 1u);
  EXPECT_EQ(d.includes[0].name, "Xbase");
  ASSERT_EQ(d.items.size(), 1u);

  const Element& group = d.items[0];
  EXPECT_EQ(group.type, ElementType::Group);
  ASSERT_EQ(group.flags.size(), 2u);
  EXPECT_EQ(group.flags[0].key, "COLUMNS");
  EXPECT_EQ(group.flags[0].value, "2");
  ASSERT_EQ(group.children.size(), 4u);

  const Element& p = group.children[0];
  EXPECT_EQ(p.type, ElementType::Real);
  EXPECT_EQ(p.line, 5);
  EXPECT_EQ(p.FlagText("UNIT"), "DEGREE");
  EXPECT_EQ(p.FlagNumber("MIN"), -150.0);
  EXPECT_EQ(p.FlagNumber("MAX"), 180.0);
  EXPECT_TRUE(p.HasFlag("SCALE_H"));
  EXPECT_FALSE(p.FlagText("SCALE_H").has_value());
  EXPECT_FALSE(p.FlagNumber("UNIT").has_value());

  EXPECT_EQ(group.children[1].type, ElementType::Separator);
  EXPECT_TRUE(group.children[1].symbol.empty());

  const Element& inner = group.children[2];
  EXPECT_TRUE(inner.symbol.empty());
  ASSERT_EQ(inner.children.size(), 1u);
  ASSERT_EQ(inner.children[0].cycle.size(), 2u);
  EXPECT_EQ(inner.children[0].cycle[1].symbol, "Q_B");

  const Element& s = group.children[3];
  EXPECT_EQ(s.type, ElementType::ShaderLink);
  ASSERT_EQ(s.accept.size(), 1u);
  EXPECT_EQ(s.FlagText("CUSTOMGUI"), "quoted");

  EXPECT_EQ(d.FindBySymbol("Q"), inner.children.data());
  EXPECT_EQ(d.FindBySymbol(""), nullptr);
  EXPECT_EQ(d.FindBySymbol("Q_A"), nullptr);  // cycle values are not elements
}

}  // namespace
}  // namespace tess::resources
