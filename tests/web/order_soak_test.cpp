// Edits racing each other from one page end with the last one sent in place,
// and a long session of edits, view changes, title-bar events and linked
// shader switches leaves the counts of live shader nodes, the module's
// blocks and the process's threads where they were.
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "tests/live_threads.h"
#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

const Json* FindElement(const Json& elements, const std::string& symbol) {
  for (const Json& e : elements) {
    if (e.value("symbol", "") == symbol) return &e;
    if (e.contains("elements"))
      if (const Json* inner = FindElement(e["elements"], symbol)) return inner;
  }
  return nullptr;
}

using WebOrder = WebTest;

TEST_F(WebOrder, ConcurrentEditsOfOneValueEndWithTheLastSent) {
  constexpr int edits = 100, senders = 8;
  const auto radius = [](int seq) { return 0.1 + 0.002 * seq; };
  // Sent all at once, in an order the senders' threads and the server's pick.
  std::vector<int> order(edits);
  for (int i = 0; i < edits; ++i) order[static_cast<size_t>(i)] = i + 1;
  std::shuffle(order.begin(), order.end(), std::mt19937(3));
  std::atomic<size_t> next{0};
  std::atomic<int> answered{0};
  std::vector<std::thread> threads;
  threads.reserve(senders);
  for (int t = 0; t < senders; ++t)
    threads.emplace_back([&] {
      httplib::Client sender("127.0.0.1", server->Port());
      sender.set_read_timeout(30);
      for (size_t i = next++; i < order.size(); i = next++) {
        const int seq = order[i];
        const Json body = {{"object", softEdges},  {"channel", "normal"}, {"symbol", "SOFTEDGE_RADIUS"},
                           {"value", radius(seq)}, {"page", "one page"},  {"seq", seq}};
        const auto r = sender.Post(WithToken("/api/param"), body.dump(), "application/json");
        if (r && r->status == 200) ++answered;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(answered.load(), edits);
  const Json panel = GetJson("/api/panel?object=2&channel=normal");
  EXPECT_DOUBLE_EQ((*FindElement(panel["elements"], "SOFTEDGE_RADIUS"))["value"].get<double>(), radius(edits));
  // Another page's numbers are its own: its first edit applies.
  PostJson("/api/param", {{"object", softEdges},
                          {"channel", "normal"},
                          {"symbol", "SOFTEDGE_RADIUS"},
                          {"value", 0.25},
                          {"page", "another page"},
                          {"seq", 1}});
  const Json after = GetJson("/api/panel?object=2&channel=normal");
  EXPECT_DOUBLE_EQ((*FindElement(after["elements"], "SOFTEDGE_RADIUS"))["value"].get<double>(), 0.25);
}

using WebPages = WebTest;

TEST_F(WebPages, EachPageKeepsItsViewAndTheRenderFollowsTheLastSet) {
  PostJson("/api/view", {{"width", 40}, {"height", 30}, {"page", "left"}});
  PostJson("/api/view", {{"width", 50}, {"height", 20}, {"page", "right"}});
  Json status = GetJson("/api/status");
  EXPECT_EQ(status["page"], "right");
  EXPECT_EQ(status["view"], Json({{"width", 50}, {"height", 20}}));
  // A script names no page: it acts on the default one.
  PostJson("/api/view", {{"width", 32}, {"height", 24}});
  status = GetJson("/api/status");
  EXPECT_EQ(status["page"], "");
  EXPECT_EQ(WaitForFinalPass()["width"], 32);
  PostJson("/api/view", {{"width", 40}, {"height", 30}, {"page", "left"}});
  EXPECT_EQ(Json::parse(Get("/api/scene.json")->body)["image"]["width"], 40);
  PostJson("/api/view", {{"width", 40}, {"height", 30}, {"page", 7}}, 400);
}

using WebSoak = WebTest;

TEST_F(WebSoak, LongSessionsKeepNodesBlocksAndThreadsBounded) {
  const auto link = [](const char* shader) {
    return Json{
        {"object", 4}, {"channel", "color"}, {"symbol", "DRAWEDGE_DISTORTION_SHADER"}, {"value", {{"shader", shader}}}};
  };
  const auto round = [&](int i) {
    PostJson("/api/param", {{"object", softEdges},
                            {"channel", "normal"},
                            {"symbol", "SOFTEDGE_RADIUS"},
                            {"value", 0.1 + 0.0001 * (i % 1000)}});
    if (i % 10 == 0) PostJson("/api/view", {{"width", viewWidth + i % 7}, {"height", viewHeight}});
    if (i % 10 == 5)
      PostJson("/api/titlebar", {{"object", softEdges},
                                 {"channel", "normal"},
                                 {"event", i % 20 == 5 ? "move" : "leave"},
                                 {"x", 20},
                                 {"y", 5}});
    if (i % 40 == 0) PostJson("/api/param", link(i % 80 == 0 ? "SoftEdge" : "noise"));
  };
  // A first stretch settles what a session keeps for good.
  for (int i = 0; i < 100; ++i) round(i);
  const Json first = GetJson("/api/status");
  const int64_t blocks = host::Services().memory.LiveBlocks();
  const size_t threads = LiveThreads();
  // Counted while renders run: passes neither start nor end threads.
  int otherThreadCounts = 0;
  for (int i = 100; i < 2000; ++i) {
    round(i);
    otherThreadCounts += LiveThreads() != threads;
  }
  const Json last = GetJson("/api/status");
  EXPECT_LE(last["nodes"], first["nodes"]);
  EXPECT_EQ(last["adjacencyBuilds"], first["adjacencyBuilds"]);
  // The render may hold a generation's blocks at either moment.
  EXPECT_LE(host::Services().memory.LiveBlocks(), blocks + 500);
  EXPECT_EQ(otherThreadCounts, 0);
  EXPECT_EQ(LiveThreads(), threads);
}

}  // namespace
}  // namespace tess::test
