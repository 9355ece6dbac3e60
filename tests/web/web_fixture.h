// A started module and a preview server on a free loopback port, served from
// a thread of the test, with a client that sends the token.
#ifndef TESSALINE_TESTS_WEB_WEB_FIXTURE_H
#define TESSALINE_TESTS_WEB_WEB_FIXTURE_H

#include <gtest/gtest.h>
#include <httplib.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "hostapp/gui/dialogs.h"
#include "hostapp/scene/json_access.h"
#include "hostapp/render/module_host.h"
#include "hostapp/services/services.h"
#include "hostapp/web/server.h"

namespace tess::test {

using render::Json;

class WebTest : public ::testing::Test {
 protected:
  // A small view keeps every generation's passes quick.
  static constexpr int viewWidth = 64, viewHeight = 36;

  void SetUp() override {
    host::ResetServices();
    gui::InstallGuiTables();
    ASSERT_EQ(module.Start(TESSALINE_MODULE), "");
    BeforeServing();
    if (HasFatalFailure()) return;
    web::ServeOptions options;
    options.port = 0;
    // A page of the test's own: what the server does with a page, not what the page holds.
    staticDir = std::filesystem::temp_directory_path() / ("tessaline-web-" + std::to_string(::getpid()));
    std::filesystem::create_directories(staticDir);
    std::ofstream(staticDir / "index.html") << "<script src=\"app.js\"></script>\n";
    std::ofstream(staticDir / "app.js") << "// the page\n";
    std::ofstream(staticDir / ".hidden") << "secret\n";
    options.staticDir = staticDir.string();
    options.threads = 2;
    options.scenePath = scenePath;
    options.width = viewWidth;
    options.height = viewHeight;
    std::string error;
    server = web::PreviewServer::Create(options, &error);
    ASSERT_NE(server, nullptr) << error;
    runner = std::thread([this] { server->Run(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", server->Port());
    client->set_connection_timeout(5);
    client->set_read_timeout(20);
    token = server->Token();
  }

  void TearDown() override {
    client.reset();
    if (server != nullptr) server->Stop();
    if (runner.joinable()) runner.join();
    server.reset();  // the scene's nodes go before the module ends
    EXPECT_EQ(module.Finish(), "");
    std::error_code ec;
    std::filesystem::remove_all(staticDir, ec);
  }

  // For a fixture that changes what the module registered before the server
  // reads it.
  virtual void BeforeServing() {}

  std::string WithToken(const std::string& path) const {
    return path + (path.find('?') == std::string::npos ? "?" : "&") + "token=" + token;
  }
  httplib::Result Get(const std::string& path) { return client->Get(WithToken(path)); }
  httplib::Result Get(const std::string& path, const httplib::Headers& headers) {
    return client->Get(WithToken(path), headers);
  }
  httplib::Result Post(const std::string& path, const Json& body) {
    return client->Post(WithToken(path), body.dump(), "application/json");
  }
  // The answer's JSON after checking its status.
  static Json Expect(const httplib::Result& r, int status) {
    EXPECT_TRUE(r) << "no answer";
    if (!r) return Json();
    EXPECT_EQ(r->status, status) << r->body;
    Json body = Json::parse(r->body, nullptr, false);
    return body;
  }
  Json GetJson(const std::string& path, int status = 200) { return Expect(Get(path), status); }
  Json PostJson(const std::string& path, const Json& body, int status = 200) {
    return Expect(Post(path, body), status);
  }

  // Waits (at most a minute) until the newest generation has finished its
  // last pass and released its shaders; that pass.
  Json WaitForFinalPass() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      const Json status = GetJson("/api/status");
      const Json& latest = status["latest"];
      if (!status["running"].get<bool>() && latest.is_object() && latest["final"].get<bool>() &&
          latest["generation"] == status["generation"])
        return latest;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "the render did not finish";
    return Json();
  }

  std::string scenePath;  // empty: the demo scene
  render::ModuleHost module;
  std::filesystem::path staticDir;
  std::unique_ptr<web::PreviewServer> server;
  std::thread runner;
  std::unique_ptr<httplib::Client> client;
  std::string token;
};

// The demo scene's object with Soft Edge's edge method in its normal channel.
constexpr int softEdges = 2;
// Its plain cube, with no shader but its colour.
constexpr int plainCube = 1;

}  // namespace tess::test

#endif
