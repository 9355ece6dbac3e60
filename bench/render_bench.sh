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
# The machine's speed drifts over seconds, and whatever else runs on it only
# ever adds time. So the configurations take turns, each round rendering all
# of them back to back, and every time in the table is the least disturbed
# (smallest) of its rounds; the spread column shows how far the slowest round
# of each render lay above it.
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
  for (i = 1; i <= NF; i++) {
    if (NR == 1 || $i < low[i]) low[i] = $i
    if (NR == 1 || $i > high[i]) high[i] = $i
  }
}
END {
  ns = 1e6 / low[2]  # ms per render -> ns per shaded sample
  printf "shaded samples per render: %d; least of %d rounds: bare camera ray %.1f ns, bare %g-long ray %.1f ns\n",
         low[2], NR, low[3], radius, low[4]
  check("plain render per shaded sample / bare camera ray", low[1] * ns / low[3], 3.0, 1, 1)
  check("SoftEdge edge method, extra per sample / bare camera ray", (low[5] - low[1]) * ns / low[3], 1.0, 1, 5)
  check("DrawEdge colour, extra per sample / bare camera ray", (low[6] - low[1]) * ns / low[3], 1.0, 1, 6)
  check("SoftEdge 16 rays, extra per sample / 16 bare short rays", (low[7] - low[1]) * ns / (16 * low[4]), 1.5, 1, 7)
  check("demo scene, 2 threads vs 1 (speed-up)", low[8] / low[9], 1.8, 0, 9)
  exit failed
}
function check(what, value, target, atMost, column,   ok) {
  ok = atMost ? value <= target : value >= target
  printf "%-58s %5.2f  (target %s %.1f; spread +%2.0f%%) %s\n", what, value, atMost ? "<=" : ">=", target,
         100 * (high[column] / low[column] - 1), ok ? "ok" : "MISSED"
  if (!ok) failed = 1
}' "$work/rounds"
