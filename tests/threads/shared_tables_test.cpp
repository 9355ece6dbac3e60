// Many render threads shading two big objects at once, with samples that
// alternate between the objects so that every thread keeps refreshing its
// slot: each thread must get exactly the answers one thread gets, while the
// host builds one adjacency table per object for the whole render and the
// shaders share one set of face normals. Under ThreadSanitizer this is the
// check that the shared tables are only read once published.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "hostapp/services/shared_adjacency.h"
#include "source/drawedge/drawedge.h"
#include "source/softedge/softedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

constexpr int threadCount = 24;
constexpr int samplesPerThread = 300;
constexpr int gridSize = 150;  // quads along a side: 22,500 per object

// A wavy grid of quads 0.1 wide, so that its edges have a spread of angles.
std::unique_ptr<Mesh> WavyGrid(double phase) {
  auto m = std::make_unique<Mesh>();
  for (int j = 0; j <= gridSize; ++j)
    for (int i = 0; i <= gridSize; ++i)
      m->points.push_back({i * 0.1, 0.08 * std::sin(i * 1.3 + phase) * std::cos(j * 0.7), j * 0.1});
  for (int j = 0; j < gridSize; ++j)
    for (int i = 0; i < gridSize; ++i) {
      const int32_t a = j * (gridSize + 1) + i;
      m->polygons.push_back({a, a + gridSize + 1, a + gridSize + 2, a + 1});
    }
  m->Finish();
  return m;
}

// Samples at scattered points of both grids, taking turns between them. Every
// thread shades the same samples, in an order of its own.
std::vector<HostVolumeData> Records(const Mesh* const grids[2], host::SampleContext* context, int shift) {
  std::vector<HostVolumeData> records;
  const int32_t polygons = gridSize * gridSize;
  for (int n = 0; n < samplesPerThread; ++n) {
    const int k = (n + shift) % samplesPerThread;
    const Mesh& m = *grids[k % 2];
    const int32_t p = static_cast<int32_t>((int64_t{k} * 7919) % polygons);
    const HostPolygon& q = m.polygons[static_cast<size_t>(p)];
    const HostVector& a = m.points[static_cast<size_t>(q.a)];
    const double u = (k % 13) / 13.0, v = (k % 7) / 7.0;
    HostVolumeData vd{};
    vd.point = {a.x + 0.1 * v, a.y, a.z + 0.1 * u};
    vd.normal = {0, 1, 0};
    vd.secondNormal = vd.normal;
    vd.hitId = {1, p};
    vd.context = context;
    vd.renderer = context;
    vd.object = &m.object;
    records.push_back(vd);
  }
  return records;
}

// Answers in sample order, whatever order the thread took them in.
template <typename Shader>
std::vector<Vector> Shade(Shader& shader, HostNode& node, std::vector<HostVolumeData> records, int shift,
                          int32_t channel) {
  std::vector<Vector> colours(records.size());
  BaseShader s(&node);
  for (size_t n = 0; n < records.size(); ++n) {
    HostChannelData cd{};
    cd.flags = channel << 6;
    cd.vd = &records[n];
    colours[(n + static_cast<size_t>(shift)) % records.size()] = shader.Output(&s, &cd);
  }
  return colours;
}

class SharedTables : public EdgeTest {
 protected:
  SharedTables() : first(WavyGrid(0.0)), second(WavyGrid(0.9)) {}

  template <typename Shader>
  void ExpectOneTableAndSameAnswers(Shader& shader, int32_t channel) {
    const Mesh* const grids[2] = {first.get(), second.get()};
    BaseShader s(&node);
    ASSERT_EQ(shader.InitRender(&s, HostInitRender{}), 0);
    host::SampleContext single{0, nullptr};
    const std::vector<Vector> expected = Shade(shader, node, Records(grids, &single, 0), 0, channel);
    shader.FreeRender(&s);

    std::vector<host::SampleContext> contexts(threadCount);
    for (int t = 0; t < threadCount; ++t) contexts[t] = host::SampleContext{t, nullptr};
    const host::AdjacencyRetention keepTables;  // as the renderer keeps them
    const uint64_t buildsBefore = host::AdjacencyBuilds();
    ASSERT_EQ(shader.InitRender(&s, HostInitRender{}), 0);
    std::vector<std::vector<Vector>> results(threadCount);
    std::vector<std::thread> workers;
    workers.reserve(threadCount);
    for (int t = 0; t < threadCount; ++t)
      workers.emplace_back([&, t] {
        const int shift = t * 37;
        results[t] = Shade(shader, node, Records(grids, &contexts[t], shift), shift, channel);
      });
    for (std::thread& w : workers) w.join();
    shader.FreeRender(&s);

    EXPECT_EQ(host::AdjacencyBuilds() - buildsBefore, 2u) << "one table per object for every thread";
    for (int t = 0; t < threadCount; ++t) EXPECT_EQ(results[t], expected) << "thread " << t;
  }

  std::unique_ptr<Mesh> first, second;
};

TEST_F(SharedTables, SoftEdgeAnswersAlikeOnEveryThread) {
  Owned<SoftEdge> shader;
  GeListNode n(&node);
  shader->Init(&n);
  node.container.SetFloat(SOFTEDGE_RADIUS, 0.03);
  node.container.SetFloat(SOFTEDGE_ANGLE_MIN, 0.0);
  ExpectOneTableAndSameAnswers(*shader.shader, HOST_CHANNEL_NORMAL);
}

TEST_F(SharedTables, DrawEdgeAnswersAlikeOnEveryThread) {
  Owned<DrawEdge> shader;
  GeListNode n(&node);
  shader->Init(&n);
  node.container.SetFloat(DRAWEDGE_WIDTH, 0.02);
  node.container.SetFloat(DRAWEDGE_ANGLE_MIN, 0.0);
  ExpectOneTableAndSameAnswers(*shader.shader, 0);
}

}  // namespace
}  // namespace tess::test
