#!/usr/bin/env bash
# The main job: set up, build, and render the built-in demo scene with the
# fresh module into demo.png (arguments go to the render command).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Only what the main job needs: the host and the module it loads, not the
# tests and benchmarks, so that the first image comes sooner.
TESSALINE_TARGETS="tessaline-host tessaline" "$root/scripts/build.sh"
host="${TESSALINE_BUILD_DIR:-$root/build}/tessaline-host"
"$host" info
"$host" render -o demo.png --stats "$@"
echo "run: wrote demo.png"
