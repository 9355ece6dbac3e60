#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite, then the preview page in a browser.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
# After the unit tests, so that the browser's timings see an idle machine.
"$root/scripts/browser_test.sh"
