#!/usr/bin/env bash
# The main job: set up, build, and run the stand-in host on the fresh module.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
"${TESSALINE_BUILD_DIR:-$root/build}/tessaline-host" info
