#!/usr/bin/env bash
# Regenerates the title bar's bitmaps in res/gui. The results are committed,
# so this runs only when the artwork changes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

needed=()
/usr/bin/python3 -c 'import PIL' 2>/dev/null || needed+=(python3-pil)
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf ] || needed+=(fonts-dejavu-core)
if [ ${#needed[@]} -gt 0 ]; then
  echo "make_titlebar_bitmaps: installing ${needed[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${needed[@]}" >/dev/null
fi

exec /usr/bin/python3 "$root/scripts/make_titlebar_bitmaps.py" "$root/res/gui"
