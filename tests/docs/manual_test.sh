#!/usr/bin/env bash
# The committed manual is no older than its source: the source hash that
# make_manual.sh recorded in the PDF's keywords is the hash of the source now,
# and the version in its title is the one the module reports.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
host=$1

info=$(pdfinfo "$root/docs/manual.pdf")
recorded=$(sed -n 's/^Keywords: *source-sha256 \([0-9a-f]\{64\}\)$/\1/p' <<<"$info")
current=$("$root/scripts/manual_hash.sh")
if [ "$recorded" != "$current" ]; then
  echo "docs/manual.pdf was made from another source (recorded: ${recorded:-none}, now: $current);" \
    "run scripts/make_manual.sh" >&2
  exit 1
fi

version=$("$host" info | sed -n 's/^||  Tessaline v\([0-9.]*\)$/\1/p')
title=$(sed -n 's/^Title: *//p' <<<"$info")
if [ -z "$version" ] || [ "$title" != "Tessaline $version" ]; then
  echo "docs/manual.pdf is titled '$title' but the module reports version '${version:-none}'" >&2
  exit 1
fi
echo "docs/manual.pdf matches its source ($current) and version $version"
