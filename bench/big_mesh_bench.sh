#!/usr/bin/env bash
# Big-mesh benchmark: a plane of 1000 x 1000 quads with Soft Edge in the
# normal channel and Draw Edge in the colour channel, rendered at 320x240 with
# several thread counts. Prints the render time, the adjacency tables built
# and the process's peak memory for each, and checks that the peak memory of
# every run stays within 1.5 times that of the first (fewest threads).
#
#   bench/big_mesh_bench.sh [BUILD_DIR]      (THREADS="2 16 64" by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
host=$build/tessaline-host
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/plane.json" <<'JSON'
{"camera": {"position": [0, 6, 7], "target": [0, 0, 0], "fov": 40},
 "image": {"width": 320, "height": 240, "samples": 4},
 "objects": [{"name": "plane", "mesh": {"primitive": "plane", "size": 10, "segments": 1000}, "rotation": [0, 20, 0],
   "material": {"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.002}},
                "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.003}}}}]}
JSON

printf "%-8s %10s %12s %14s\n" threads "render s" "adjacency" "peak memory"
first=0
failed=0
for threads in ${THREADS:-2 16 64}; do
  /usr/bin/time -f "%M" -o "$work/peak" "$host" render "$work/plane.json" -o "$work/out.png" --threads "$threads" \
    --stats >"$work/stats"
  seconds=$(awk '/^render /{print $2 / 1000}' "$work/stats")
  builds=$(awk '/^adjacency builds/{print $3}' "$work/stats")
  peak_kb=$(tail -n 1 "$work/peak")
  [ "$first" -eq 0 ] && first=$peak_kb
  verdict=ok
  if [ $((peak_kb * 2)) -gt $((first * 3)) ]; then
    verdict="MISSED (over 1.5x the first run)"
    failed=1
  fi
  printf "%-8s %10.2f %12s %11d MB  %s\n" "$threads" "$seconds" "${builds:-?}" $((peak_kb / 1024)) "$verdict"
done
exit $failed
