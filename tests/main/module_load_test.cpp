// The built module, loaded with dlopen and driven as the application drives it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "hostapp/loader/module_loader.h"
#include "hostapp/services/services.h"
#include "tessaline_version.h"

namespace tess::test {
namespace {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
  *status = pclose(pipe);
  return output;
}

TEST(ModuleLoad, WholeLifecycleLeavesNoLiveHostAllocation) {
  host::ResetServices();
  {
    host::ModuleSession session;
    ASSERT_TRUE(session.Load(TESSALINE_MODULE).ok);
    ASSERT_TRUE(session.Init().ok);
    ASSERT_TRUE(session.LoadResource().ok);
    ASSERT_TRUE(session.Start().ok);
    EXPECT_EQ(host::Services().registry.Plugins().size(), 3u);
    EXPECT_GT(host::Services().memory.LiveBlocks(), 0);
    EXPECT_TRUE(session.End().ok);
  }
  EXPECT_EQ(host::Services().memory.LiveBlocks(), 0);
  EXPECT_EQ(host::Services().memory.ForeignFrees(), 0);
}

TEST(ModuleLoad, OnlyTheEntryPointIsExported) {
  int status = 0;
  const std::string symbols = RunCommand(std::string("nm -D --defined-only '") + TESSALINE_MODULE + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << symbols;
  EXPECT_EQ(symbols.substr(symbols.find(' ', symbols.find(' ') + 1) + 1), "c4d_main\n") << symbols;
}

TEST(ModuleLoad, LoadFailuresNameTheStep) {
  host::ResetServices();
  const auto dir = std::filesystem::temp_directory_path() / "tessaline-load-test";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "empty.so").close();

  struct Case {
    std::string path;
    std::string words;
  };
  for (const Case& c :
       {Case{(dir / "missing.so").string(), "no such file"}, Case{dir.string(), "not a file"},
        Case{(dir / "empty.so").string(), "not a module"}, Case{"/lib/x86_64-linux-gnu/libm.so.6", "no c4d_main"}}) {
    host::ModuleSession session;
    const host::StepResult r = session.Load(c.path);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find(c.words), std::string::npos) << r.message;
  }
  std::filesystem::remove_all(dir);
}

TEST(ModuleLoad, InfoCommandShowsBannerAndPlugins) {
  int status = 0;
  const std::string out = RunCommand(std::string("'") + TESSALINE_HOST_PROGRAM + "' info 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("||  Tessaline v" TESSALINE_VERSION "\n"), std::string::npos) << out;
  for (const char* id : {"1020977", "1020978", "1020979"}) EXPECT_NE(out.find(id), std::string::npos) << out;
  EXPECT_NE(out.find("live host allocations after unload: 0"), std::string::npos) << out;
}

TEST(ModuleLoad, InfoCommandFailsWithOneLineForABadModule) {
  int status = 0;
  const std::string out = RunCommand(
      std::string("'") + TESSALINE_HOST_PROGRAM + "' info --module /nonexistent/tessaline.so 2>&1 >/dev/null", &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(out, "error: load /nonexistent/tessaline.so: no such file\n");
}

}  // namespace
}  // namespace tess::test
