// Requests a hostile page or client would send: bytes that are no UTF-8 in
// every place a request carries text, requests from another site's page
// (another local server's <img> and fetch), and an exception on the render
// thread. Each gets its 4xx or an error event, and the server answers
// correctly afterwards.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

using WebHostile = WebTest;

// Whether the text is well-formed UTF-8, checked by the JSON parser.
bool ParsesAsJson(const std::string& text) {
  return !Json::parse(text, nullptr, false).is_discarded();
}

void ExpectWorking(WebTest& test, httplib::Client& client, const std::string& token) {
  const auto scene = client.Get("/api/scene?token=" + token);
  ASSERT_TRUE(scene) << "the server stopped answering";
  EXPECT_EQ(scene->status, 200);
  (void)test;
}

TEST_F(WebHostile, InvalidUtf8AnywhereGetsA4xxInValidJson) {
  // Decoded, the paths hold a line feed and a byte that starts no character.
  for (const std::string path : {"/%0A%FF", "/api/%FF%FE", "/%C0%AF", "/api/panel/%ED%A0%80", "/%FF?token=x"}) {
    for (const bool withToken : {false, true}) {
      const auto r = withToken ? Get(path) : client->Get(path);
      ASSERT_TRUE(r) << path << ": no answer";
      EXPECT_GE(r->status, 400) << path;
      EXPECT_LT(r->status, 500) << path << ": " << r->body;
      EXPECT_TRUE(ParsesAsJson(r->body)) << path;
    }
  }
  const char* const gets[] = {"/api/panel?object=%FF&channel=normal",
                              "/api/panel?object=2&channel=%FF",
                              "/api/titlebar?object=%FF&channel=normal",
                              "/api/titlebar?object=2&channel=%FF%0A",
                              "/api/titlebar?object=2&channel=normal&width=%FF",
                              "/api/image?generation=%FF&pass=0",
                              "/api/image?generation=1&pass=%FF"};
  for (const char* path : gets) {
    const auto r = Get(path);
    ASSERT_TRUE(r) << path;
    EXPECT_GE(r->status, 400) << path;
    EXPECT_LT(r->status, 500) << path << ": " << r->body;
    EXPECT_TRUE(ParsesAsJson(r->body)) << path;
  }
  const std::string bad = "\xff\xfe";
  const std::pair<const char*, std::string> posts[] = {
      {"/api/param", R"({"object": 2, "channel": "normal", "symbol": ")" + bad + R"(", "value": 1})"},
      {"/api/param", R"({"object": 2, "channel": ")" + bad + R"(", "symbol": "SOFTEDGE_RADIUS", "value": 1})"},
      {"/api/param", R"({"object": ")" + bad + R"(", "channel": "normal", "symbol": "SOFTEDGE_RADIUS", "value": 1})"},
      {"/api/param", R"({"object": 2, "channel": "normal", "symbol": "SOFTEDGE_RADIUS", "value": ")" + bad + R"("})"},
      {"/api/param", R"({"object": 2, "channel": "normal", "params": {")" + bad + R"(": 1}})"},
      {"/api/param",
       R"({"object": 2, "channel": "normal", "symbol": "SOFTEDGE_RADIUS", "value": 1, "seq": 1, "page": ")" + bad +
           R"("})"},
      {"/api/channel", R"({"object": 2, "channel": "normal", "shader": ")" + bad + R"("})"},
      {"/api/titlebar", R"({"object": 2, "channel": "normal", "event": ")" + bad + R"("})"},
      {"/api/view", R"({"width": ")" + bad + R"(", "height": 40})"}};
  for (const auto& [path, body] : posts) {
    const auto r = client->Post(WithToken(path), body, "application/json");
    ASSERT_TRUE(r) << path << " " << body;
    EXPECT_GE(r->status, 400) << body;
    EXPECT_LT(r->status, 500) << body << ": " << r->body;
    EXPECT_TRUE(ParsesAsJson(r->body)) << body;
  }
  ExpectWorking(*this, *client, token);
}

// What a page served by another local server makes the browser send when it
// shows <img src="http://127.0.0.1:PORT/api/image?token=..."> or fetches the
// API: its own origin, "same-site" (another port of the same host) or
// "cross-site", and cookies the browser holds for this host.
TEST_F(WebHostile, AnotherLocalSitesImageAndFetchAreRefusedAndChangeNothing) {
  httplib::Server other;
  const int otherPort = other.bind_to_any_port("127.0.0.1");
  ASSERT_GT(otherPort, 0);
  const std::string otherOrigin = "http://127.0.0.1:" + std::to_string(otherPort);
  const std::string self = "127.0.0.1:" + std::to_string(server->Port());
  other.Get("/", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content("<img src=\"http://" + self + "/api/image\"><script>fetch('http://" + self +
                        "/api/view', {method: 'POST', body: '{}'})</script>",
                    "text/html");
  });
  std::thread otherRunner([&] { other.listen_after_bind(); });
  httplib::Client visitor("127.0.0.1", otherPort);
  const auto page = visitor.Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("/api/image"), std::string::npos);

  const Json before = GetJson("/api/status");
  const std::string body = R"({"width": 20, "height": 20})";
  for (const char* site : {"same-site", "cross-site"}) {
    const httplib::Headers image{{"Sec-Fetch-Site", site}, {"Sec-Fetch-Dest", "image"}, {"Referer", otherOrigin + "/"}};
    EXPECT_EQ(Get("/api/image", image)->status, 403) << site;
    const httplib::Headers fetch{{"Sec-Fetch-Site", site}, {"Sec-Fetch-Mode", "cors"}, {"Origin", otherOrigin}};
    EXPECT_EQ(client->Post(WithToken("/api/view"), fetch, body, "application/json")->status, 403) << site;
    // A simple request (no preflight) from a browser without Sec-Fetch headers still names its origin.
    EXPECT_EQ(client->Post(WithToken("/api/view"), {{"Origin", otherOrigin}}, body, "text/plain")->status, 403);
  }
  // The browser's cookie jar is shared between ports: a token there proves nothing.
  EXPECT_EQ(client->Post("/api/view", {{"Cookie", "tessaline_token=" + token}}, body, "application/json")->status, 403);
  const Json after = GetJson("/api/status");
  EXPECT_EQ(after["view"], before["view"]);
  EXPECT_EQ(after["generation"], before["generation"]);
  other.stop();
  otherRunner.join();
}

TEST_F(WebHostile, ARenderThreadExceptionIsAnErrorEventAndTheServerGoesOn) {
  WaitForFinalPass();
  std::string stream;
  std::atomic<bool> sawError{false};
  httplib::Client listener("127.0.0.1", server->Port());
  listener.set_read_timeout(30);
  std::thread reader([&] {
    listener.Get(WithToken("/api/events"), [&](const char* data, size_t size) {
      stream.append(data, size);
      sawError = stream.find("event: error") != std::string::npos;
      return !sawError;
    });
  });
  // The stream is open once it sent the latest pass.
  for (int i = 0; i < 500 && !sawError && GetJson("/api/status")["eventStreams"] != 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  server->InjectRenderFault("injected \xff fault");
  reader.join();
  EXPECT_NE(stream.find("\"message\":\"injected \xEF\xBF\xBD fault\""), std::string::npos) << stream;
  // The next generation renders as before.
  PostJson("/api/view", {{"width", viewWidth}, {"height", viewHeight}});
  EXPECT_TRUE(WaitForFinalPass()["final"].get<bool>());
}

TEST_F(WebHostile, TheStreamOfAClosedPageIsLetGoSoonWithoutAnyEvent) {
  WaitForFinalPass();
  {
    httplib::Client page("127.0.0.1", server->Port());
    page.set_read_timeout(10);
    // Reads the first bytes (the latest pass), then goes away as a closed tab does.
    page.Get(WithToken("/api/events"), [](const char*, size_t) { return false; });
  }
  // Nothing renders, so only the server's own writes can find it gone.
  int open = -1;
  for (int i = 0; i < 200 && open != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    open = GetJson("/api/status")["eventStreams"].get<int>();
  }
  EXPECT_EQ(open, 0);
}

TEST_F(WebHostile, EventStreamsAreCappedAndRequestsStillFindThreads) {
  std::atomic<bool> done{false};
  std::vector<std::unique_ptr<httplib::Client>> clients;
  std::vector<std::thread> streams;
  std::atomic<int> refused{0};
  for (int i = 0; i < 16; ++i) {
    clients.push_back(std::make_unique<httplib::Client>("127.0.0.1", server->Port()));
    clients.back()->set_read_timeout(30);
  }
  streams.reserve(16);
  for (int i = 0; i < 16; ++i)
    streams.emplace_back([&, i] {
      const auto r = clients[static_cast<size_t>(i)]->Get(WithToken("/api/events"),
                                                          [&](const char*, size_t) { return !done.load(); });
      if (r && r->status == 503) ++refused;
    });
  for (int i = 0; i < 1000 && GetJson("/api/status")["eventStreams"] != 8; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  for (int i = 0; i < 1000 && refused.load() < 8; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(refused.load(), 8);
  // Sixteen pages open, and an edit still finds a thread.
  EXPECT_EQ(GetJson("/api/scene")["objects"].size(), 6u);
  PostJson("/api/view", {{"width", viewWidth}, {"height", viewHeight + 2}});
  done = true;
  for (auto& c : clients) c->stop();
  for (auto& t : streams) t.join();
}

TEST_F(WebHostile, ASlowClientIsLetGo) {
  // Nothing but a connection: the server stops waiting for the request line.
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(server->Port()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  const std::string partial = "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  ASSERT_EQ(::send(sock, partial.data(), partial.size(), 0), static_cast<ssize_t>(partial.size()));
  timeval wait{30, 0};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
  // The server answers what it has, if anything, and closes the connection
  // (0) well before the test's own 30 s limit (-1).
  char buffer[512];
  ssize_t got = 0;
  while ((got = ::recv(sock, buffer, sizeof(buffer), 0)) > 0) {
  }
  EXPECT_EQ(got, 0);
  ::close(sock);
  ExpectWorking(*this, *client, token);
}

}  // namespace
}  // namespace tess::test
