#!/usr/bin/env bash
# The main job: set up, build, and render the built-in demo scene with the
# fresh module into demo.png (arguments go to the render command).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Only what the main job needs: the compiler and the host's libraries, and of
# the build the host and the module it loads, without the tests and
# benchmarks (and so without GoogleTest), so that the first image comes sooner.
"$root/scripts/setup.sh"
TESSALINE_TARGETS="tessaline-host tessaline" "$root/scripts/build.sh" -DTESSALINE_TESTS=OFF -DTESSALINE_BENCH=OFF
host="${TESSALINE_BUILD_DIR:-$root/build}/tessaline-host"
"$host" info
"$host" render -o demo.png --stats "$@"
echo "run: wrote demo.png"
