// Loading a module folder: symbols, labels and IDs resolved across files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hostapp/resources/resource_reader.h"

namespace tess::resources {
namespace {

namespace fs = std::filesystem;

// A throwaway module folder with a res/ tree, removed after each test.
class ModuleFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / (std::string("tess_res_") + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "res" / "description");
    fs::create_directories(root_ / "res" / "strings_us" / "description");
  }
  void TearDown() override { fs::remove_all(root_); }

  // relative uses '/'; the path is built component by component, as the loader builds it.
  fs::path Write(const std::string& relative, const std::string& text) {
    fs::path file = root_ / "res" / fs::path(relative).make_preferred();
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

  // A small valid description "xtest"; tests override one of its files.
  void WriteDescription(const std::string& res) {
    Write("description/xtest.res", res);
    Write("description/xtest.h", "enum { T_A = 1003, T_B, T_C = 2000, T_B_ONE = 0, T_B_TWO };");
    Write("strings_us/description/xtest.str",
          "STRINGTABLE Xtest { Xtest \"Test\"; T_A \"Alpha\" \"A\"; T_B \"Beta\"; T_C \"Group\";\n"
          "T_B_ONE \"One\"; T_B_TWO \"Two\"; }");
  }

  fs::path root_;
};

TEST_F(ModuleFolder, GlobalStringsResolveThroughSymbols) {
  Write("c4d_symbols.h", "enum { IDS_A = 10001, IDS_B, IDS_C = 10001 };");
  const fs::path strings = Write("strings_us/c4d_strings.str",
                                 "STRINGTABLE {\n IDS_B \"b\";\n IDS_A \"a\";\n IDS_C \"c\";\n IDS_A \"again\";\n}");
  auto loaded = LoadModuleStrings(root_);
  ASSERT_TRUE(loaded) << loaded.error;
  const ModuleStrings expected{{10001, "a"}, {10002, "b"}};
  EXPECT_EQ(*loaded.value, expected);
  // IDS_C shares 10001 with the earlier IDS_A; both repeats keep the first text.
  ASSERT_EQ(loaded.warnings.size(), 2u);
  EXPECT_EQ(loaded.warnings[0], strings.string() + ":5: duplicate string ID IDS_A");
  EXPECT_EQ(loaded.warnings[1], strings.string() + ":4: duplicate string ID IDS_C");
}

TEST_F(ModuleFolder, GlobalStringWithUnknownSymbolFails) {
  Write("c4d_symbols.h", "enum { IDS_A = 10001 };");
  const fs::path strings = Write("strings_us/c4d_strings.str", "STRINGTABLE {\n IDS_A \"a\";\n IDS_X \"x\";\n}");
  auto loaded = LoadModuleStrings(root_);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(loaded.error, strings.string() + ":3: unknown symbol IDS_X");
}

TEST_F(ModuleFolder, MissingFileIsNamed) {
  Write("c4d_symbols.h", "enum { IDS_A = 10001 };");
  auto loaded = LoadModuleStrings(root_);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(loaded.error, (root_ / "res" / "strings_us" / "c4d_strings.str").string() + ": cannot open the file");
}

TEST_F(ModuleFolder, DescriptionResolvesIdsLabelsAndCycles) {
  WriteDescription(
      "CONTAINER Xtest { NAME Xtest; INCLUDE Mpreview; INCLUDE Xbase;\n"
      "GROUP ID_SHADERPROPERTIES {\n"
      "  REAL T_A { MIN 0; }\n"
      "  SEPARATOR { }\n"
      "  GROUP T_C { LONG T_B { CYCLE { T_B_ONE; T_B_TWO; } } }\n"
      "} }");
  auto loaded = LoadDescription(root_, "xtest");
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_TRUE(loaded.warnings.empty());
  const Description& d = *loaded.value;
  EXPECT_EQ(d.title, "Test");
  EXPECT_EQ(d.items.at(0).id, HostSymbols().at("ID_SHADERPROPERTIES"));
  EXPECT_FALSE(d.items[0].children.at(1).id.has_value());  // anonymous separator

  const Element* a = d.FindById(1003);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->symbol, "T_A");
  EXPECT_EQ(a->longLabel, "Alpha");
  EXPECT_EQ(a->shortLabel, "A");

  const Element* b = d.FindBySymbol("T_B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->id, 1004);
  EXPECT_EQ(b->shortLabel, "Beta");  // without a short text the long one serves
  ASSERT_EQ(b->cycle.size(), 2u);
  EXPECT_EQ(b->cycle[1].value, 1);
  EXPECT_EQ(b->cycle[1].label, "Two");
  EXPECT_EQ(d.FindById(2000), d.FindBySymbol("T_C"));
  EXPECT_EQ(d.FindById(1005), nullptr);
}

TEST_F(ModuleFolder, DescriptionFaultsPointIntoTheResFile) {
  const std::string resFile = (root_ / "res" / "description" / "xtest.res").string();
  const struct {
    const char* res;
    std::string expected;
  } cases[] = {
      {"CONTAINER Xtest {\n LONG T_A { }\n LONG T_Z { }\n}", resFile + ":3: unknown symbol T_Z"},
      {"CONTAINER Xtest { LONG T_B { CYCLE {\n T_B_ONE; T_B_THREE; } } }", resFile + ":2: unknown symbol T_B_THREE"},
      {"CONTAINER Xtest { GROUP T_C {\n LONG T_A { }\n REAL T_A { } } }",
       resFile + ":3: duplicate ID 1003 of T_A and T_A"},
      {"CONTAINER Xtest {\n INCLUDE Ofancy;\n}", resFile + ":2: unknown include Ofancy"},
      {"CONTAINER\nXother { }", resFile + ":2: description Xother does not match file name xtest"},
      {"CONTAINER Xtest { LONG T_A { } ", resFile + ":1: unexpected end of file"},
  };
  for (const auto& bad : cases) {
    WriteDescription(bad.res);
    auto loaded = LoadDescription(root_, "xtest");
    EXPECT_FALSE(loaded) << bad.res;
    EXPECT_EQ(loaded.error, bad.expected);
  }
}

TEST_F(ModuleFolder, MissingLabelWarnsButLoads) {
  WriteDescription("CONTAINER Xtest { LONG T_A { } }");
  Write("strings_us/description/xtest.str", "STRINGTABLE Xtest { Xtest \"Test\"; }");
  auto loaded = LoadDescription(root_, "xtest");
  ASSERT_TRUE(loaded) << loaded.error;
  ASSERT_EQ(loaded.warnings.size(), 1u);
  EXPECT_NE(loaded.warnings[0].find(":1: no label for T_A"), std::string::npos) << loaded.warnings[0];
}

}  // namespace
}  // namespace tess::resources
