// The host's default module and page: the build's layout first, then the
// installed one, on folders made for each case.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "hostapp/loader/layout.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;

class Layout : public ::testing::Test {
 protected:
  Layout() {
    static std::atomic<int> counter{0};
    root = fs::temp_directory_path() / ("tess_layout_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(root / "prefix" / "bin");
  }
  ~Layout() override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void Touch(const fs::path& file) const {
    fs::create_directories((root / file).parent_path());
    std::ofstream(root / file) << "x";
  }
  std::string At(const fs::path& relative) const { return (root / relative).string(); }

  fs::path root;
};

TEST_F(Layout, ABuildFolderUsesItsOwnModuleAndPage) {
  Touch("prefix/bin/module/tessaline.so");
  Touch("prefix/bin/web/index.html");
  // An installed copy beside it does not win over the build's.
  Touch("prefix/lib/tessaline/tessaline.so");
  Touch("prefix/share/tessaline/web/index.html");
  EXPECT_EQ(host::ModulePathFor(root / "prefix" / "bin"), At("prefix/bin/module/tessaline.so"));
  EXPECT_EQ(host::StaticDirFor(root / "prefix" / "bin"), At("prefix/bin/web"));
}

TEST_F(Layout, AnInstalledProgramFindsLibAndShareBesideItsBin) {
  Touch("prefix/lib/tessaline/tessaline.so");
  Touch("prefix/share/tessaline/web/index.html");
  EXPECT_EQ(host::ModulePathFor(root / "prefix" / "bin"), At("prefix/lib/tessaline/tessaline.so"));
  EXPECT_EQ(host::StaticDirFor(root / "prefix" / "bin"), At("prefix/share/tessaline/web"));
}

TEST_F(Layout, WithNeitherTheErrorNamesThePlaceOfTheProgramsOwnLayout) {
  EXPECT_EQ(host::ModulePathFor(root / "prefix" / "bin"), At("prefix/lib/tessaline/tessaline.so"));
  EXPECT_EQ(host::StaticDirFor(root / "prefix" / "bin"), At("prefix/share/tessaline/web"));
  fs::create_directories(root / "build");
  EXPECT_EQ(host::ModulePathFor(root / "build"), At("build/module/tessaline.so"));
  EXPECT_EQ(host::StaticDirFor(root / "build"), At("build/web"));
}

}  // namespace
}  // namespace tess::test
