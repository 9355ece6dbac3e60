// Per-sample cost of the edge shaders on a 10k-quad mesh, one thread, with
// the host's real adjacency, curves and allocator behind them.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "host/c4d_memory.h"
#include "hostapp/services/gradient.h"
#include "hostapp/services/render_data.h"
#include "hostapp/services/scene.h"
#include "hostapp/services/services.h"
#include "hostapp/services/spline.h"
#include "source/drawedge/drawedge.h"
#include "source/softedge/softedge.h"

namespace {

constexpr int gridSize = 100;  // 100 x 100 quads
constexpr int sampleCount = 4096;

// A wavy grid, so that the edges have a spread of angles between their faces.
// Quads are 0.1 units wide unless told otherwise.
struct Grid {
  std::vector<HostVector> points;
  std::vector<HostPolygon> polygons;
  HostObject source;
  HostRayObject object{};

  explicit Grid(double spacing = 0.1) {
    for (int j = 0; j <= gridSize; ++j)
      for (int i = 0; i <= gridSize; ++i)
        points.push_back({i * spacing, 0.8 * spacing * std::sin(i * 1.3) * std::cos(j * 0.7), j * spacing});
    for (int j = 0; j < gridSize; ++j)
      for (int i = 0; i < gridSize; ++i) {
        const int a = j * (gridSize + 1) + i;
        polygons.push_back({a, a + gridSize + 1, a + gridSize + 2, a + 1});
      }
    object = {points.data(), static_cast<int32_t>(points.size()), polygons.data(),
              static_cast<int32_t>(polygons.size()), &source};
  }
};

// Hit records at random points of the polygons. In random order every sample
// finds the mesh's tables cold in the cache, the worst case; in render order
// the polygons follow each other as a camera's rows sweep the grid.
enum class Order { Random, Render };

struct Samples {
  std::vector<HostVolumeData> records;
  std::vector<HostChannelData> channels;
  tess::host::SampleContext context{0, nullptr};

  Samples(const Grid& grid, int32_t channel, Order order = Order::Random)
      : records(sampleCount), channels(sampleCount) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> pick(0, static_cast<int32_t>(grid.polygons.size()) - 1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int k = 0; k < sampleCount; ++k) {
      const auto polygonCount = static_cast<int32_t>(grid.polygons.size());
      const int32_t p = order == Order::Random ? pick(random) : k * polygonCount / sampleCount;
      const HostPolygon& q = grid.polygons[p];
      const double u = unit(random), v = unit(random);
      const HostVector& a = grid.points[q.a];
      const HostVector& b = grid.points[q.b];
      const HostVector& d = grid.points[q.d];
      HostVolumeData& vd = records[k];
      vd.point = {a.x + (d.x - a.x) * u + (b.x - a.x) * v, a.y, a.z + (d.z - a.z) * u + (b.z - a.z) * v};
      vd.normal = {0, 1, 0};
      vd.secondNormal = vd.normal;
      vd.hitId = {1, p};
      vd.context = &context;
      vd.renderer = &context;
      vd.object = &grid.object;
      channels[k].flags = channel << 6;
      channels[k].vd = &vd;
    }
  }
};

struct Host {
  HostTable table;
  Host() {
    tess::host::ResetServices();
    table = tess::host::MakeHostTable();
    SetHostTable(&table);
  }
  ~Host() { SetHostTable(nullptr); }
};

void LineCurve(HostNode& node, int32_t id) {
  auto curve = std::make_unique<HostSpline>();
  curve->SetLinePreset(2);
  node.container.SetData(id, std::move(curve));
}

// Prepares the shader, shades the samples round and round while timed, and
// releases the shader.
void ShadeSamples(benchmark::State& state, ShaderData* shader, HostNode& node, Samples& samples) {
  BaseShader s(&node);
  shader->InitRender(&s, HostInitRender{});
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(shader->Output(&s, &samples.channels[k]));
    k = (k + 1) % sampleCount;
  }
  shader->FreeRender(&s);
  DeleteObj(shader);
}

void SoftEdgeOutput(benchmark::State& state) {
  Host host;
  Grid grid;
  Samples samples(grid, HOST_CHANNEL_NORMAL);
  HostNode node;
  node.container.SetFloat(SOFTEDGE_ANGLE_MIN, 5 * 3.141592653589793 / 180);
  node.container.SetFloat(SOFTEDGE_RADIUS, 0.03);
  LineCurve(node, SOFTEDGE_PROFILE);
  ShaderData* shader = SoftEdge::Alloc();
  ShadeSamples(state, shader, node, samples);
}
BENCHMARK(SoftEdgeOutput);

// Draw Edge's walk: EvaluateEdge over the sides, combined as Output combines them.
class DrawEdgeWalk : public DrawEdge {
 public:
  Float Walk(const ChannelData* cd) {
    edges::Hit hit;
    if (!edges::FindHit(cd, &hit)) return 1.0;
    edges::SpareTables spare;
    const edges::ObjectTables tables = cache.For(GetRenderThreadIndex(hit.vd), hit.object, spare);
    Float running = 0.0;
    Int32 hits = 0;
    const Vector point = hit.vd->point;
    edges::WalkSides(hit.corners, [&](Int32 first, Int32 second, Int32 side) {
      Float value = 0.0;
      if (!EvaluateEdge(first, second, hit.polygon, hit.object->points, hit.object->polygons, tables.adjacency, point,
                        value, BaseSelect(), side, tables.faceNormals))
        return;
      running = hits++ == 0 ? value : CombineEdgeValues(running, value);
    });
    return hits == 0 ? 1.0 : running;
  }
};

void DrawEdgeEdgeWalk(benchmark::State& state) {
  Host host;
  Grid grid;
  Samples samples(grid, 0);
  HostNode node;
  node.container.SetFloat(DRAWEDGE_WIDTH, 0.03);
  LineCurve(node, DRAWEDGE_FALLOFF);
  auto gradient = std::make_unique<HostGradient>();
  gradient->InsertKnot(HostGradient::DefaultKnot());
  node.container.SetData(DRAWEDGE_GRADIENT, std::move(gradient));
  DrawEdgeWalk walk;
  BaseShader s(&node);
  walk.InitRender(&s, HostInitRender{});
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(walk.Walk(&samples.channels[k]));
    k = (k + 1) % sampleCount;
  }
  walk.FreeRender(&s);
}
BENCHMARK(DrawEdgeEdgeWalk);

// With the defaults every side of a 0.1-unit quad lies within the width of 2
// (first argument 100: the worst case); 2-unit quads (2000) make a 10k-quad
// mesh 200 units across, the size of a new object in the application. The
// second argument picks render order (1) or random order (0).
void DrawEdgeOutput(benchmark::State& state) {
  Host host;
  Grid grid(static_cast<double>(state.range(0)) / 1000.0);
  Samples samples(grid, 0, state.range(1) != 0 ? Order::Render : Order::Random);
  HostNode node;
  ShaderData* shader = DrawEdge::Alloc();
  GeListNode n(&node);
  shader->Init(&n);
  ShadeSamples(state, shader, node, samples);
}
BENCHMARK(DrawEdgeOutput)->ArgsProduct({{100, 2000}, {0, 1}})->ArgNames({"spacing", "render_order"});

// Answers every ray at once with a hit on the shaded object, so that only the
// shader's own work is measured.
class InstantTracer : public tess::host::Tracer {
 public:
  explicit InstantTracer(const HostRayObject* o) : object(o) {}
  bool Trace(const HostVolumeData&, const HostRay& ray, double, const HostHitId&,
             HostIntersection* out) const override {
    out->hitId = {1, 0};
    out->point = ray.origin;
    out->normal = {0, 0.7071067811865476, 0.7071067811865476};
    return true;
  }
  const HostRayObject* HitObject(const HostHitId&) const override { return object; }

 private:
  const HostRayObject* object;
};

// Hit records on the grid whose traces go to the instant tracer, each with
// a ray record pointing down the y axis.
struct InstantScene {
  Host host;
  Grid grid;
  Samples samples{grid, HOST_CHANNEL_NORMAL};
  InstantTracer tracer{&grid.object};
  HostRay ray{};

  InstantScene() {
    samples.context.tracer = &tracer;
    ray.direction = {0, -1, 0};
    for (auto& vd : samples.records) vd.ray = &ray;
  }
};

// Per call; the per-ray figure is the time divided by the sample count.
void SampledOutputOverhead(benchmark::State& state) {
  InstantScene scene;
  HostNode node;
  ShaderData* shader = SoftEdge::Alloc();
  GeListNode n(&node);
  shader->Init(&n);
  node.container.SetInt(SOFTEDGE_METHOD, SOFTEDGE_METHOD_SAMPLING);
  node.container.SetInt(SOFTEDGE_SAMPLES, static_cast<int32_t>(state.range(0)));
  node.container.SetBool(SOFTEDGE_SAME_OBJECT, true);
  ShadeSamples(state, shader, node, scene.samples);
  state.counters["ns_per_ray"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(SampledOutputOverhead)->Arg(16)->Arg(32);

// One trace through the host table to the tracer above, as SampledOutput
// makes it: the trace itself, to take off ns_per_ray for the overhead beyond it.
void InstantTraceCall(benchmark::State& state) {
  InstantScene scene;
  const HostHitId none{0, 0};
  size_t k = 0;
  for (auto _ : state) {
    HostIntersection hit{};
    benchmark::DoNotOptimize(TraceGeometry(&scene.samples.records[k], scene.ray, 0.1, none, &hit));
    benchmark::DoNotOptimize(hit);
    k = (k + 1) % sampleCount;
  }
}
BENCHMARK(InstantTraceCall);

}  // namespace
