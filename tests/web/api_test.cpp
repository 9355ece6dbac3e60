// The preview server's API: good answers, bad requests and the token.
#include <set>

#include "tests/web/web_fixture.h"
#include "tessaline_version.h"

namespace tess::test {
namespace {

// Parameters of a panel answer by symbol, found at any depth.
const Json* FindElement(const Json& elements, const std::string& symbol) {
  for (const Json& e : elements) {
    if (e.value("symbol", "") == symbol) return &e;
    if (e.contains("elements"))
      if (const Json* inner = FindElement(e["elements"], symbol)) return inner;
  }
  return nullptr;
}

Json Edit(int object, const std::string& symbol, const Json& value) {
  return {{"object", object}, {"channel", "normal"}, {"symbol", symbol}, {"value", value}};
}

using WebAccess = WebTest;

TEST_F(WebAccess, ApiRequestsNeedTheRunsTokenInAHeaderOrTheQuery) {
  EXPECT_EQ(client->Get("/api/scene")->status, 403);
  EXPECT_EQ(client->Get("/api/scene?token=" + std::string(token.size(), '0'))->status, 403);
  EXPECT_EQ(client->Get("/api/events?token=" + token.substr(1))->status, 403);
  EXPECT_EQ(client->Post("/api/view", R"({"width": 100, "height": 100})", "application/json")->status, 403);
  const Json refused = Json::parse(client->Get("/api/status")->body);
  EXPECT_EQ(refused["error"], "missing or wrong token");

  EXPECT_EQ(client->Get("/api/scene", {{"X-Tessaline-Token", token}})->status, 200);
  EXPECT_EQ(client->Get("/api/scene?token=" + token)->status, 200);
  // A cookie is sent by the browser to any page's request: it proves nothing.
  EXPECT_EQ(client->Get("/api/scene", {{"Cookie", "tessaline_token=" + token}})->status, 403);
}

TEST_F(WebAccess, ThePagesFilesCarryNoSecretAndNeedNone) {
  const auto page = client->Get("/");
  ASSERT_TRUE(page);
  ASSERT_EQ(page->status, 200);
  EXPECT_EQ(page->body.find(token), std::string::npos);
  EXPECT_FALSE(page->has_header("Set-Cookie"));
  EXPECT_EQ(page->get_header_value("Referrer-Policy"), "no-referrer");
  EXPECT_EQ(client->Get("/app.js")->get_header_value("Content-Type").rfind("text/javascript", 0), 0u);
  EXPECT_EQ(client->Get("/../CMakeLists.txt")->status, 404);
  EXPECT_EQ(client->Get("/.hidden")->status, 404);
}

TEST_F(WebAccess, CrossOriginRequestsAreRefused) {
  const std::string self = "http://127.0.0.1:" + std::to_string(server->Port());
  const std::string body = R"({"width": 80, "height": 40})";
  EXPECT_EQ(client->Post(WithToken("/api/view"), {{"Origin", "http://evil.example"}}, body, "application/json")->status,
            403);
  EXPECT_EQ(client->Post(WithToken("/api/view"), {{"Origin", "null"}}, body, "application/json")->status, 403);
  for (const char* site : {"cross-site", "same-site", "anything"}) {
    EXPECT_EQ(Get("/api/scene", {{"Sec-Fetch-Site", site}})->status, 403) << site;
    EXPECT_EQ(client->Get("/", {{"Sec-Fetch-Site", site}})->status, 403) << site;
  }
  for (const char* site : {"same-origin", "none"})
    EXPECT_EQ(Get("/api/scene", {{"Sec-Fetch-Site", site}})->status, 200);
  EXPECT_EQ(client->Options(WithToken("/api/view"))->status, 403);
  EXPECT_EQ(client->Post(WithToken("/api/view"), {{"Origin", self}}, body, "application/json")->status, 200);
}

TEST_F(WebAccess, TheHostHeaderMustNameThisServer) {
  const std::string port = std::to_string(server->Port());
  // A name of the attacker's that resolves here (DNS rebinding) is still its name.
  for (const std::string& host :
       std::vector<std::string>{"evil.example:" + port, "127.0.0.1:1", "127.0.0.1", "", "127.0.0.1:" + port + "0"}) {
    httplib::Headers headers{{"Host", host}};
    EXPECT_EQ(Get("/api/scene", headers)->status, 403) << host;
    EXPECT_EQ(client->Get("/", headers)->status, 403) << host;
  }
  EXPECT_EQ(Get("/api/scene", {{"Host", "localhost:" + port}})->status, 200);
  EXPECT_EQ(Get("/api/scene", {{"Host", "127.0.0.1:" + port}})->status, 200);
}

using WebScene = WebTest;

TEST_F(WebScene, ListsObjectsWithTheirChannelsAndTheShadersToChoose) {
  const Json scene = GetJson("/api/scene");
  ASSERT_EQ(scene["objects"].size(), 6u);
  const Json& soft = scene["objects"][softEdges];
  EXPECT_EQ(soft["name"], "soft edges");
  EXPECT_TRUE(soft["channels"]["normal"]["plugin"].get<bool>());
  EXPECT_EQ(soft["channels"]["color"]["shader"], "constant");
  EXPECT_EQ(soft["channels"]["bump"]["shader"], "none");
  const Json& shaders = scene["shaders"];
  EXPECT_EQ(shaders.size(), 3u);
  EXPECT_EQ(shaders[0], "none");
}

TEST_F(WebScene, PanelIsTheModulesDescriptionAskedAgainAfterEachEdit) {
  Json panel = GetJson("/api/panel?object=2&channel=normal");
  EXPECT_EQ(panel["title"], "Soft Edge");
  const Json* maxAngle = FindElement(panel["elements"], "SOFTEDGE_ANGLE_MAX");
  ASSERT_NE(maxAngle, nullptr);
  EXPECT_EQ((*maxAngle)["unit"], "DEGREE");
  EXPECT_EQ((*maxAngle)["max"], 180.0);
  EXPECT_EQ((*maxAngle)["value"], 90.0);  // stored in radians, shown in degrees
  EXPECT_NE(FindElement(panel["elements"], "SOFTEDGE_TITLEBAR"), nullptr);
  EXPECT_EQ(FindElement(panel["elements"], "SOFTEDGE_GROUP_SAMPLING"), nullptr);
  const Json* mode = FindElement(panel["elements"], "SOFTEDGE_SELECTION_MODE");
  ASSERT_NE(mode, nullptr);
  EXPECT_FALSE((*mode)["enabled"].get<bool>());
  EXPECT_EQ((*mode)["cycle"].size(), 4u);

  // Using the selection enables its mode; the sampling method shows its group.
  panel = PostJson("/api/param", Edit(softEdges, "SOFTEDGE_USE_SELECTION", true));
  mode = FindElement(panel["elements"], "SOFTEDGE_SELECTION_MODE");
  ASSERT_NE(mode, nullptr);
  EXPECT_TRUE((*mode)["enabled"].get<bool>());
  panel = PostJson("/api/param", Edit(softEdges, "SOFTEDGE_METHOD", "SOFTEDGE_METHOD_SAMPLING"));
  EXPECT_NE(FindElement(panel["elements"], "SOFTEDGE_GROUP_SAMPLING"), nullptr);
  EXPECT_GT(panel["generation"].get<int>(), 1);
}

TEST_F(WebScene, RefusedValuesChangeNothing) {
  Json error = PostJson("/api/param", Edit(softEdges, "SOFTEDGE_ANGLE_MIN", 200), 400);
  EXPECT_EQ(error["error"], "Minimum Angle must be between 0° and 180°");
  error = PostJson("/api/param", Edit(softEdges, "SOFTEDGE_RADIUS", "wide"), 400);
  EXPECT_EQ(error["error"], "Radius must be a number");
  // All or nothing: the good first value does not stay when the second is refused.
  const Json both = {
      {"object", softEdges}, {"channel", "normal"}, {"params", {{"SOFTEDGE_RADIUS", 0.7}, {"SOFTEDGE_SAMPLES", 0}}}};
  PostJson("/api/param", both, 400);
  const Json panel = GetJson("/api/panel?object=2&channel=normal");
  EXPECT_EQ((*FindElement(panel["elements"], "SOFTEDGE_RADIUS"))["value"], 0.3);
  EXPECT_EQ((*FindElement(panel["elements"], "SOFTEDGE_ANGLE_MIN"))["value"], 60.0);
}

TEST_F(WebScene, MalformedRequestsGetTheirStatusAndAMessage) {
  const auto status = [](const httplib::Result& r) { return r ? r->status : -1; };
  EXPECT_EQ(status(client->Post(WithToken("/api/param"), "{\"object\": 2,", "application/json")), 400);
  EXPECT_EQ(status(client->Post(WithToken("/api/param"), "[1, 2]", "application/json")), 400);
  EXPECT_EQ(status(Post("/api/param", Edit(99, "SOFTEDGE_RADIUS", 1))), 404);
  EXPECT_EQ(status(Post("/api/param", Edit(-1, "SOFTEDGE_RADIUS", 1))), 400);
  EXPECT_EQ(status(Post("/api/param", Edit(softEdges, "SOFTEDGE_RADUIS", 1))), 404);
  EXPECT_EQ(status(Post("/api/param", Edit(plainCube, "SOFTEDGE_RADIUS", 1))), 404);
  EXPECT_EQ(status(Get("/api/panel?object=2&channel=specular")), 404);
  EXPECT_EQ(status(Get("/api/panel?object=two&channel=normal")), 400);
  EXPECT_EQ(status(Get("/api/panel?object=2%0A&channel=normal")), 400);
  EXPECT_EQ(status(Get("/api/image?generation=1&pass=x")), 400);
  EXPECT_EQ(status(Post("/api/view", {{"width", 8}, {"height", 100}})), 400);
  EXPECT_EQ(status(Post("/api/channel", {{"object", 2}, {"channel", "normal"}, {"shader", "noise"}})), 400);
  EXPECT_EQ(status(Get("/api/nothing")), 404);
  EXPECT_EQ(status(client->Delete(WithToken("/api/scene"))), 405);
  EXPECT_EQ(status(client->Post(WithToken("/api/param"), std::string(2 << 20, ' '), "application/json")), 413);
  // Nesting deep enough to overflow a recursive parser's stack is refused before parsing.
  const std::string deep = "{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
  const auto nested = client->Post(WithToken("/api/param"), deep, "application/json");
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->status, 400);
  EXPECT_NE(nested->body.find("nested deeper than"), std::string::npos);
  EXPECT_EQ(status(Get("/api/image?generation=" + std::string(5000, '[') + "&pass=1")), 400);
  const auto r = Post("/api/param", Edit(99, "SOFTEDGE_RADIUS", 1));
  EXPECT_EQ(Json::parse(r->body)["error"], "object 99: the scene has 6 objects");
}

TEST_F(WebScene, ChannelsSwitchBetweenNoneAndTheShadersAndKeepTheirValues) {
  Json entry = PostJson("/api/channel", {{"object", plainCube}, {"channel", "normal"}, {"shader", "Draw Edge"}});
  EXPECT_EQ(entry["channels"]["normal"]["shader"], "Draw Edge");
  PostJson("/api/param", Edit(plainCube, "DRAWEDGE_WIDTH", 0.25));
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "normal"}, {"shader", "SoftEdge"}});
  EXPECT_EQ(GetJson("/api/panel?object=1&channel=normal")["shader"], "Soft Edge");
  entry = PostJson("/api/channel", {{"object", plainCube}, {"channel", "normal"}, {"shader", "none"}});
  EXPECT_EQ(entry["channels"]["normal"]["shader"], "none");
  GetJson("/api/panel?object=1&channel=normal", 404);

  PostJson("/api/channel", {{"object", plainCube}, {"channel", "normal"}, {"shader", "DrawEdge"}});
  const Json panel = GetJson("/api/panel?object=1&channel=normal");
  EXPECT_EQ((*FindElement(panel["elements"], "DRAWEDGE_WIDTH"))["value"], 0.25);

  // The colour channel's none is its plain colour, as it was.
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "color"}, {"shader", "Soft Edge"}});
  entry = PostJson("/api/channel", {{"object", plainCube}, {"channel", "color"}, {"shader", "none"}});
  EXPECT_EQ(entry["channels"]["color"]["value"], Json::array({0.8, 0.3, 0.25}));
}

TEST_F(WebScene, LinksTakeAShaderAsScenesWriteItOrNone) {
  const auto link = [](const Json& value) {
    return Json{{"object", 4}, {"channel", "color"}, {"symbol", "DRAWEDGE_DISTORTION_SHADER"}, {"value", value}};
  };
  Json panel = PostJson("/api/param", link({{"shader", "noise"}, {"params", {{"scale", 4}}}}));
  const Json* shown = FindElement(panel["elements"], "DRAWEDGE_DISTORTION_SHADER");
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ((*shown)["type"], "SHADERLINK");
  EXPECT_EQ((*shown)["value"]["shader"], "noise");
  EXPECT_EQ((*shown)["value"]["params"]["scale"], 4.0);
  PostJson("/api/param", link({{"shader", "nothing"}}), 400);
  panel = PostJson("/api/param", link(nullptr));
  EXPECT_TRUE((*FindElement(panel["elements"], "DRAWEDGE_DISTORTION_SHADER"))["value"].is_null());
}

using WebTitleBar = WebTest;

TEST_F(WebTitleBar, IsDrawnByTheModuleAndAnswersThePointer) {
  const auto bar = Get("/api/titlebar?object=2&channel=normal&width=400");
  ASSERT_TRUE(bar);
  ASSERT_EQ(bar->status, 200);
  EXPECT_EQ(bar->body.substr(1, 3), "PNG");

  const auto event = [&](const char* kind, int x) {
    return PostJson("/api/titlebar",
                    {{"object", softEdges}, {"channel", "normal"}, {"event", kind}, {"x", x}, {"y", 12}});
  };
  EXPECT_TRUE(event("move", 40)["redraw"].get<bool>());  // the name lights up
  EXPECT_NE(Get("/api/titlebar?object=2&channel=normal&width=400")->body, bar->body);
  EXPECT_TRUE(event("leave", 0)["redraw"].get<bool>());
  EXPECT_EQ(Get("/api/titlebar?object=2&channel=normal&width=400")->body, bar->body);

  // Pressing along the whole bar finds the name, the help and the home button.
  std::set<std::string> answers;
  for (int x = 0; x < 400; x += 4) {
    const Json a = event("down", x);
    if (a.contains("messageBox")) answers.insert("box: " + a["messageBox"].get<std::string>());
    if (a.contains("open")) answers.insert("open: " + a["open"].get<std::string>().substr(0, 8));
  }
  EXPECT_EQ(answers,
            (std::set<std::string>{"box: Tessaline v " TESSALINE_VERSION, "open: /manual.", "open: https://"}));
  const auto manual = Get("/manual.pdf");
  ASSERT_TRUE(manual);
  EXPECT_EQ(manual->status, 200);
  EXPECT_EQ(manual->body.substr(0, 5), "%PDF-");

  EXPECT_EQ(
      Expect(Post("/api/titlebar", {{"object", softEdges}, {"channel", "normal"}, {"event", "hover"}}), 400)["error"],
      "event: expected move, down, up or leave");
  GetJson("/api/titlebar?object=2&channel=normal&width=100", 400);
  GetJson("/api/titlebar?object=1&channel=normal", 404);
}

using WebRender = WebTest;

TEST_F(WebRender, PassesGrowFromAQuarterSizeSampleToTheFullImage) {
  std::vector<Json> passes;
  bool sawEdit = false;
  std::string buffer;
  std::thread edit([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    httplib::Client other("127.0.0.1", server->Port());
    other.Post(WithToken("/api/param"), Edit(softEdges, "SOFTEDGE_RADIUS", 0.4).dump(), "application/json");
  });
  // Reads the stream until the edit's generation has its final pass.
  client->Get(WithToken("/api/events"), [&](const char* data, size_t size) {
    buffer.append(data, size);
    for (size_t end = buffer.find("\n\n"); end != std::string::npos; end = buffer.find("\n\n")) {
      const std::string event = buffer.substr(0, end);
      buffer.erase(0, end + 2);
      if (event.rfind("event: scene", 0) == 0) sawEdit = true;
      if (event.rfind("event: pass", 0) == 0 && sawEdit)
        passes.push_back(Json::parse(event.substr(event.find("data: ") + 6)));
    }
    return passes.empty() || !passes.back()["final"].get<bool>();
  });
  edit.join();
  ASSERT_FALSE(passes.empty());
  EXPECT_EQ(passes.front()["pass"], 0);
  EXPECT_EQ(passes.front()["width"], viewWidth / 4);
  EXPECT_EQ(passes.front()["samples"], 1);
  EXPECT_EQ(passes.back()["width"], viewWidth);
  EXPECT_EQ(passes.back()["samples"], 16);
  for (const Json& p : passes) EXPECT_EQ(p["generation"], passes.front()["generation"]);

  const auto image = Get(passes.back()["url"].get<std::string>());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->status, 200);
  EXPECT_EQ(image->get_header_value("Content-Type"), "image/png");
  GetJson("/api/image?generation=0&pass=0", 404);
}

// A model file opens as `render MODEL` frames it: a ground and one object per
// mesh node, with Soft Edge in the normal channel.
class WebModel : public WebTest {
 protected:
  WebModel() { scenePath = TESSALINE_CUBE_STL; }
};

TEST_F(WebModel, OpensAsTheSceneRenderMakesForIt) {
  const Json scene = GetJson("/api/scene");
  ASSERT_EQ(scene["objects"].size(), 2u);
  EXPECT_EQ(scene["objects"][0]["name"], "ground");
  EXPECT_EQ(scene["objects"][1]["channels"]["normal"]["shader"], "Soft Edge");
  const Json saved = GetJson("/api/scene.json");
  EXPECT_TRUE(std::filesystem::path(saved["objects"][1]["mesh"]["file"].get<std::string>()).is_absolute());
}

}  // namespace
}  // namespace tess::test
