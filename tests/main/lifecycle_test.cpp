// The module's lifecycle through its entry point: init and end nesting, the
// result codes of every action, and the registration failure rules.
#include <algorithm>

#include "tests/main/module_harness.h"

namespace tess::test {
namespace {

constexpr int32_t idTitlebar = 1020977;
constexpr int32_t idSoftEdge = 1020978;
constexpr int32_t idDrawEdge = 1020979;

using Lifecycle = ModuleHarness;

bool Attempted(int32_t id) {
  const auto& a = host::Services().registry.attempts;
  return std::find(a.begin(), a.end(), id) != a.end();
}

TEST_F(Lifecycle, InitAndEndNestAndOnlyTheOutermostPairWorks) {
  EXPECT_EQ(Init(), 1);
  EXPECT_EQ(Message(HOST_MSG_RESOURCE), 1);
  const int64_t heldAfterFirstInit = host::Services().memory.LiveBlocks();
  EXPECT_GT(heldAfterFirstInit, 0) << "the module folder lives in host memory";

  EXPECT_EQ(Init(), 1);  // does nothing else
  EXPECT_EQ(host::Services().memory.LiveBlocks(), heldAfterFirstInit);
  EXPECT_EQ(End(), 1);  // inner end: everything stays
  EXPECT_EQ(host::Services().memory.LiveBlocks(), heldAfterFirstInit);
  EXPECT_EQ(Start(), 1) << "the resource must still be loaded after the inner end";

  Registry().Clear();
  EXPECT_EQ(End(), 1);
  EXPECT_EQ(host::Services().memory.LiveBlocks(), 0);
}

TEST_F(Lifecycle, InitChecksTheHostVersionAndTheModulePath) {
  table.apiVersion = 14999;
  EXPECT_EQ(Init(), -3);
  EXPECT_EQ(End(), 1);

  table.apiVersion = 15000;
  EXPECT_EQ(Init(nullptr), -3) << "no module path";
  EXPECT_EQ(End(), 1);

  EXPECT_EQ(Init(), 1);
}

TEST_F(Lifecycle, RefusedInitSetsUpNoFolderSoTheResourceCannotLoad) {
  table.apiVersion = 14999;
  EXPECT_EQ(Init(), -3);
  table.apiVersion = 15000;  // the module keeps the table pointer, so its calls still work
  EXPECT_EQ(Message(HOST_MSG_RESOURCE), -1);
  EXPECT_EQ(host::Services().memory.LiveBlocks(), 0);
}

TEST_F(Lifecycle, OtherActionsAndMessagesAnswerWithTheirCodes) {
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(c4d_main(HOST_ACTION_QUERY, reinterpret_cast<void*>(7), nullptr, nullptr), 5);
  EXPECT_EQ(c4d_main(5, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(c4d_main(-1, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(Message(1001), 1);
  EXPECT_EQ(Message(0), 1);
  EXPECT_EQ(Message(2), -1);
}

TEST_F(Lifecycle, ResourceMessageFailsWithoutAResourceFolderAndRepeatsItsAnswer) {
  std::filesystem::remove_all(folder.path / "res");
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(Message(HOST_MSG_RESOURCE), -1);
  std::filesystem::copy(std::filesystem::path(TESSALINE_SOURCE_DIR) / "res", folder.path / "res",
                        std::filesystem::copy_options::recursive);
  EXPECT_EQ(Message(HOST_MSG_RESOURCE), -1) << "a repeated message answers as the first did";
  EXPECT_EQ(Start(), 0);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(Lifecycle, MalformedResourceFailsTheMessageWithFileAndLine) {
  folder.Write("res/strings_us/c4d_strings.str", "STRINGTABLE\n{\n  IDS_SOFTEDGE \"Soft Edge;\n}\n");
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(Message(HOST_MSG_RESOURCE), -1);
  const auto notes = host::Services().console.Notes();
  ASSERT_FALSE(notes.empty());
  EXPECT_NE(notes.back().find("c4d_strings.str:3:"), std::string::npos) << notes.back();
}

TEST_F(Lifecycle, StartWithoutResourceFailsAndRegistersNothing) {
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(Start(), 0);
  EXPECT_TRUE(Lines().empty());
  EXPECT_FALSE(Attempted(idSoftEdge));
  EXPECT_FALSE(Attempted(idDrawEdge));
}

TEST_F(Lifecycle, MissingSoftEdgeNameFailsStartBeforeDrawEdgeIsAttempted) {
  folder.Write("res/strings_us/c4d_strings.str", "STRINGTABLE\n{\n  IDS_DRAWEDGE \"Draw Edge\";\n}\n");
  EXPECT_EQ(Launch(), 0);
  EXPECT_TRUE(Lines().empty()) << "no banner";
  EXPECT_FALSE(Attempted(idSoftEdge));
  EXPECT_FALSE(Attempted(idDrawEdge));
}

TEST_F(Lifecycle, RefusedSoftEdgeStopsStartAndDrawEdgeIsNeverAttempted) {
  Registry().refusePlugins.insert(idSoftEdge);
  EXPECT_EQ(Launch(), 0);
  EXPECT_TRUE(Attempted(idSoftEdge));
  EXPECT_FALSE(Attempted(idDrawEdge));
  EXPECT_TRUE(Lines().empty());
}

TEST_F(Lifecycle, UnregisteredDescriptionFailsTheShader) {
  Registry().refuseDescriptions.insert(idSoftEdge);
  EXPECT_EQ(Launch(), 0);
  EXPECT_FALSE(Attempted(idSoftEdge)) << "the shader is not registered without its description";
}

TEST_F(Lifecycle, RefusedDrawEdgeFailsStartButSoftEdgeStaysRegistered) {
  Registry().refusePlugins.insert(idDrawEdge);
  EXPECT_EQ(Launch(), 0);
  EXPECT_NE(Registry().Find(idSoftEdge, HOST_PLUGINTYPE_SHADER), nullptr);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(Lifecycle, RefusedTitlebarLibraryDoesNotStopStart) {
  Registry().refuseLibraries.insert(idTitlebar);
  EXPECT_EQ(Launch(), 1);
  EXPECT_EQ(Registry().Find(idTitlebar, HOST_PLUGINTYPE_CUSTOMGUI), nullptr);
  EXPECT_NE(Registry().Find(idDrawEdge, HOST_PLUGINTYPE_SHADER), nullptr);
  EXPECT_EQ(Lines().size(), 5u);
}

TEST_F(Lifecycle, RefusedTitlebarRegistrationFreesItsObject) {
  Registry().refusePlugins.insert(idTitlebar);
  EXPECT_EQ(Launch(), 1);
  EXPECT_EQ(End(), 1);
  EXPECT_EQ(host::Services().memory.LiveBlocks(), 0) << "nobody else would free the registration object";
}

TEST_F(Lifecycle, FailedFolderAllocationLeavesTheFolderEmpty) {
  host::Services().memory.FailAllocation(1);
  EXPECT_EQ(Init(), 1) << "not reported";
  EXPECT_EQ(Message(HOST_MSG_RESOURCE), -1);
}

TEST_F(Lifecycle, RegistersThreePluginsWithTheirRecords) {
  ASSERT_EQ(Launch(), 1);
  const HostPlugin* gui = Registry().Find(idTitlebar, HOST_PLUGINTYPE_CUSTOMGUI);
  const HostPlugin* soft = Registry().Find(idSoftEdge, HOST_PLUGINTYPE_SHADER);
  const HostPlugin* draw = Registry().Find(idDrawEdge, HOST_PLUGINTYPE_SHADER);
  ASSERT_NE(gui, nullptr);
  ASSERT_NE(soft, nullptr);
  ASSERT_NE(draw, nullptr);
  EXPECT_EQ(gui->name, "Tessaline-Titlebar");
  EXPECT_EQ(gui->customGui.infoFlags, 0x20000000);
  EXPECT_STREQ(gui->customGui.getResourceSym(gui->customGui.object), "TESSALINE_TITLEBAR");
  const int32_t* types = nullptr;
  EXPECT_EQ(gui->customGui.getResourceDataType(gui->customGui.object, &types), 1);
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(types[0], HOST_DATATYPE_STRING);
  const host::Library* lib = Registry().FindLibrary(idTitlebar);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(lib->version, 1000);
  EXPECT_EQ(soft->name, "Soft Edge");
  EXPECT_EQ(soft->descriptionName, "xsoftedge");
  EXPECT_EQ(soft->shader.infoFlags, 0);
  EXPECT_EQ(soft->shader.diskLevel, 0);
  EXPECT_EQ(draw->descriptionName, "xdrawedge");

  // The host allocates and frees shader instances through the records.
  for (const HostPlugin* p : {soft, draw}) {
    void* instance = p->shader.alloc(p->shader.context);
    ASSERT_NE(instance, nullptr);
    p->shader.destroy(instance);
  }
}

TEST_F(Lifecycle, ShaderAllocationFailureReturnsNull) {
  ASSERT_EQ(Launch(), 1);
  const HostPlugin* soft = Registry().Find(idSoftEdge, HOST_PLUGINTYPE_SHADER);
  host::Services().memory.FailAllocation(1);
  EXPECT_EQ(soft->shader.alloc(soft->shader.context), nullptr);
}

TEST_F(Lifecycle, EndWithoutInitIsIgnoredSoALaterInitStillWorks) {
  EXPECT_EQ(End(), 1);
  EXPECT_EQ(Launch(), 1);
  EXPECT_EQ(Lines().size(), 5u);
}

TEST_F(Lifecycle, StartBeforeAnyInitFailsQuietly) {
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(Message(HOST_MSG_RESOURCE), -1);
}

}  // namespace
}  // namespace tess::test
