#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with.
# Does nothing when they are all present already.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libcpp-httplib-dev
  libembree-dev libtinyobjloader-dev
  libassimp-dev assimp-utils
  libtiff-dev libpng-dev libopenexr-dev
  poppler-utils
  libfreetype-dev fonts-dejavu-core
  clang libclang-rt-14-dev clang-tidy clang-format
  g++-mingw-w64-x86-64-posix wine64
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -ne 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine makes its prefix on first start; doing it here keeps that out of the tests.
if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then
  echo "setup: preparing the wine prefix" >&2
  WINEDEBUG=-all /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
fi

# The browser test drives Debian's Chromium through npm's playwright-core,
# pinned by the lock file.
browser_test="$(cd "$(dirname "$0")/.." && pwd)/tests/web/browser"
if [ ! -d "$browser_test/node_modules/playwright-core" ]; then
  echo "setup: installing the browser test's npm packages" >&2
  (cd "$browser_test" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
