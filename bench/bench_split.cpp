// Splitting one polygon of many corners into triangles. A smooth outline of
// a million corners (a wavy disc: half its corners concave) should take about
// a second; a star of random spikes, every edge long and every other corner
// concave, is the hard case and grows faster.
//
//   bench_split [benchmark options]
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "hostapp/assets/polygon_split.h"

namespace {

struct Outline {
  std::vector<HostVector> points;
  std::vector<int32_t> corners;
};

Outline Make(int n, bool spiky) {
  std::mt19937 random(1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Outline o;
  for (int i = 0; i < n; ++i) {
    const double angle = 2 * M_PI * (i + (spiky ? 0.8 * unit(random) : 0.0)) / n;
    const double r = spiky ? 0.3 + 0.7 * unit(random) : 1 + 0.3 * std::sin(50 * angle) + 0.001 * unit(random);
    o.points.push_back({r * std::cos(angle), r * std::sin(angle), 0.0});
    o.corners.push_back(i);
  }
  return o;
}

void Split(benchmark::State& state, bool spiky) {
  const Outline o = Make(static_cast<int>(state.range(0)), spiky);
  std::vector<HostPolygon> out;
  for (auto _ : state) {
    out.clear();
    tess::assets::SplitPolygon(o.points, o.corners.data(), o.corners.size(), out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void SmoothOutline(benchmark::State& state) {
  Split(state, false);
}
void SpikyStar(benchmark::State& state) {
  Split(state, true);
}

BENCHMARK(SmoothOutline)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(SpikyStar)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
