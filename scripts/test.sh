#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
