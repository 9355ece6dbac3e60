#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite, then the preview page in a browser.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh" --tests
# scripts/run.sh may have left the tests switched off in the build's cache.
"$root/scripts/build.sh" -DTESSALINE_TESTS=ON -DTESSALINE_BENCH=ON
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
# After the unit tests, so that the browser's timings see an idle machine.
"$root/scripts/browser_test.sh"
