// The module linked into the test, started against the stand-in host's real
// services and GUI, with a module folder of its own that a test may spoil.
#ifndef TESSALINE_TESTS_TITLEBAR_TITLEBAR_FIXTURE_H
#define TESSALINE_TESTS_TITLEBAR_TITLEBAR_FIXTURE_H

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "host/c4d_api.h"
#include "hostapp/gui/control_host.h"
#include "hostapp/gui/dialogs.h"
#include "hostapp/services/services.h"
#include "source/titlebar/titlebar.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

namespace tess::test {

namespace fs = std::filesystem;

// Writes a plain RGB TIFF of one colour.
inline void WriteTiff(const fs::path& path, int width, int height, uint8_t grey = 128) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3, grey);
  for (int y = 0; y < height; ++y) TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
  TIFFClose(tif);
}

class TitlebarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetServices();
    gui::ResetGui();
    gui::InstallGuiTables();
    table = host::MakeHostTable();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder =
        fs::temp_directory_path() / (std::string("tessaline-titlebar-") + info->test_suite_name() + "-" + info->name());
    fs::remove_all(folder);
    fs::create_directories(folder / "docs");
    fs::copy(fs::path(TESSALINE_SOURCE_DIR) / "res", folder / "res", fs::copy_options::recursive);
    std::ofstream(folder / "docs" / "manual.pdf") << "%PDF-1.4\n";
    folderHandle = host::NewFilename(folder.string());
  }

  void TearDown() override {
    if (started) {
      host::Services().registry.Clear();
      c4d_main(HOST_ACTION_END, nullptr, nullptr, nullptr);
    }
    host::ReleaseFilename(folderHandle);
    EXPECT_EQ(host::Services().memory.LiveBlocks(), 0) << "the module left host memory live";
    EXPECT_TRUE(gui::Gui().dialogs.empty()) << "a dialog outlived its control";
    EXPECT_TRUE(gui::Gui().areas.empty()) << "a user area outlived its dialog";
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  // Starts the module as the application does at launch.
  void Start() {
    ASSERT_EQ(c4d_main(HOST_ACTION_INIT, &table, nullptr, folderHandle), 1);
    started = true;
    // The contract passes a message's id in the first pointer argument.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    ASSERT_EQ(c4d_main(HOST_ACTION_MESSAGE, reinterpret_cast<void*>(intptr_t{HOST_MSG_RESOURCE}), nullptr, nullptr), 1);
    ASSERT_EQ(c4d_main(HOST_ACTION_START, nullptr, nullptr, nullptr), 1);
    plugin = host::Services().registry.Find(ID_TESSALINE_TITLEBAR, HOST_PLUGINTYPE_CUSTOMGUI);
    ASSERT_NE(plugin, nullptr);
    host::Services().console.Clear();  // the start banner is not the bar's doing
  }

  // A control as the panel shows it, at the window's top left.
  std::unique_ptr<gui::ControlHost> Show(int32_t width = 400) {
    std::string why;
    auto control = gui::ControlHost::Create(*plugin, HostContainer{}, &why);
    EXPECT_NE(control, nullptr) << why;
    if (control != nullptr) control->Show(0, 0, width);
    return control;
  }

  static HostUserArea* AreaOf(const gui::ControlHost& control) {
    auto areas = control.Areas();
    return areas.size() == 1 ? areas[0] : nullptr;
  }

  static titlebarUA& BarOf(const gui::ControlHost& control) {
    void* self = gui::GuiTable()->dialogSelf(control.Dialog());
    return static_cast<title_GuiDialog*>(static_cast<GeDialog*>(self))->Bar();
  }

  static std::vector<std::string> Lines() { return host::Services().console.Lines(); }

  fs::path folder;
  HostTable table{};
  HostFilename* folderHandle = nullptr;
  HostPlugin* plugin = nullptr;
  bool started = false;
};

}  // namespace tess::test

#endif
