// A module folder that is missing pieces, and files that are no module at all.
#include "tests/sweep/sweep_fixture.h"

namespace tess::test {
namespace {

// A copy of the built module with its own res/ and docs/, for a test to spoil.
class ModuleFolderSweep : public Sweep {
 protected:
  ModuleFolderSweep() {
    fs::copy_file(TESSALINE_MODULE, folder / "tessaline.so");
    fs::copy(fs::path(TESSALINE_SOURCE_DIR) / "res", folder / "res", fs::copy_options::recursive);
    fs::create_directories(folder / "docs");
    fs::copy_file(fs::path(TESSALINE_SOURCE_DIR) / "docs" / "manual.pdf", folder / "docs" / "manual.pdf");
  }
  HostRun WithModule(const std::string& arguments) const {
    return Host("--module '" + (folder / "tessaline.so").string() + "' " + arguments);
  }
  void Truncate(const fs::path& file, uintmax_t size) const { fs::resize_file(folder / file, size); }
};

TEST_F(ModuleFolderSweep, TheIntactCopyStarts) {
  const HostRun run = WithModule("info");
  EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(ModuleFolderSweep, NoResourceFolderFailsTheResourceMessage) {
  fs::remove_all(folder / "res");
  ExpectOneLineError(WithModule("info"), "resource message: result -1");
}

TEST_F(ModuleFolderSweep, HalfAResourceFolderNamesTheMissingFile) {
  fs::remove(folder / "res" / "description" / "xdrawedge.res");
  const HostRun run = WithModule("info");
  ExpectOneLineError(run, "start: result 0");
  EXPECT_NE(run.output.find("xdrawedge.res"), std::string::npos) << run.output;

  fs::remove_all(folder / "res" / "strings_us");
  ExpectOneLineError(WithModule("info"), "c4d_strings.str");
}

TEST_F(ModuleFolderSweep, TruncatedResourceGivesItsFileAndLine) {
  Truncate(fs::path("res") / "description" / "xsoftedge.res", 200);
  const HostRun run = WithModule("describe SoftEdge");
  ExpectOneLineError(run, "xsoftedge.res:");
}

TEST_F(ModuleFolderSweep, MissingOrTruncatedBitmapsLeaveTheBarUndrawnAndSaySo) {
  fs::remove(folder / "res" / "gui" / "home_a.tif");
  HostRun run = WithModule("panel softedge -o '" + (folder / "panel.png").string() + "'");
  EXPECT_GE(run.exitCode, 0) << "no crash: " << run.output;
  EXPECT_NE(run.output.find("home_a.tif"), std::string::npos) << run.output;

  fs::copy_file(fs::path(TESSALINE_SOURCE_DIR) / "res" / "gui" / "home_a.tif", folder / "res" / "gui" / "home_a.tif");
  Truncate(fs::path("res") / "gui" / "t_cntr.tif", 100);
  run = WithModule("panel drawedge -o '" + (folder / "panel.png").string() + "'");
  EXPECT_GE(run.exitCode, 0) << "no crash: " << run.output;
  EXPECT_NE(run.output.find("t_cntr.tif"), std::string::npos) << run.output;
}

TEST_F(ModuleFolderSweep, AMissingManualLeavesTheHelpButtonInert) {
  // The help button sits between the home button and the bar's right cap.
  const fs::path events = Write("help.events", "click 375 12\n");
  HostRun run = WithModule("panel softedge --width 400 --events '" + events.string() + "'");
  EXPECT_NE(run.output.find("open: " + (folder / "docs" / "manual.pdf").string()), std::string::npos) << run.output;

  fs::remove(folder / "docs" / "manual.pdf");
  run = WithModule("panel softedge --width 400 --events '" + events.string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output.find("open:"), std::string::npos) << run.output;
}

TEST_F(Sweep, FilesThatAreNoModuleAreRefusedByName) {
  fs::create_directories(folder / "module.so");
  ExpectOneLineError(Host("--module '" + (folder / "module.so").string() + "' info"), "not a file");
  const fs::path empty = Write("empty.so", "");
  ExpectOneLineError(Host("--module '" + empty.string() + "' info"), "not a module");
  const fs::path text = Write("text.so", "this is not a shared library\n");
  ExpectOneLineError(Host("--module '" + text.string() + "' info"), "not a module");
  ExpectOneLineError(Host("--module /lib/x86_64-linux-gnu/libm.so.6 info"), "no c4d_main");
  ExpectOneLineError(Host("--module '" + (folder / "missing.so").string() + "' info"), "no such file");
}

}  // namespace
}  // namespace tess::test
