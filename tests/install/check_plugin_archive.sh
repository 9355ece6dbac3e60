#!/usr/bin/env bash
# Checks a plug-in release archive: one top folder tessaline/ holding exactly
# what the application loads: the module library, every file of res/
# (descriptions, string tables, title-bar bitmaps, symbol headers) and
# docs/manual.pdf, and nothing else.
# check_plugin_archive.sh ARCHIVE LIBRARY_NAME SOURCE_DIR
set -euo pipefail
archive=$1
library=$2
source=$3
Fail() {
  echo "archive: $(basename "$archive"): $*" >&2
  exit 1
}
[ -f "$archive" ] || Fail "not made"

# Files only; folders show as their own entries in some archives.
listing=$(cmake -E tar tf "$archive" | grep -v '/$' | sort)
tops=$(cut -d/ -f1 <<<"$listing" | sort -u)
[ "$tops" = tessaline ] || Fail "top folders are not just tessaline/: $(tr '\n' ' ' <<<"$tops")"

expected=$({
  echo "tessaline/$library"
  echo "tessaline/docs/manual.pdf"
  (cd "$source" && find res -type f | sed 's|^|tessaline/|')
} | sort)
if [ "$listing" != "$expected" ]; then
  Fail "holds other files than the module folder:
$(diff <(echo "$expected") <(echo "$listing") | grep '^[<>]' | sed 's/^</  missing:/; s/^>/  extra:  /')"
fi
# The pieces the module cannot start without, named, so that an empty res/
# in the sources cannot pass.
for file in res/description/xsoftedge.res res/description/xdrawedge.res res/strings_us/c4d_strings.str \
  res/strings_us/description/xsoftedge.str res/gui/t_cntr.tif; do
  grep -qx "tessaline/$file" <<<"$listing" || Fail "lacks $file"
done
echo "archive: $(basename "$archive"): tessaline/ with $library, res/ ($(grep -c '/res/' <<<"$listing") files) and the manual"
