// Refused parameter edits over the API: worded for someone at the panel (the
// parameter's label, the range in its unit) and leaving every value as it was.
#include <fstream>
#include <map>
#include <sstream>

#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;

const char* const softEdgePanel = "/api/panel?object=2&channel=normal";

// Every parameter's value in a panel answer, by symbol, at any depth.
void CollectValues(const Json& elements, std::map<std::string, Json>& values) {
  for (const Json& e : elements) {
    if (e.value("kind", "") == "param") values[e["symbol"].get<std::string>()] = e["value"];
    if (e.contains("elements")) CollectValues(e["elements"], values);
  }
}

Json Edit(const std::string& symbol, const Json& value) {
  return {{"object", softEdges}, {"channel", "normal"}, {"symbol", symbol}, {"value", value}};
}

struct Refusal {
  const char* symbol;
  Json value;
  const char* message;
};

class WebRefusal : public WebTest {
 protected:
  std::map<std::string, Json> PanelValues() {
    std::map<std::string, Json> values;
    CollectValues(GetJson(softEdgePanel)["elements"], values);
    return values;
  }

  // Each value gets exactly its message, and afterwards no value has moved.
  void ExpectRefused(const std::vector<Refusal>& refusals) {
    const auto before = PanelValues();
    ASSERT_FALSE(before.empty());
    for (const Refusal& r : refusals) {
      const Json answer = PostJson("/api/param", Edit(r.symbol, r.value), 400);
      EXPECT_EQ(answer.value("error", ""), r.message) << r.symbol << " = " << r.value.dump();
    }
    EXPECT_EQ(PanelValues(), before);
  }
};

TEST_F(WebRefusal, NumbersFlagsAndChoicesAreRefusedByLabelWithTheRangeInTheirUnit) {
  ExpectRefused({
      {"SOFTEDGE_RADIUS", -1, "Radius must be at least 0 m"},
      {"SOFTEDGE_RADIUS", -0.001, "Radius must be at least 0 m"},
      {"SOFTEDGE_ANGLE_MAX", 200, "Maximum Angle must be between 0° and 180°"},
      {"SOFTEDGE_ANGLE_MIN", -0.5, "Minimum Angle must be between 0° and 180°"},
      {"SOFTEDGE_SAMPLES", 0, "Samples must be between 1 and 256"},
      {"SOFTEDGE_SAMPLES", 257, "Samples must be between 1 and 256"},
      {"SOFTEDGE_SAMPLES", 2.5, "Samples must be a whole number"},
      {"SOFTEDGE_RADIUS", "wide", "Radius must be a number"},
      // Text stays text, even when it reads as a number.
      {"SOFTEDGE_RADIUS", "0.5", "Radius must be a number"},
      {"SOFTEDGE_ANGLE_MAX", nullptr, "Maximum Angle must be a number"},
      {"SOFTEDGE_METHOD", 7, "Method must be one of Edges, Sampling"},
      {"SOFTEDGE_METHOD", "SOFTEDGE_METHOD_NONE", "Method must be one of Edges, Sampling"},
      {"SOFTEDGE_EDGE_TYPE", true, "Edge Type must be one of All, Concave, Convex"},
      {"SOFTEDGE_USE_SELECTION", 1, "Use Edge Selection must be true or false"},
  });
}

TEST_F(WebRefusal, ARefusalAmongSeveralValuesKeepsTheGoodOnesOut) {
  const auto before = PanelValues();
  const Json edit = {{"object", softEdges},
                     {"channel", "normal"},
                     {"params", {{"SOFTEDGE_ANGLE_MIN", 10}, {"SOFTEDGE_SAMPLES", 300}}}};
  EXPECT_EQ(PostJson("/api/param", edit, 400)["error"], "Samples must be between 1 and 256");
  EXPECT_EQ(PanelValues(), before);
}

TEST_F(WebRefusal, TheBoundsThemselvesAndCycleEntriesAreTaken) {
  // Samples shows (and so reads back) with the sampling method only.
  const std::pair<const char*, Json> taken[] = {
      {"SOFTEDGE_METHOD", 0},      {"SOFTEDGE_RADIUS", 0},    {"SOFTEDGE_ANGLE_MAX", 180},
      {"SOFTEDGE_ANGLE_MIN", 0.0}, {"SOFTEDGE_SAMPLES", 256}, {"SOFTEDGE_METHOD", "SOFTEDGE_METHOD_SAMPLING"}};
  for (const auto& [symbol, value] : taken) PostJson("/api/param", Edit(symbol, value));
  const auto values = PanelValues();
  EXPECT_EQ(values.at("SOFTEDGE_RADIUS"), 0.0);
  EXPECT_EQ(values.at("SOFTEDGE_ANGLE_MAX"), 180.0);
  EXPECT_EQ(values.at("SOFTEDGE_SAMPLES"), 256);
  EXPECT_EQ(values.at("SOFTEDGE_METHOD"), 1);
}

// Soft Edge's description with Radius a percentage and Samples bounded only
// above, registered in place of the module's before the server starts.
class WebRefusalOtherUnits : public WebRefusal {
 protected:
  void BeforeServing() override {
    folder = fs::temp_directory_path() / ("tessaline-units-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy(fs::canonical(fs::path(TESSALINE_MODULE).parent_path() / "res"), folder / "res",
             fs::copy_options::recursive);
    const fs::path res = folder / "res" / "description" / "xsoftedge.res";
    Replace(res, "REAL SOFTEDGE_RADIUS { UNIT METER; MIN 0.0;",
            "REAL SOFTEDGE_RADIUS { UNIT PERCENT; MIN 0.0; MAX 100.0;");
    Replace(res, "LONG SOFTEDGE_SAMPLES { MIN 1; MAX 256; }", "LONG SOFTEDGE_SAMPLES { MAX 256; }");
    const HostPlugin* plugin = host::Services().registry.FindShader("SoftEdge");
    ASSERT_NE(plugin, nullptr);
    const HostResource resource{folder.string(), {}};
    ASSERT_TRUE(host::Services().descriptions.Register(plugin->id, "xsoftedge", &resource));
  }

  void TearDown() override {
    WebRefusal::TearDown();
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  static void Replace(const fs::path& file, const std::string& from, const std::string& to) {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    std::string edited = text.str();
    const size_t at = edited.find(from);
    ASSERT_NE(at, std::string::npos) << file << " no longer holds " << from;
    edited.replace(at, from.size(), to);
    std::ofstream(file, std::ios::trunc) << edited;
  }

  fs::path folder;
};

TEST_F(WebRefusalOtherUnits, PercentagesAndALoneMaximumAreWordedTooInThePanelsScale) {
  ExpectRefused({
      {"SOFTEDGE_RADIUS", 100.5, "Radius must be between 0 % and 100 %"},
      {"SOFTEDGE_RADIUS", -1, "Radius must be between 0 % and 100 %"},
      {"SOFTEDGE_SAMPLES", 300, "Samples must be at most 256"},
  });
  // The message's numbers are the ones the panel shows and takes.
  const Json panel = PostJson("/api/param", Edit("SOFTEDGE_RADIUS", 50));
  std::map<std::string, Json> values;
  CollectValues(panel["elements"], values);
  EXPECT_EQ(values.at("SOFTEDGE_RADIUS"), 50.0);
}

}  // namespace
}  // namespace tess::test
