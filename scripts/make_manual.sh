#!/usr/bin/env bash
# Builds docs/manual.pdf from docs/manual/manual.md: the stand-in host renders
# the pictures, marked turns the Markdown into HTML and weasyprint typesets it
# with docs/manual/manual.css. Installs what it needs from Debian when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
# Debian installs Node modules there; Node from other builds does not look there by itself.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

missing=()
command -v weasyprint >/dev/null || missing+=(weasyprint)
node -e 'require("marked")' 2>/dev/null || missing+=(node-marked)
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || missing+=(fonts-dejavu-core)
if [ ${#missing[@]} -ne 0 ]; then
  echo "make_manual: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "make_manual: no build in $build; run scripts/build.sh first" >&2
  exit 1
fi
# The pictures show what this tree's module does.
cmake --build "$build" --target tessaline-host tessaline >/dev/null

cd "$root"
mkdir -p "$build/manual"
node scripts/manual_html.js docs/manual/manual.md "$build/tessaline-host" "$(scripts/manual_hash.sh)" \
  "$build/manual/manual.html"
weasyprint --base-url docs/manual/ "$build/manual/manual.html" docs/manual.pdf
echo "make_manual: wrote docs/manual.pdf"
