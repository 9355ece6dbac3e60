#!/usr/bin/env bash
# The preview page: its pure parts under Node's test runner, then the page in
# headless Chromium: starts `tessaline-host serve` on loopback, plays the
# user's scenario on the page, prints the measured timings and keeps a
# screenshot in build/web-artifacts/preview.png.
# Needs a build and the browser test's npm packages (scripts/setup.sh --tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
browser=$root/tests/web/browser
if [ ! -d "$browser/node_modules/playwright-core" ]; then
  echo "browser_test: playwright-core is missing; run scripts/setup.sh --tests" >&2
  exit 1
fi
timeout 60 node --test "$browser/page_logic_test.mjs"
# The scenario bounds itself and stops its server; the outer limit only
# catches a scenario that hangs in spite of that.
timeout --kill-after=10 360 node "$browser/preview_scenario.mjs" \
  --host "$build/tessaline-host" --artifacts "$build/web-artifacts" --chromium /usr/bin/chromium
