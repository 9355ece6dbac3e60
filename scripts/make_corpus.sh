#!/usr/bin/env bash
# Makes the mesh corpus of tests/assets/corpus/: models as other tools write
# them, to check that `tessaline-host render MODEL` reads what people bring.
#   - Blender (scripts/corpus_blender.py): a monkey head, a truck, a standing
#     figure, a flat letter C, in each format Blender exports that Assimp reads;
#   - OpenSCAD (tests/assets/corpus/source/*.scad): CAD parts as ASCII and
#     binary STL, OFF, AMF and 3MF;
#   - by hand (scripts/corpus_handmade.py): concave and many-cornered polygons,
#     odd headers, and files that must be refused.
# What each file must do is in tests/assets/corpus/manifest.json, written by
# hand; the files are committed, so the tests need none of these tools.
#
#   scripts/make_corpus.sh [FOLDER]     (default: tests/assets/corpus)
#
# Needs blender, python3-numpy (Blender's glTF exporter) and openscad.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/tests/assets/corpus}
scad=$root/tests/assets/corpus/source
mkdir -p "$out"
for tool in blender openscad python3; do
  command -v $tool >/dev/null || { echo "make_corpus: needs $tool (apt-get install blender openscad python3-numpy)" >&2; exit 1; }
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT
blender -b --factory-startup --python-exit-code 1 --python "$root/scripts/corpus_blender.py" -- "$out" >"$log" 2>&1 ||
  { cat "$log" >&2; echo "make_corpus: Blender failed" >&2; exit 1; }

# OpenSCAD writes ASCII STL by default; each -o renders the model again.
openscad -q -o "$out/bracket_ascii.stl" -o "$out/bracket.off" -o "$out/bracket.amf" -o "$out/bracket.3mf" "$scad/bracket.scad"
openscad -q --export-format binstl -o "$out/bracket_binary.stl" "$scad/bracket.scad"
openscad -q --export-format binstl -o "$out/post.stl" "$scad/post.scad"
openscad -q -o "$out/post.off" -o "$out/post.3mf" "$scad/post.scad"
openscad -q --export-format binstl -o "$out/showcase_flange.stl" "$scad/showcase_flange.scad"

python3 "$root/scripts/corpus_handmade.py" "$out"
echo "make_corpus: $(find "$out" -type f ! -name '*.scad' ! -name manifest.json | wc -l) files, $(du -sh "$out" | cut -f1) in $out"
