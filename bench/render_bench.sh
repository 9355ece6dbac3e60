#!/usr/bin/env bash
# Renderer benchmark: shading costs against bare Embree rays timed in the same
# run (tessaline-host render --stats), at 640x480, 4 samples, one thread, and
# the speed-up of two threads over one on the demo scene.
#
#   bench/render_bench.sh [BUILD_DIR]      (default: build; ROUNDS=7 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
host=$build/tessaline-host
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
radius=0.3

# A cube corner fills the frame, three edges meeting in the middle: every
# camera ray is a shaded sample, so the bare rays are the shaded samples' own
# primary rays and no ray that misses is charged to a sample.
scene() {  # name, material JSON
  cat > "$work/$1.json" <<JSON
{"camera": {"position": [2.3, 2.1, 2.5], "target": [0, 0, 0], "fov": 24},
 "image": {"width": 640, "height": 480, "samples": 4},
 "objects": [{"name": "box", "mesh": {"primitive": "cube", "size": 2}, "rotation": [0, 3, 0], "material": $2}]}
JSON
}
scene plain '{"color": [0.8, 0.4, 0.3]}'
scene edges '{"color": [0.8, 0.4, 0.3], "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": '$radius'}}}'
scene drawedge '{"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.05}}}'
scene rays '{"color": [0.8, 0.4, 0.3], "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_METHOD": 1, "SOFTEDGE_SAMPLES": 16, "SOFTEDGE_RADIUS": '$radius'}}}'

# Prints: render-ms shaded-samples bare-camera-ns bare-short-ns
measure() {
  "$host" render "$@" -o "$work/out.png" --stats --bare-ray-length $radius |
    awk '/^render /{ms=$2} /^shaded samples/{n=$3} /^bare camera ray/{c=$4} /^bare short ray/{s=$4} END{print ms, n, c, s}'
}
rounds=${ROUNDS:-7}
# The machine's speed drifts over seconds, so the configurations take turns:
# each round renders all of them back to back and yields its own ratios,
# against the bare rays of its own plain render; the table shows the median
# round of each ratio.
for ((r = 0; r < rounds; r++)); do
  read -r plain_ms n cam short <<<"$(measure "$work/plain.json" --threads 1)"
  read -r edges_ms _ _ _ <<<"$(measure "$work/edges.json" --threads 1)"
  read -r draw_ms _ _ _ <<<"$(measure "$work/drawedge.json" --threads 1)"
  read -r rays_ms _ _ _ <<<"$(measure "$work/rays.json" --threads 1)"
  read -r demo1_ms _ _ _ <<<"$(measure --width 640 --height 480 --samples 4 --threads 1)"
  read -r demo2_ms _ _ _ <<<"$(measure --width 640 --height 480 --samples 4 --threads 2)"
  echo "$plain_ms $n $cam $short $edges_ms $draw_ms $rays_ms $demo1_ms $demo2_ms"
done >"$work/rounds"

awk -v radius=$radius '{
  ns = 1e6 / $2  # ms per render -> ns per shaded sample
  plain[NR] = $1 * ns / $3; edges[NR] = ($5 - $1) * ns / $3; draw[NR] = ($6 - $1) * ns / $3
  rays[NR] = ($7 - $1) * ns / (16 * $4); threads[NR] = $8 / $9
  n = $2; cam[NR] = $3; short[NR] = $4
}
END {
  printf "shaded samples per render: %d; median of %d rounds: bare camera ray %.1f ns, bare %g-long ray %.1f ns\n",
         n, NR, median(cam), radius, median(short)
  check("plain render per shaded sample / bare camera ray", plain, 3.0, 1)
  check("SoftEdge edge method, extra per sample / bare camera ray", edges, 1.0, 1)
  check("DrawEdge colour, extra per sample / bare camera ray", draw, 1.0, 1)
  check("SoftEdge 16 rays, extra per sample / 16 bare short rays", rays, 1.5, 1)
  check("demo scene, 2 threads vs 1 (speed-up)", threads, 1.8, 0)
  exit failed
}
function median(a,   i, j, k, t, sorted) {
  k = 0
  for (i in a) sorted[++k] = a[i]
  for (i = 2; i <= k; i++)
    for (j = i; j > 1 && sorted[j - 1] > sorted[j]; j--) { t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t }
  return k % 2 ? sorted[(k + 1) / 2] : (sorted[k / 2] + sorted[k / 2 + 1]) / 2
}
function check(what, values, target, atMost,   value, ok, i, lo, hi) {
  value = median(values)
  lo = hi = value
  for (i in values) { if (values[i] < lo) lo = values[i]; if (values[i] > hi) hi = values[i] }
  ok = atMost ? value <= target : value >= target
  printf "%-58s %5.2f  (rounds %.2f-%.2f; target %s %.1f) %s\n", what, value, lo, hi,
         atMost ? "<=" : ">=", target, ok ? "ok" : "MISSED"
  if (!ok) failed = 1
}' "$work/rounds"
