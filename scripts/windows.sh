#!/usr/bin/env bash
# Cross-builds the Windows x64 module tessaline_r15.cdl64 and the module's unit
# tests with mingw-w64, checks the module's exports, runs the tests under wine
# and makes the plug-in's release archive tessaline-<version>-win-x64.zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_WINDOWS_DIR:-$root/build-windows}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"

module="$build/module/tessaline_r15.cdl64"
exports=$(x86_64-w64-mingw32-objdump -p "$module" | awk '/\[Ordinal\/Name Pointer\] Table/{table=1; next} table && NF==0{table=0} table{print $NF}')
if [ "$exports" != "c4d_main" ]; then
  echo "windows: $module must export only c4d_main, but exports: $exports" >&2
  exit 1
fi
echo "windows: $module exports only c4d_main"

export WINEDEBUG=-all
ctest --test-dir "$build" --output-on-failure

# The release archive: the module folder tessaline/ as the application loads it.
(cd "$build" && cpack -G ZIP >/dev/null)
archive="$build/tessaline-$(cat "$root/VERSION")-win-x64.zip"
bash "$root/tests/install/check_plugin_archive.sh" "$archive" tessaline_r15.cdl64 "$root"
echo "windows: wrote $archive"
