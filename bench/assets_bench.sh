#!/usr/bin/env bash
# Import and welding of a binary STL of a million triangles (a torus of
# 1000 x 500 quads, each split in two, every corner stored apart as STL does),
# made here in the build folder, not committed:
#   - bench_assets: Assimp's read, the conversion, and welding, timed apart;
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
"$build/bench/bench_assets" "$stl"
echo "== once each in a fresh process (cold memory, as the host reads a file); the least of 3 runs"
for bench in AssimpRead ReadModel Weld/1 Weld/0; do
  for _ in 1 2 3; do
    "$build/bench/bench_assets" "$stl" --benchmark_filter="^$bench\$" --benchmark_min_time=0 --benchmark_format=csv 2>/dev/null |
      awk -F, -v b="$bench" '$1 ~ /^"/ && NR > 1 {print b, $4}'
  done | sort -k2 -n | head -n 1 | awk '{printf "%-12s %8.1f ms CPU\n", $1, $2}'
done
echo "== tessaline-host render (320x240, 1 sample) under /usr/bin/time"
/usr/bin/time -f "peak memory %M kB, %e s" "$build/tessaline-host" render "$stl" -o "$build/bench/torus_1m.png" \
  --width 320 --height 240 --samples 1 --stats | grep -E "^(mesh|  welded|read the scene|render )"
