// Opening a model from the page: the file as the body or as parts of a form,
// written to the run's private folder and read as `serve MODEL` reads it.
// Whatever is refused leaves the scene, the render and the folder as they
// were, and the server answers correctly afterwards.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;

using WebOpen = WebTest;

constexpr size_t demoObjects = 6;
// A model scene: the ground and the model's one object.
constexpr size_t modelObjects = 2;

const char* const tetrahedronObj =
    "mtllib tetrahedron.mtl\n"
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n"
    "usemtl red\n"
    "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";
const char* const tetrahedronMtl = "newmtl red\nKd 1 0 0\n";

// A file of the tests' models, next to the cube STL.
std::string ModelFile(const std::string& name) {
  std::ifstream in(fs::path(TESSALINE_CUBE_STL).parent_path() / name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string CubeStl() {
  return ModelFile(fs::path(TESSALINE_CUBE_STL).filename().string());
}

httplib::MultipartFormDataItems Files(const std::vector<std::pair<std::string, std::string>>& named) {
  httplib::MultipartFormDataItems items;
  for (const auto& [name, bytes] : named) items.push_back({"file", bytes, name, "application/octet-stream"});
  return items;
}

// The subfolders uploads left behind.
size_t Subfolders(const fs::path& folder) {
  std::error_code ec;
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder, ec)) count += entry.is_directory() ? 1 : 0;
  return count;
}

class WebOpenFiles : public WebOpen {
 protected:
  httplib::Result OpenBody(const std::string& name, const std::string& bytes) {
    httplib::Headers headers;
    if (!name.empty()) headers.emplace("X-Tessaline-Filename", name);
    return client->Post(WithToken("/api/open"), headers, bytes, "application/octet-stream");
  }
  httplib::Result OpenParts(const std::vector<std::pair<std::string, std::string>>& named) {
    return client->Post(WithToken("/api/open"), Files(named));
  }
  // The refusal's one line, after checking that nothing changed.
  std::string ExpectRefused(const httplib::Result& r, int status, size_t objects) {
    const Json answer = Expect(r, status);
    std::string error = answer.value("error", std::string());
    EXPECT_FALSE(error.empty()) << (r ? r->body : "");
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(GetJson("/api/scene")["objects"].size(), objects) << error;
    EXPECT_EQ(Get("/api/status")->status, 200);
    return error;
  }
};

TEST_F(WebOpenFiles, OpensAModelSentAsTheBodyInPlaceOfTheScene) {
  const uint64_t before = GetJson("/api/scene")["generation"].get<uint64_t>();
  // The name comes percent-encoded, as a page's encodeURIComponent makes it.
  const Json opened = Expect(OpenBody("my%20cube.stl", CubeStl()), 200);
  ASSERT_EQ(opened["objects"].size(), modelObjects);
  EXPECT_EQ(opened["objects"][0]["name"], "ground");
  EXPECT_EQ(opened["objects"][1]["channels"]["normal"]["shader"], "Soft Edge");
  EXPECT_GT(opened["generation"].get<uint64_t>(), before);
  const Json scene = GetJson("/api/scene");
  EXPECT_EQ(scene["objects"], opened["objects"]);
  EXPECT_EQ(scene["generation"], opened["generation"]);
  // The new scene renders, in generations after the old scene's.
  const Json pass = WaitForFinalPass();
  EXPECT_GE(pass["generation"].get<uint64_t>(), opened["generation"].get<uint64_t>());
  // The scene reads the file where it was written, under its own name.
  const fs::path mesh = GetJson("/api/scene.json")["objects"][1]["mesh"]["file"].get<std::string>();
  EXPECT_EQ(mesh.filename(), "my cube.stl");
  EXPECT_EQ(mesh.parent_path().parent_path(), fs::path(server->OpenedFilesFolder()));
  EXPECT_TRUE(fs::is_regular_file(mesh));
}

TEST_F(WebOpenFiles, OpensTheFirstModelAmongAFormsFiles) {
  const Json opened = Expect(
      OpenParts({{"tetrahedron.mtl", tetrahedronMtl}, {"tetrahedron.obj", tetrahedronObj}, {"cube.stl", CubeStl()}}),
      200);
  ASSERT_EQ(opened["objects"].size(), modelObjects);
  const fs::path mesh = GetJson("/api/scene.json")["objects"][1]["mesh"]["file"].get<std::string>();
  EXPECT_EQ(mesh.filename(), "tetrahedron.obj");
  // Every part was written next to it.
  EXPECT_TRUE(fs::is_regular_file(mesh.parent_path() / "tetrahedron.mtl"));
  EXPECT_TRUE(fs::is_regular_file(mesh.parent_path() / "cube.stl"));
  // A glTF finds its buffer among the files sent with it.
  const Json gltf =
      Expect(OpenParts({{"cube.bin", ModelFile("cube.bin")}, {"cube.gltf", ModelFile("cube.gltf")}}), 200);
  EXPECT_EQ(gltf["objects"].size(), modelObjects);
  // Without it, the reader's refusal says what is missing.
  const std::string alone = ExpectRefused(OpenParts({{"cube.gltf", ModelFile("cube.gltf")}}), 400, modelObjects);
  EXPECT_NE(alone.find("cube.bin"), std::string::npos) << alone;
  // A file over the other routes' 1 MiB opens: the body may be as large as a mesh file.
  std::string large = tetrahedronObj;
  for (int line = 0; line < 50000; ++line) large += "# " + std::string(62, '-') + "\n";
  const Json big = Expect(OpenBody("large.obj", large), 200);
  EXPECT_EQ(big["objects"].size(), modelObjects);
  EXPECT_EQ(Subfolders(server->OpenedFilesFolder()), 3u);
}

TEST_F(WebOpenFiles, RefusesBadNamesAndBodiesAndKeepsTheScene) {
  const std::string cube = CubeStl();
  EXPECT_NE(ExpectRefused(OpenBody("", cube), 400, demoObjects).find("no file name"), std::string::npos);
  EXPECT_NE(ExpectRefused(OpenBody("cube.xyz", cube), 400, demoObjects).find("\".xyz\""), std::string::npos);
  EXPECT_NE(ExpectRefused(OpenBody("cube", cube), 400, demoObjects).find("no extension"), std::string::npos);
  EXPECT_NE(ExpectRefused(OpenBody("scene.json", "{}"), 400, demoObjects).find("\".json\""), std::string::npos);
  EXPECT_NE(ExpectRefused(OpenBody("cube.stl", ""), 400, demoObjects).find("empty"), std::string::npos);
  EXPECT_NE(ExpectRefused(OpenBody(std::string(252, 'x') + ".stl", cube), 400, demoObjects).find("255 bytes"),
            std::string::npos);
  for (const std::string name :
       {"a/cube.stl", "..%2Fcube.stl", "%2Ftmp%2Fcube.stl", "a%5Ccube.stl", "%2E%2E", "cube%00.stl"})
    EXPECT_NE(ExpectRefused(OpenBody(name, cube), 400, demoObjects).find("expected a bare file name"),
              std::string::npos)
        << name;

  // One part that names a path refuses them all, wherever it comes.
  for (const std::string name : {"../cube.stl", "a/cube.bin", "/tmp/cube.stl", "..", ""})
    EXPECT_NE(ExpectRefused(OpenParts({{"cube.stl", cube}, {name, "x"}}), 400, demoObjects).find("name"),
              std::string::npos)
        << name;
  EXPECT_NE(ExpectRefused(OpenParts({{"cube.stl", cube}, {"cube.stl", cube}}), 400, demoObjects).find("two files"),
            std::string::npos);
  const std::string none = ExpectRefused(OpenParts({{"notes.txt", "x"}, {"tetrahedron.mtl", "y"}}), 400, demoObjects);
  EXPECT_NE(none.find("no model file among notes.txt, tetrahedron.mtl"), std::string::npos) << none;

  // The reader's own refusal names the file as the page did, not the folder.
  const std::string broken = ExpectRefused(OpenBody("broken.stl", std::string(300, '\x7f')), 400, demoObjects);
  EXPECT_EQ(broken.rfind("broken.stl: ", 0), 0u) << broken;
  // Nothing refused stays on disk.
  EXPECT_EQ(Subfolders(server->OpenedFilesFolder()), 0u);
  // The demo scene is still the one shown and edited.
  PostJson("/api/param", {{"object", softEdges}, {"channel", "normal"}, {"symbol", "SOFTEDGE_RADIUS"}, {"value", 3}});
}

// A raw request on loopback, the write side shut after it when `hangUp`;
// what came back until the server closed, "" when it closed without an answer.
std::string Exchange(int port, const std::string& request, bool hangUp) {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return "no socket";
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer = "the request could not be sent";
  if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::send(sock, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
    answer.clear();
    if (hangUp) ::shutdown(sock, SHUT_WR);
    timeval wait{30, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::recv(sock, buffer, sizeof(buffer), 0)) > 0) answer.append(buffer, static_cast<size_t>(got));
    if (got < 0) answer = "the server neither answered nor closed";
  }
  ::close(sock);
  return answer;
}

TEST_F(WebOpenFiles, ABodyShorterThanItsLengthIsLetGo) {
  const std::string host = "Host: 127.0.0.1:" + std::to_string(server->Port()) + "\r\n";
  const std::string open = "POST /api/open?token=" + token + " HTTP/1.1\r\n" + host;
  const std::string shortBody = open + "X-Tessaline-Filename: cube.stl\r\nContent-Length: 1000000\r\n\r\n0123456789";
  const std::string shortPart = open +
                                "Content-Type: multipart/form-data; boundary=xyz\r\nContent-Length: 1000000\r\n\r\n"
                                "--xyz\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.stl\"\r\n\r\n0123";
  struct Case {
    std::string request;
    bool hangUp;
    const char* status;  // the answer's, when there is one
  };
  const Case cases[] = {
      // The client stops sending and says so, or just stops: an answer or a
      // closed connection, within the server's read timeout.
      {shortBody, true, "400"},
      {shortPart, true, "400"},
      {shortBody, false, "400"},
      // Over what a mesh file may be: refused by its stated length, unread.
      {open + "X-Tessaline-Filename: cube.stl\r\nContent-Length: 99999999999\r\n\r\nsolid", false, "413"},
      // Other routes read bodies into memory: only bodies of a stated length, up to 1 MiB.
      {"POST /api/view?token=" + token + " HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", false,
       "411"},
      {"POST /api/view?token=" + token + " HTTP/1.1\r\n" + host + "Content-Length: 2000000\r\n\r\n{}", false, "413"}};
  for (const Case& c : cases) {
    const std::string answer = Exchange(server->Port(), c.request, c.hangUp);
    EXPECT_TRUE(answer.empty() || answer.rfind(std::string("HTTP/1.1 ") + c.status + " ", 0) == 0)
        << c.request.substr(0, 200) << "\n-> " << answer;
    if (!c.hangUp) EXPECT_FALSE(answer.empty()) << c.request.substr(0, 200);
  }
  EXPECT_EQ(GetJson("/api/scene")["objects"].size(), demoObjects);
  EXPECT_EQ(Subfolders(server->OpenedFilesFolder()), 0u);
  EXPECT_EQ(Expect(OpenBody("cube.stl", CubeStl()), 200)["objects"].size(), modelObjects);
}

TEST_F(WebOpenFiles, RendersAndImagesGoOnWhileScenesAreOpened) {
  // Pages poll the render while another opens files: they see one session
  // or the next, never one that is going.
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread poller([&] {
    httplib::Client poll("127.0.0.1", server->Port());
    poll.set_read_timeout(20);
    for (int i = 0; i < 2000 && !done; ++i) {
      const auto status = poll.Get(WithToken("/api/status"));
      const auto image = poll.Get(WithToken("/api/image"));
      if (!status || status->status != 200 || !image || (image->status != 200 && image->status != 404)) ++failures;
    }
  });
  const std::string cube = CubeStl();
  uint64_t last = 0;
  for (int i = 0; i < 3; ++i) {
    const Json opened = Expect(OpenBody("cube.stl", cube), 200);
    EXPECT_GT(opened["generation"].get<uint64_t>(), last);
    last = opened["generation"].get<uint64_t>();
  }
  done = true;
  poller.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GE(WaitForFinalPass()["generation"].get<uint64_t>(), last);
}

TEST_F(WebOpenFiles, PagesHearTheNewSceneBeforeItsPassesAndKeepTheirView) {
  const int width = viewWidth + 16, height = viewHeight + 8;
  PostJson("/api/view", {{"width", width}, {"height", height}});
  std::atomic<uint64_t> answered{0};
  std::atomic<bool> failed{false};
  std::thread opener([&] {
    httplib::Client other("127.0.0.1", server->Port());
    other.set_read_timeout(20);
    // Once the stream below is open.
    for (int i = 0; i < 1000; ++i) {
      const auto status = other.Get(WithToken("/api/status"));
      if (status && Json::parse(status->body)["eventStreams"] == 1) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    httplib::Headers headers{{"X-Tessaline-Filename", "cube.stl"}};
    const auto r = other.Post(WithToken("/api/open"), headers, CubeStl(), "application/octet-stream");
    if (r && r->status == 200)
      answered = Json::parse(r->body)["generation"].get<uint64_t>();
    else
      failed = true;
  });
  uint64_t announced = 0;
  std::vector<Json> passes;
  std::string buffer;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  client->Get(WithToken("/api/events"), [&](const char* data, size_t size) {
    buffer.append(data, size);
    for (size_t end = buffer.find("\n\n"); end != std::string::npos; end = buffer.find("\n\n")) {
      const std::string event = buffer.substr(0, end);
      buffer.erase(0, end + 2);
      const Json body = Json::parse(event.substr(event.find("data: ") + 6), nullptr, false);
      if (event.rfind("event: scene", 0) == 0 && announced == 0) announced = body["generation"].get<uint64_t>();
      if (event.rfind("event: pass", 0) == 0 && announced != 0) passes.push_back(body);
    }
    const bool finished = !passes.empty() && passes.back()["final"].get<bool>();
    return !finished && !failed && std::chrono::steady_clock::now() < deadline;
  });
  opener.join();
  ASSERT_FALSE(failed.load());
  EXPECT_EQ(announced, answered.load());
  ASSERT_FALSE(passes.empty());
  for (const Json& pass : passes) EXPECT_EQ(pass["generation"], announced);
  EXPECT_EQ(passes.back()["width"], width);
  EXPECT_EQ(passes.back()["height"], height);
}

TEST_F(WebOpenFiles, TheFolderIsPrivateFollowsNoLinkAndGoesWithTheServer) {
  ASSERT_EQ(Expect(OpenBody("cube.stl", CubeStl()), 200)["objects"].size(), modelObjects);
  const fs::path folder = server->OpenedFilesFolder();
  ASSERT_FALSE(folder.empty());
  struct stat info {};
  ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A link where the next upload's folder would go is passed over, never followed.
  const fs::path elsewhere = staticDir / "elsewhere";
  fs::create_directories(elsewhere);
  for (int i = 2; i < 5; ++i) fs::create_directory_symlink(elsewhere, folder / std::to_string(i));
  ASSERT_EQ(Expect(OpenBody("cube.stl", CubeStl()), 200)["objects"].size(), modelObjects);
  EXPECT_TRUE(fs::is_empty(elsewhere));
  server->Stop();
  runner.join();
  server.reset();
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder)));
  EXPECT_TRUE(fs::is_directory(elsewhere));
}

TEST_F(WebOpenFiles, UndoShowsTheSceneBeforeTheFileWithItsEditsAndRedoTheFileAgain) {
  const Json demo = GetJson("/api/scene");
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "color"}, {"color", {0, 1, 0}}});
  ASSERT_EQ(Expect(OpenBody("cube.stl", CubeStl()), 200)["objects"].size(), modelObjects);
  PostJson("/api/channel", {{"object", 1}, {"channel", "normal"}, {"strength", 0.25}});
  EXPECT_EQ(GetJson("/api/scene")["history"], Json({{"undo", 3}, {"redo", 0}}));

  PostJson("/api/undo", Json::object());  // the strength
  PostJson("/api/undo", Json::object());  // the file
  const Json back = GetJson("/api/scene");
  EXPECT_EQ(back["objects"].size(), demo["objects"].size());
  EXPECT_EQ(back["objects"][plainCube]["channels"]["color"]["value"], Json({0, 1, 0}));
  EXPECT_GT(back["generation"].get<uint64_t>(), demo["generation"].get<uint64_t>());
  WaitForFinalPass();
  PostJson("/api/undo", Json::object());  // the colour, in the scene shown again
  EXPECT_EQ(GetJson("/api/scene")["objects"][plainCube]["channels"]["color"]["value"],
            demo["objects"][plainCube]["channels"]["color"]["value"]);

  PostJson("/api/redo", Json::object());
  PostJson("/api/redo", Json::object());
  PostJson("/api/redo", Json::object());
  const Json file = GetJson("/api/scene");
  ASSERT_EQ(file["objects"].size(), modelObjects);
  EXPECT_EQ(file["objects"][1]["channels"]["normal"]["strength"], 0.25);
  EXPECT_TRUE(WaitForFinalPass()["final"].get<bool>());
}

}  // namespace
}  // namespace tess::test
