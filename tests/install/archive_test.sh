#!/usr/bin/env bash
# cpack's ZIP: the plug-in's release archive, tessaline-<version>-linux-x64.zip,
# holds the module folder alone. The archive is made in a temporary folder.
# archive_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G ZIP -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
archive=$work/tessaline-$(cat "$source/VERSION")-linux-x64.zip
[ -f "$archive" ] || {
  echo "archive: cpack made no $(basename "$archive"): $(ls "$work")" >&2
  exit 1
}
bash "$(dirname "$0")/check_plugin_archive.sh" "$archive" tessaline.so "$source"
