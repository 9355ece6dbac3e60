#!/usr/bin/env bash
# Installs the Debian packages the project needs; does nothing when they are
# all present already.
#   scripts/setup.sh           what building the host and its module needs (scripts/run.sh)
#   scripts/setup.sh --tests   that and what the tests, the hardening stages, the
#                              packages and the Windows build need (scripts/test.sh, CI)
set -euo pipefail

tests=false
case "${1:-}" in
  "") ;;
  --tests) tests=true ;;
  *)
    echo "usage: scripts/setup.sh [--tests]" >&2
    exit 2
    ;;
esac

# The compiler, CMake and the host's libraries: enough for the module, the
# host and the first image.
packages=(
  cmake g++ make pkg-config
  libcli11-dev nlohmann-json3-dev libcpp-httplib-dev
  libembree-dev libassimp-dev
  libtiff-dev libpng-dev libopenexr-dev
  libfreetype-dev fonts-dejavu-core
)
if $tests; then
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    assimp-utils poppler-utils
    clang libclang-rt-14-dev clang-tidy clang-format
    g++-mingw-w64-x86-64-posix wine64
    chromium
    help2man dpkg-dev file lintian
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# The browser test runs on Node and npm; any install of them will do.
if $tests && ! command -v npm >/dev/null; then
  missing+=(npm)
fi

if [ ${#missing[@]} -ne 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

$tests || exit 0

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
