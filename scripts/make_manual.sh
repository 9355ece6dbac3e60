#!/usr/bin/env bash
# Builds docs/manual.pdf from docs/manual/manual.txt. Pictures come from the
# stand-in host (tessaline-host panel / render) when the build has it and the
# command works; the other picture slots are left marked in the PDF.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}

if ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
  echo "make_manual: installing python3-pil" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends python3-pil >/dev/null
fi

exec /usr/bin/python3 "$root/scripts/make_manual.py" --root "$root" --host "$build/tessaline-host" \
  --source "$root/docs/manual/manual.txt" --images "$root/docs/manual/images" --output "$root/docs/manual.pdf"
