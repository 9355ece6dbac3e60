// The ray sampling method rebuilds its pattern at every shaded point:
// Generate + MapToSphere, multi-jittered, with both arrays taken from and
// returned to the host allocator each time. Count 32 builds 25 points (the
// largest square), as it does in a render.
#include <benchmark/benchmark.h>

#include "host/c4d_api.h"
#include "hostapp/services/services.h"
#include "source/sampler/sampler.h"

namespace {

void BM_GenerateMapToSphere(benchmark::State& state) {
  tess::host::ResetServices();
  HostTable table = tess::host::MakeHostTable();
  SetHostTable(&table);
  const auto count = static_cast<Int32>(state.range(0));
  Sampler sampler(count, 666, SAMPLER_MULTIJITTERED);
  for (auto _ : state) {
    sampler.Generate();
    sampler.MapToSphere();
    benchmark::DoNotOptimize(sampler.GetSphereSample(0));
  }
  sampler.Clear();
  SetHostTable(nullptr);
}

}  // namespace

BENCHMARK(BM_GenerateMapToSphere)->Arg(16)->Arg(32);
