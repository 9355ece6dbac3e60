#!/usr/bin/env bash
# Prints the hash that ties docs/manual.pdf to its source: SHA-256 over the
# per-file SHA-256 lines of the Markdown, its stylesheet and the scenes and
# models its pictures render, in byte order of their paths. make_manual.sh records it in
# the PDF's keywords; the manual test compares the two.
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C
sha256sum docs/manual/manual.md docs/manual/manual.css docs/manual/scenes/* tests/assets/corpus/showcase_* | sha256sum | cut -d' ' -f1
