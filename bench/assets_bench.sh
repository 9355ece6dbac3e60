#!/usr/bin/env bash
# Import and welding of a binary STL of a million triangles (a torus of
# 1000 x 500 quads, each split in two, every corner stored apart as STL does),
# made here in the build folder, not committed:
#   - bench_assets: Assimp's read, the conversion, and welding, timed apart;
#     the whole read in the reader process (tessaline-import) against the same
#     read in one process (at most 1.1x), welding against Assimp's read (at
#     most 0.5x), and the peak memory of host and reader;
#   - tessaline-host render STL --stats under /usr/bin/time: the same phases
#     in the host, and its peak memory.
#
#   bench/assets_bench.sh [BUILD_DIR]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
stl=$build/bench/torus_1m.stl
if [ ! -f "$stl" ]; then
  mkdir -p "$(dirname "$stl")"
  python3 - "$stl" <<'PY'
import math, struct, sys
n, m, R, r = 1000, 500, 1.0, 0.35
ring = [[((R + r * math.cos(2 * math.pi * j / m)) * math.cos(2 * math.pi * i / n), r * math.sin(2 * math.pi * j / m),
          (R + r * math.cos(2 * math.pi * j / m)) * math.sin(2 * math.pi * i / n)) for j in range(m)] for i in range(n)]
record = struct.Struct("<12fH")
with open(sys.argv[1], "wb") as f:
    f.write(b"binary STL: a torus of a million triangles".ljust(80, b" "))
    f.write(struct.pack("<I", 2 * n * m))
    for i in range(n):
        for j in range(m):
            a, b = ring[i][j], ring[(i + 1) % n][j]
            c, d = ring[(i + 1) % n][(j + 1) % m], ring[i][(j + 1) % m]
            f.write(record.pack(0, 0, 0, *a, *b, *c, 0))
            f.write(record.pack(0, 0, 0, *a, *c, *d, 0))
PY
fi
echo "== $(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-)"
echo "== repeated in one process (warm memory)"
TESSALINE_IMPORT_READER="$build/tessaline-import" "$build/bench/bench_assets" "$stl"
echo "== once each in a fresh process (cold memory, as the host reads a file); the least of 3 runs"
runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
for bench in AssimpRead ReadModel ReadModel/real_time IsolatedRead/real_time Weld/1 Weld/0; do
  for run in 1 2 3; do
    TESSALINE_IMPORT_READER="$build/tessaline-import" "$build/bench/bench_assets" "$stl" \
      --benchmark_filter="^$bench\$" --benchmark_min_time=0 --benchmark_format=json \
      >"$runs/${bench//\//_}.$run.json" 2>/dev/null
  done
done
python3 - "$runs" <<'PY'
import glob, json, os, sys
best = {}
for path in glob.glob(os.path.join(sys.argv[1], "*.json")):
    for b in json.load(open(path)).get("benchmarks", []):
        if b.get("error_occurred"):
            sys.exit(f"{b['name']}: {b.get('error_message')}")
        key = "real_time" if b["name"].endswith("/real_time") else "cpu_time"
        if b["name"] not in best or b[key] < best[b["name"]][key]:
            best[b["name"]] = b
for name, b in sorted(best.items()):
    key = "real_time" if name.endswith("/real_time") else "cpu_time"
    print(f"{name:24} {b[key]:8.1f} ms {'real' if key == 'real_time' else 'CPU'}")
whole, inside = best["IsolatedRead/real_time"], best["ReadModel/real_time"]
print(f"whole read in the reader process / in-process read: {whole['real_time'] / inside['real_time']:.2f} on the clock"
      f" (at most 1.1 on an idle machine), {(whole['cpu_time'] + whole['reader_cpu_ms']) / best['ReadModel']['cpu_time']:.2f}"
      " in CPU time of host and reader together")
print(f"welding / Assimp's read: {best['Weld/1']['cpu_time'] / best['AssimpRead']['cpu_time']:.2f}  (at most 0.5)")
print(f"peak memory: in-process read {best['ReadModel']['peak_MB']:.0f} MB; through the reader: "
      f"host {whole['host_peak_MB']:.0f} MB, reader {whole['reader_peak_MB']:.0f} MB")
PY
echo "== tessaline-host render (320x240, 1 sample) under /usr/bin/time (peak: the larger of host and reader)"
/usr/bin/time -f "peak memory %M kB, %e s" "$build/tessaline-host" render "$stl" -o "$build/bench/torus_1m.png" \
  --width 320 --height 240 --samples 1 --stats | grep -E "^(mesh|  welded|read the scene|render )"
