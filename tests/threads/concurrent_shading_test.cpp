// Both shaders evaluated from many render threads at once, each thread with
// its own render thread index, as the renderer drives them. Every thread must
// get the answers a single thread gets; under ThreadSanitizer this is also
// the check that the per-thread slots share nothing.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "hostapp/services/scripted_tracer.h"
#include "source/drawedge/drawedge.h"
#include "source/softedge/softedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

constexpr int threadCount = 6;
constexpr int samplesPerThread = 400;

// Points spread over both quads of a folded pair.
std::vector<HostVolumeData> Records(const Mesh& m, host::SampleContext* context, const HostRay* ray) {
  std::vector<HostVolumeData> records;
  for (int k = 0; k < samplesPerThread; ++k) {
    HostVolumeData vd{};
    const int polygon = k % 2;
    const double t = (k % 97) / 97.0;
    vd.point = polygon == 0 ? HostVector{t, 0.5, 0} : HostVector{1.0 + 0.3 * t, 0.5, 0.5 * t};
    vd.normal = {0, 0, 1};
    vd.secondNormal = {0, 0, 1};
    vd.hitId = {1, polygon};
    vd.context = context;
    vd.renderer = context;
    vd.object = &m.object;
    vd.ray = ray;
    records.push_back(vd);
  }
  return records;
}

// The colours a shader gives for every record, evaluated on `thread`.
template <typename Shader>
std::vector<Vector> Shade(Shader& shader, HostNode& node, std::vector<HostVolumeData> records, int32_t channel) {
  std::vector<Vector> colours;
  BaseShader s(&node);
  for (HostVolumeData& vd : records) {
    HostChannelData cd{};
    cd.flags = channel << 6;
    cd.vd = &vd;
    colours.push_back(shader.Output(&s, &cd));
  }
  return colours;
}

template <typename Shader>
void ExpectSameOnEveryThread(Shader& shader, HostNode& node, const Mesh& mesh, const host::Tracer* tracer,
                             int32_t channel, bool deterministic) {
  HostRay ray{};
  ray.direction = {0, 0, -1};
  std::vector<host::SampleContext> contexts(threadCount);
  for (int t = 0; t < threadCount; ++t) contexts[t] = host::SampleContext{t, tracer};

  BaseShader s(&node);
  ASSERT_EQ(shader.InitRender(&s, HostInitRender{}), 0);
  host::SampleContext single{0, tracer};
  const std::vector<Vector> expected = Shade(shader, node, Records(mesh, &single, &ray), channel);
  shader.FreeRender(&s);

  ASSERT_EQ(shader.InitRender(&s, HostInitRender{}), 0);
  std::vector<std::vector<Vector>> results(threadCount);
  std::vector<std::thread> workers;
  workers.reserve(threadCount);
  for (int t = 0; t < threadCount; ++t)
    workers.emplace_back([&, t] { results[t] = Shade(shader, node, Records(mesh, &contexts[t], &ray), channel); });
  for (std::thread& w : workers) w.join();
  shader.FreeRender(&s);

  for (int t = 0; t < threadCount; ++t) {
    ASSERT_EQ(results[t].size(), expected.size());
    if (deterministic) EXPECT_EQ(results[t], expected) << "thread " << t;
  }
}

class ConcurrentShading : public EdgeTest {
 protected:
  ConcurrentShading() { mesh = FoldedPair(60); }
  std::unique_ptr<Mesh> mesh;
};

TEST_F(ConcurrentShading, SoftEdgeEdgeMethod) {
  Owned<SoftEdge> shader;
  GeListNode n(&node);
  shader->Init(&n);
  node.container.SetFloat(SOFTEDGE_RADIUS, 0.3);
  node.container.SetFloat(SOFTEDGE_ANGLE_MIN, 0.0);
  ExpectSameOnEveryThread(*shader.shader, node, *mesh, nullptr, HOST_CHANNEL_NORMAL, true);
}

TEST_F(ConcurrentShading, SoftEdgeRaySampling) {
  host::ScriptedTracer tracer;
  tracer.SetObject(1, &mesh->object);
  tracer.SetScript([](const host::ScriptedTracer::Request& r) {
    HostIntersection hit{};
    hit.hitId = {1, 1};
    hit.point = r.origin;
    hit.normal = {-0.8, 0, 0.6};
    return host::ScriptedTracer::Answer(hit);
  });
  Owned<SoftEdge> shader;
  GeListNode n(&node);
  shader->Init(&n);
  node.container.SetInt(SOFTEDGE_METHOD, SOFTEDGE_METHOD_SAMPLING);
  node.container.SetFloat(SOFTEDGE_ANGLE_MIN, 0.0);
  // Patterns depend on each thread's own random sequence, so only the run itself is checked here.
  ExpectSameOnEveryThread(*shader.shader, node, *mesh, &tracer, HOST_CHANNEL_NORMAL, false);
}

TEST_F(ConcurrentShading, DrawEdgeInEveryChannel) {
  Owned<DrawEdge> shader;
  GeListNode n(&node);
  shader->Init(&n);
  node.container.SetFloat(DRAWEDGE_WIDTH, 0.2);
  for (int32_t channel : {0, HOST_CHANNEL_BUMP})
    ExpectSameOnEveryThread(*shader.shader, node, *mesh, nullptr, channel, true);
}

}  // namespace
}  // namespace tess::test
