// The preview's document: every edit returns what takes it back, and that
// returns the edit again; nodes an edit lets go are held by its undo, not by
// the scene, and freed with it.
#include <gtest/gtest.h>

#include "hostapp/gui/dialogs.h"
#include "hostapp/render/module_host.h"
#include "hostapp/services/services.h"
#include "hostapp/web/preview_scene.h"

namespace tess::test {
namespace {

using web::PreviewScene;
using web::Slot;

constexpr size_t softEdges = 2, drawnEdges = 4;

class PreviewDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetServices();
    gui::InstallGuiTables();
    ASSERT_EQ(module.Start(TESSALINE_MODULE), "");
    std::string error;
    document = PreviewScene::Open("", &error);
    ASSERT_NE(document, nullptr) << error;
  }
  void TearDown() override {
    document.reset();
    EXPECT_EQ(module.Finish(), "");
  }

  double Radius() const {
    const render::Json panel = document->Panel(softEdges, Slot::Normal);
    return Find(panel["elements"], "SOFTEDGE_RADIUS")->at("value").get<double>();
  }
  static const render::Json* Find(const render::Json& elements, const std::string& symbol) {
    for (const render::Json& e : elements) {
      if (e.value("symbol", "") == symbol) return &e;
      if (e.contains("elements"))
        if (const render::Json* inner = Find(e["elements"], symbol)) return inner;
    }
    return nullptr;
  }
  render::Json Link() const {
    const render::Json panel = document->Panel(drawnEdges, Slot::Color);
    return Find(panel["elements"], "DRAWEDGE_DISTORTION_SHADER")->at("value");
  }
  void SetLink(const render::Json& value) {
    document->SetParameters(drawnEdges, Slot::Color, {{"symbol", "DRAWEDGE_DISTORTION_SHADER"}, {"value", value}});
  }

  render::ModuleHost module;
  std::unique_ptr<PreviewScene> document;
};

TEST_F(PreviewDocument, EditsReturnTheirInverseAndItsInverseRedoes) {
  const double before = Radius();
  web::ChannelState undo =
      document->SetParameters(softEdges, Slot::Normal, {{"symbol", "SOFTEDGE_RADIUS"}, {"value", before + 0.25}});
  EXPECT_DOUBLE_EQ(Radius(), before + 0.25);
  web::ChannelState redo = document->Restore(std::move(undo));
  EXPECT_DOUBLE_EQ(Radius(), before);
  document->Restore(std::move(redo));
  EXPECT_DOUBLE_EQ(Radius(), before + 0.25);

  web::ChannelState shaderUndo = document->SetShader(softEdges, Slot::Normal, "DrawEdge");
  EXPECT_EQ(document->ObjectEntry(softEdges)["channels"]["normal"]["shader"], "Draw Edge");
  document->Restore(std::move(shaderUndo));
  EXPECT_EQ(document->ObjectEntry(softEdges)["channels"]["normal"]["shader"], "Soft Edge");
  EXPECT_DOUBLE_EQ(Radius(), before + 0.25);
}

TEST_F(PreviewDocument, AReplacedLinkedShaderIsFreedUnlessAnUndoHoldsIt) {
  const size_t nodes = document->NodeCount();
  const int64_t blocks = host::Services().memory.LiveBlocks();
  for (int i = 0; i < 20; ++i) SetLink({{"shader", i % 2 == 0 ? "SoftEdge" : "noise"}});
  SetLink(nullptr);
  EXPECT_EQ(document->NodeCount(), nodes);
  // The module's objects behind the linked Soft Edge nodes went with them.
  EXPECT_EQ(host::Services().memory.LiveBlocks(), blocks);

  SetLink({{"shader", "noise"}, {"params", {{"scale", 3}}}});
  web::ChannelState undo =
      document->SetParameters(drawnEdges, Slot::Color, {{"symbol", "DRAWEDGE_DISTORTION_SHADER"}, {"value", nullptr}});
  EXPECT_EQ(document->NodeCount(), nodes);
  EXPECT_EQ(undo.nodes.size(), 1u);
  document->Restore(std::move(undo));
  EXPECT_EQ(Link()["shader"], "noise");
  EXPECT_EQ(Link()["params"]["scale"], 3.0);
}

}  // namespace
}  // namespace tess::test
