// The module's own res/ folder: every parameter the shaders read is declared
// with the ID, type, unit and cycle values the shader code relies on.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hostapp/resources/resource_reader.h"

namespace tess::resources {
namespace {

const char* const moduleFolder = TESSALINE_SOURCE_DIR;

struct Parameter {
  const char* symbol;
  std::int32_t id;
  ElementType type;
};

Description Load(const std::string& name) {
  auto loaded = LoadDescription(moduleFolder, name);
  EXPECT_TRUE(loaded) << loaded.error;
  EXPECT_TRUE(loaded.warnings.empty()) << loaded.warnings.front();
  return loaded ? *loaded.value : Description{};
}

void ExpectParameters(const Description& d, const std::vector<Parameter>& parameters) {
  for (const Parameter& p : parameters) {
    const Element* element = d.FindById(p.id);
    ASSERT_NE(element, nullptr) << p.symbol;
    EXPECT_EQ(element->symbol, p.symbol);
    EXPECT_EQ(element->type, p.type) << p.symbol << " is " << ElementTypeName(element->type);
    EXPECT_FALSE(element->longLabel.empty()) << p.symbol;
  }
}

void ExpectAngle(const Description& d, const char* symbol) {
  const Element* e = d.FindBySymbol(symbol);
  ASSERT_NE(e, nullptr) << symbol;
  EXPECT_EQ(e->FlagText("UNIT"), "DEGREE") << symbol;
  EXPECT_EQ(e->FlagNumber("MIN"), 0.0) << symbol;
  EXPECT_EQ(e->FlagNumber("MAX"), 180.0) << symbol;
}

void ExpectCycle(const Description& d, const char* symbol, const std::vector<std::pair<std::string, int>>& values) {
  const Element* e = d.FindBySymbol(symbol);
  ASSERT_NE(e, nullptr) << symbol;
  ASSERT_EQ(e->cycle.size(), values.size()) << symbol;
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(e->cycle[i].symbol, values[i].first);
    EXPECT_EQ(e->cycle[i].value, values[i].second) << values[i].first;
    EXPECT_FALSE(e->cycle[i].label.empty()) << values[i].first;
  }
}

// The title bar comes first in the shader's own group and uses the custom GUI.
void ExpectTitleBarFirst(const Description& d, const char* symbol) {
  ASSERT_EQ(d.items.size(), 1u);
  const Element& main = d.items[0];
  EXPECT_EQ(main.symbol, "ID_SHADERPROPERTIES");
  ASSERT_FALSE(main.children.empty());
  const Element& bar = main.children[0];
  EXPECT_EQ(bar.symbol, symbol);
  EXPECT_EQ(bar.id, 1000);
  EXPECT_EQ(bar.type, ElementType::String);
  EXPECT_EQ(bar.FlagText("CUSTOMGUI"), "TESSALINE_TITLEBAR");
  EXPECT_EQ(bar.FlagText("ANIM"), "OFF");
}

std::vector<std::string> ChildSymbols(const Element& group) {
  std::vector<std::string> symbols;
  for (const Element& child : group.children) symbols.push_back(child.symbol);
  return symbols;
}

TEST(ProjectResources, GlobalStringsNameBothShaders) {
  auto strings = LoadModuleStrings(moduleFolder);
  ASSERT_TRUE(strings) << strings.error;
  EXPECT_TRUE(strings.warnings.empty());
  EXPECT_EQ(strings.value->at(10001), "Soft Edge");
  EXPECT_EQ(strings.value->at(10002), "Draw Edge");
}

TEST(ProjectResources, SoftEdgeDeclaresEveryParameter) {
  const Description d = Load("xsoftedge");
  EXPECT_EQ(d.title, "Soft Edge");
  ExpectTitleBarFirst(d, "SOFTEDGE_TITLEBAR");
  ExpectParameters(d, {
                          {"SOFTEDGE_ANGLE_MIN", 1003, ElementType::Real},
                          {"SOFTEDGE_ANGLE_MAX", 1004, ElementType::Real},
                          {"SOFTEDGE_RADIUS", 1005, ElementType::Real},
                          {"SOFTEDGE_PROFILE", 1006, ElementType::Spline},
                          {"SOFTEDGE_USE_SELECTION", 1007, ElementType::Bool},
                          {"SOFTEDGE_SELECTION_MODE", 1008, ElementType::Long},
                          {"SOFTEDGE_EDGE_TYPE", 1009, ElementType::Long},
                          {"SOFTEDGE_METHOD", 1010, ElementType::Long},
                          {"SOFTEDGE_SAMPLES", 1011, ElementType::Long},
                          {"SOFTEDGE_SAME_OBJECT", 1012, ElementType::Bool},
                          {"SOFTEDGE_GROUP_EDGE", 2000, ElementType::Group},
                          {"SOFTEDGE_GROUP_SAMPLING", 2001, ElementType::Group},
                      });
  ExpectAngle(d, "SOFTEDGE_ANGLE_MIN");
  ExpectAngle(d, "SOFTEDGE_ANGLE_MAX");
  EXPECT_EQ(d.FindBySymbol("SOFTEDGE_RADIUS")->FlagNumber("MIN"), 0.0);
  EXPECT_EQ(d.FindBySymbol("SOFTEDGE_SAMPLES")->FlagNumber("MIN"), 1.0);
  EXPECT_EQ(d.FindBySymbol("SOFTEDGE_SAMPLES")->FlagNumber("MAX"), 256.0);

  ExpectCycle(d, "SOFTEDGE_SELECTION_MODE",
              {{"SOFTEDGE_SELECTION_MODE_ADD", 0},
               {"SOFTEDGE_SELECTION_MODE_EXCLUDE", 1},
               {"SOFTEDGE_SELECTION_MODE_ONLY", 2},
               {"SOFTEDGE_SELECTION_MODE_RESTRICT", 3}});
  ExpectCycle(d, "SOFTEDGE_EDGE_TYPE",
              {{"SOFTEDGE_EDGE_TYPE_ALL", 0}, {"SOFTEDGE_EDGE_TYPE_CONCAVE", 1}, {"SOFTEDGE_EDGE_TYPE_CONVEX", 2}});
  ExpectCycle(d, "SOFTEDGE_METHOD", {{"SOFTEDGE_METHOD_EDGES", 0}, {"SOFTEDGE_METHOD_SAMPLING", 1}});
}

// The shader hides one of these groups per method, so what sits inside them
// decides which controls disappear.
TEST(ProjectResources, SoftEdgeGroupsHoldOnlyTheirMethodsParameters) {
  const Description d = Load("xsoftedge");
  ASSERT_NE(d.FindById(2000), nullptr);
  ASSERT_NE(d.FindById(2001), nullptr);
  EXPECT_EQ(ChildSymbols(*d.FindById(2000)),
            (std::vector<std::string>{"SOFTEDGE_PROFILE", "SOFTEDGE_USE_SELECTION", "SOFTEDGE_SELECTION_MODE"}));
  EXPECT_EQ(ChildSymbols(*d.FindById(2001)), (std::vector<std::string>{"SOFTEDGE_SAMPLES", "SOFTEDGE_SAME_OBJECT"}));
}

TEST(ProjectResources, DrawEdgeDeclaresEveryParameter) {
  const Description d = Load("xdrawedge");
  EXPECT_EQ(d.title, "Draw Edge");
  ExpectTitleBarFirst(d, "DRAWEDGE_TITLEBAR");
  ExpectParameters(d, {
                          {"DRAWEDGE_ANGLE_MIN", 1003, ElementType::Real},
                          {"DRAWEDGE_ANGLE_MAX", 1004, ElementType::Real},
                          {"DRAWEDGE_WIDTH", 1005, ElementType::Real},
                          {"DRAWEDGE_BUMP_STEP", 1006, ElementType::Real},
                          {"DRAWEDGE_FALLOFF", 1007, ElementType::Spline},
                          {"DRAWEDGE_BORDER_EDGES", 1008, ElementType::Bool},
                          {"DRAWEDGE_USE_SELECTION", 1009, ElementType::Bool},
                          {"DRAWEDGE_SELECTION_MODE", 1010, ElementType::Long},
                          {"DRAWEDGE_EDGE_TYPE", 1011, ElementType::Long},
                          {"DRAWEDGE_USE_DISTORTION", 1012, ElementType::Bool},
                          {"DRAWEDGE_DISTORTION_SHADER", 1013, ElementType::ShaderLink},
                          {"DRAWEDGE_DISTORTION_STRENGTH", 1014, ElementType::Real},
                          {"DRAWEDGE_DISTORTION_OFFSET", 1015, ElementType::Real},
                          {"DRAWEDGE_GRADIENT", 1016, ElementType::Gradient},
                      });
  ExpectAngle(d, "DRAWEDGE_ANGLE_MIN");
  ExpectAngle(d, "DRAWEDGE_ANGLE_MAX");
  EXPECT_EQ(d.FindBySymbol("DRAWEDGE_WIDTH")->FlagNumber("MIN"), 0.0);
  EXPECT_EQ(d.FindBySymbol("DRAWEDGE_BUMP_STEP")->FlagNumber("MIN"), 0.0);

  ExpectCycle(d, "DRAWEDGE_SELECTION_MODE",
              {{"DRAWEDGE_SELECTION_MODE_ADD", 0},
               {"DRAWEDGE_SELECTION_MODE_EXCLUDE", 1},
               {"DRAWEDGE_SELECTION_MODE_ONLY", 2},
               {"DRAWEDGE_SELECTION_MODE_RESTRICT", 3}});
  ExpectCycle(d, "DRAWEDGE_EDGE_TYPE",
              {{"DRAWEDGE_EDGE_TYPE_ALL", 0}, {"DRAWEDGE_EDGE_TYPE_CONCAVE", 1}, {"DRAWEDGE_EDGE_TYPE_CONVEX", 2}});
}

}  // namespace
}  // namespace tess::resources
