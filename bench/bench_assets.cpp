// Assimp's read of a binary STL of a million triangles against the welding
// of what it read: welding must not cost more than half the read. And the
// whole read in the reader process against the same read in this process:
// the process may cost at most a tenth more.
//
//   bench_assets STL [benchmark options]     (bench/assets_bench.sh makes the STL)
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "hostapp/assets/isolated_import.h"
#include "hostapp/assets/model_import.h"
#include "hostapp/assets/weld.h"

namespace {

std::string stl;

// Peak resident memory in MB of this process, or of its largest child.
double PeakMegabytes(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Assimp alone, as the importer calls it.
void AssimpRead(benchmark::State& state) {
  for (auto _ : state) {
    Assimp::Importer importer;
    if (importer.ReadFile(stl, aiProcess_ValidateDataStructure) == nullptr) {
      state.SkipWithError(importer.GetErrorString());
      return;
    }
  }
}

// The whole import: Assimp's read and validation, then the node transforms
// and polygons, timed apart by the importer itself.
void ReadModel(benchmark::State& state) {
  double read = 0.0, convert = 0.0;
  for (auto _ : state) {
    const tess::assets::ModelResult r = tess::assets::ReadModel(stl);
    if (r.model == nullptr) {
      state.SkipWithError(r.error.c_str());
      return;
    }
    read += r.model->readSeconds;
    convert += r.model->convertSeconds;
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["assimp_ms"] = read * 1e3 / n;
  state.counters["convert_ms"] = convert * 1e3 / n;
  state.counters["peak_MB"] = PeakMegabytes(RUSAGE_SELF);
}

// The whole read as the host does it: the header checks here, the read in
// tessaline-import (TESSALINE_IMPORT_READER), the answer through the memory
// file and its checks. The reader's CPU time is not this process's: compare
// real time with ReadModel's real time.
void IsolatedRead(benchmark::State& state) {
  const char* reader = std::getenv("TESSALINE_IMPORT_READER");
  if (reader == nullptr) {
    state.SkipWithError("TESSALINE_IMPORT_READER names no reader");
    return;
  }
  for (auto _ : state) {
    const tess::assets::ModelResult r =
        tess::assets::ImportIsolated(stl, std::nullopt, reader, tess::assets::DefaultImportLimits());
    if (r.model == nullptr) {
      state.SkipWithError(r.error.c_str());
      return;
    }
  }
  // The host reaps a reader that has answered in the background: its figures
  // count here once it has been reaped.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  state.counters["host_peak_MB"] = PeakMegabytes(RUSAGE_SELF);
  state.counters["reader_peak_MB"] = PeakMegabytes(RUSAGE_CHILDREN);
  // On a busy machine the clock counts other programs too: the CPU time of
  // host and reader together is the figure to hold against ReadModel's CPU.
  rusage readers{};
  getrusage(RUSAGE_CHILDREN, &readers);
  const auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
  };
  state.counters["reader_cpu_ms"] =
      (ms(readers.ru_utime) + ms(readers.ru_stime)) / static_cast<double>(state.iterations());
}

tess::assets::PolygonMesh Placed() {
  const tess::assets::ModelResult r = tess::assets::ReadModel(stl);
  tess::assets::PolygonMesh all;
  if (r.model == nullptr) return all;
  for (const auto& node : r.model->nodes) {
    const auto base = static_cast<int32_t>(all.points.size());
    all.points.insert(all.points.end(), node.view.points.begin(), node.view.points.end());
    for (const HostPolygon& p : node.view.polygons)
      all.polygons.push_back({p.a + base, p.b + base, p.c + base, p.d + base});
  }
  return all;
}

// Arg 1: the default relative tolerance; arg 0: exact positions only.
void Weld(benchmark::State& state) {
  const tess::assets::PolygonMesh placed = Placed();
  if (placed.points.empty()) {
    state.SkipWithError("cannot read the STL");
    return;
  }
  const double distance = state.range(0) != 0 ? tess::assets::RelativeWeldDistance(placed.points) : 0.0;
  size_t after = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tess::assets::PolygonMesh mesh = placed;
    state.ResumeTiming();
    after = tess::assets::Weld(mesh, distance).pointsAfter;
    benchmark::DoNotOptimize(mesh.points.data());
  }
  state.counters["points_in"] = static_cast<double>(placed.points.size());
  state.counters["points_out"] = static_cast<double>(after);
}

}  // namespace

// CPU time is the figure to compare: on a shared machine the wall clock
// also counts other programs. Repeated in one process, every run after the
// first finds its memory mapped already; bench/assets_bench.sh also runs
// each once in a fresh process, as the host reads a file.
BENCHMARK(AssimpRead)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadModel)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadModel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(IsolatedRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Weld)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: bench_assets STL [benchmark options]\n");
    return 1;
  }
  stl = argv[1];
  argv[1] = argv[0];
  ++argv;
  --argc;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
