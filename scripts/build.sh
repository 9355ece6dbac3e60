#!/usr/bin/env bash
# Configures and builds the project into build/ (or $TESSALINE_BUILD_DIR):
# everything, or only the targets named in $TESSALINE_TARGETS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
# shellcheck disable=SC2086 # the targets are words
cmake --build "$build" -j "$(nproc)" ${TESSALINE_TARGETS:+--target $TESSALINE_TARGETS}
