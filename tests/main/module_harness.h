// Drives the module linked into the test through its entry point, with the
// stand-in host's real services behind the table.
#ifndef TESSALINE_TESTS_MAIN_MODULE_HARNESS_H
#define TESSALINE_TESTS_MAIN_MODULE_HARNESS_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/c4d_api.h"
#include "hostapp/services/services.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

namespace tess::test {

namespace fs = std::filesystem;

// A module folder of its own: a copy of the project's res/ that a test may spoil.
class ModuleFolder {
 public:
  ModuleFolder() {
    path = fs::temp_directory_path() /
           ("tessaline-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
    fs::create_directories(path);
    fs::copy(fs::path(TESSALINE_SOURCE_DIR) / "res", path / "res", fs::copy_options::recursive);
  }
  ~ModuleFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  void Write(const std::string& relative, const std::string& text) const {
    std::ofstream(path / relative, std::ios::binary) << text;
  }
  fs::path path;
};

// Host table, module folder path handle and the module's init/end balance.
class ModuleHarness : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetServices();
    table = host::MakeHostTable();
    folderHandle = host::NewFilename(folder.path.string());
  }

  void TearDown() override {
    // The host frees the registration objects it owns before it ends the module.
    host::Services().registry.Clear();
    while (inits > 0) End();
    host::ReleaseFilename(folderHandle);
    EXPECT_EQ(host::Services().memory.LiveBlocks(), 0) << "the module left host memory live";
  }

  int32_t Init(void* path) {
    ++inits;
    return c4d_main(HOST_ACTION_INIT, &table, nullptr, path);
  }
  int32_t Init() { return Init(folderHandle); }
  int32_t End() {
    if (inits > 0) --inits;
    return c4d_main(HOST_ACTION_END, nullptr, nullptr, nullptr);
  }
  // The contract passes a message's id in the first pointer argument.
  static int32_t Message(intptr_t id) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return c4d_main(HOST_ACTION_MESSAGE, reinterpret_cast<void*>(id), nullptr, nullptr);
  }
  static int32_t Start() { return c4d_main(HOST_ACTION_START, nullptr, nullptr, nullptr); }
  // Init, resource and start, as the application does at launch.
  int32_t Launch() {
    EXPECT_EQ(Init(), 1);
    EXPECT_EQ(Message(HOST_MSG_RESOURCE), 1);
    return Start();
  }

  static std::vector<std::string> Lines() { return host::Services().console.Lines(); }
  static host::Registry& Registry() { return host::Services().registry; }

  ModuleFolder folder;
  HostTable table{};
  HostFilename* folderHandle = nullptr;
  int inits = 0;
};

}  // namespace tess::test

#endif
