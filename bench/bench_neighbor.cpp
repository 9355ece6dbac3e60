// The adjacency table is rebuilt whenever a render thread moves to another
// object, and queried up to four times per shaded sample.
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "hostapp/services/neighbor.h"

namespace {

// A side x side grid of quads in row order, as a modelling tool writes them.
std::vector<HostPolygon> Grid(int32_t side) {
  std::vector<HostPolygon> polys;
  polys.reserve(static_cast<size_t>(side) * static_cast<size_t>(side));
  for (int32_t y = 0; y < side; ++y) {
    for (int32_t x = 0; x < side; ++x) {
      const int32_t p = y * (side + 1) + x;
      polys.push_back(HostPolygon{p, p + 1, p + side + 2, p + side + 1});
    }
  }
  return polys;
}

// Initialises a table from the grid each round. From an emptied table
// (`fresh`), a build, as a render's first thread on an object does; or into a
// table that holds the same mesh, which finds its table again by comparing
// the polygons, as every further thread on that object does.
void BuildGrid(benchmark::State& state, bool fresh) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const std::vector<HostPolygon> polys = Grid(side);
  const int32_t points = (side + 1) * (side + 1);
  const HostNeighborApi& api = *tess::host::NeighborTable();
  HostNeighbor* n = api.create();
  if (!fresh) api.init(n, points, polys.data(), static_cast<int32_t>(polys.size()), nullptr);
  for (auto _ : state) {
    if (fresh) api.flush(n);
    benchmark::DoNotOptimize(api.init(n, points, polys.data(), static_cast<int32_t>(polys.size()), nullptr));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(polys.size()));
  state.counters["edges"] = api.edgeCount(n);
  api.release(n);
}

void BM_NeighborInitGrid(benchmark::State& state) {
  BuildGrid(state, true);
}
BENCHMARK(BM_NeighborInitGrid)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NeighborReinitSameGrid(benchmark::State& state) {
  BuildGrid(state, false);
}
BENCHMARK(BM_NeighborReinitSameGrid)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The four sides of scattered polygons, as the edge walk asks them.
void BM_NeighborEdgePolys(benchmark::State& state) {
  const int32_t side = 1000;
  const std::vector<HostPolygon> polys = Grid(side);
  const HostNeighborApi& api = *tess::host::NeighborTable();
  HostNeighbor* n = api.create();
  api.init(n, (side + 1) * (side + 1), polys.data(), static_cast<int32_t>(polys.size()), nullptr);
  uint32_t state32 = 12345u;
  int64_t sum = 0;
  for (auto _ : state) {
    state32 = state32 * 1664525u + 1013904223u;
    const HostPolygon& p = polys[(state32 >> 8) % polys.size()];
    int32_t f = 0, s = 0;
    api.edgePolys(n, p.a, p.b, &f, &s);
    sum += f + s;
    api.edgePolys(n, p.b, p.c, &f, &s);
    sum += f + s;
    api.edgePolys(n, p.c, p.d, &f, &s);
    sum += f + s;
    api.edgePolys(n, p.d, p.a, &f, &s);
    sum += f + s;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 4);
  api.release(n);
}
BENCHMARK(BM_NeighborEdgePolys);

}  // namespace
