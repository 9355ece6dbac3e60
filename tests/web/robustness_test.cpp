// Random and malformed requests: every one gets an answer below 500 with a
// message, the server goes on answering correctly, and the host's allocator
// shows nothing left behind.
#include <random>

#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

using WebRobustness = WebTest;

const char* const paths[] = {"/",           "/api/scene",  "/api/panel", "/api/param",    "/api/channel",
                             "/api/view",   "/api/events", "/api/image", "/api/titlebar", "/api/scene.json",
                             "/api/status", "/manual.pdf", "/app.js",    "/api/%00",      "/api/panel/../scene",
                             "/%2e%2e/etc"};
const char* const words[] = {
    "object", "channel", "symbol", "value",           "params",          "shader",         "event",     "x",
    "y",      "width",   "height", "token",           "color",           "normal",         "bump",      "none",
    "move",   "down",    "leave",  "SOFTEDGE_RADIUS", "SOFTEDGE_METHOD", "DRAWEDGE_WIDTH", "Soft Edge", "generation",
    "pass"};

class RequestMaker {
 public:
  explicit RequestMaker(uint32_t seed) : random(seed) {}

  size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); }
  const char* Word() { return words[Below(std::size(words))]; }
  const char* Path() { return paths[Below(std::size(paths))]; }

  Json Value(int depth = 0) {
    switch (Below(depth > 2 ? 6 : 9)) {
      case 0:
        return static_cast<int64_t>(random()) - (int64_t{1} << 31);
      case 1:
        return std::uniform_real_distribution<double>(-1e6, 1e6)(random);
      case 2:
        return Word();
      case 3:
        return Below(2) == 0;
      case 4:
        return nullptr;
      case 5:
        return static_cast<int64_t>(Below(8));
      case 6:
        return Json::array({Value(depth + 1), Value(depth + 1)});
      default: {
        Json object = Json::object();
        for (size_t i = Below(5); i > 0; --i) object[Word()] = Value(depth + 1);
        return object;
      }
    }
  }

  std::string Body() {
    std::string text = Value().dump();
    if (Below(3) == 0)  // bytes broken anywhere
      for (size_t i = Below(4); i > 0 && !text.empty(); --i) text[Below(text.size())] = static_cast<char>(random());
    return text;
  }

  std::string Query(const std::string& token) {
    std::string q = "?";
    for (size_t i = Below(4); i > 0; --i)
      q += std::string(Word()) + "=" + httplib::detail::encode_query_param(Value().dump().substr(0, 20)) + "&";
    if (Below(10) != 0) q += "token=" + (Below(20) == 0 ? token.substr(1) : token);
    return q;
  }

 private:
  std::mt19937 random;
};

TEST_F(WebRobustness, ThousandsOfRandomRequestsLeaveAWorkingServer) {
  RequestMaker make(13);
  int answered = 0;
  for (int i = 0; i < 1200; ++i) {
    const std::string path = make.Path();
    const std::string target = path + make.Query(token);
    const auto send = [&]() {
      switch (make.Below(4)) {
        case 0:
          // The event stream never ends by itself: the tests of passes read it.
          return path == "/api/events" ? client->Delete(target) : client->Get(target);
        case 1:
          return client->Delete(target);
        default:
          return client->Post(target, make.Body(), make.Below(2) == 0 ? "application/json" : "text/plain");
      }
    };
    const httplib::Result r = send();
    ASSERT_TRUE(r) << "request " << i << " " << target << " got no answer";
    ASSERT_LT(r->status, 500) << target << ": " << r->body;
    if (r->status >= 400) {
      EXPECT_TRUE(Json::parse(r->body, nullptr, false).contains("error")) << target;
    }
    ++answered;
  }
  EXPECT_GE(answered, 1000);

  // Still correct: the scene, an edit and its panel.
  EXPECT_EQ(GetJson("/api/scene")["objects"].size(), 6u);
  PostJson("/api/channel", {{"object", softEdges}, {"channel", "normal"}, {"shader", "Soft Edge"}});
  const Json panel = PostJson(
      "/api/param", {{"object", softEdges}, {"channel", "normal"}, {"symbol", "SOFTEDGE_RADIUS"}, {"value", 0.25}});
  EXPECT_EQ(panel["shader"], "Soft Edge");
  EXPECT_FALSE(WaitForFinalPass().is_null());
  // TearDown checks that ending the module finds no host allocation live.
}

TEST_F(WebRobustness, RefusedRequestsTakeNoHostAllocations) {
  WaitForFinalPass();
  const int64_t before = host::Services().memory.LiveBlocks();
  RequestMaker make(7);
  for (int i = 0; i < 300; ++i) {
    // Each carries a fault the server must find before it changes anything.
    Json body = make.Value();
    if (!body.is_object()) body = Json::object();
    body["object"] = 6 + static_cast<int>(make.Below(1000));
    const char* path = make.Below(2) == 0 ? "/api/param" : "/api/channel";
    const auto r = Post(path, body);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status / 100, 4) << r->body;
  }
  WaitForFinalPass();
  EXPECT_EQ(host::Services().memory.LiveBlocks(), before);
}

}  // namespace
}  // namespace tess::test
