#!/usr/bin/env bash
# Makes the mesh files of tests/assets/data: one cube of edge 2 about the
# origin in every format the asset tests read, written by Assimp's own
# exporters (assimp-utils) from two OBJ files, and a glTF with a tree of nodes
# (python3). Every exported cube stores the corners of each face apart, as
# real exports do at hard edges, so only welding gives the faces neighbours.
#
#   scripts/make_test_assets.sh [FOLDER]     (default: tests/assets/data)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/tests/assets/data}
mkdir -p "$out"
command -v assimp >/dev/null || { echo "make_test_assets: needs the assimp command (assimp-utils)" >&2; exit 1; }

# The same cube with shared points, as quads and as the triangles Assimp's
# triangulating exporters make of those quads: (a b c) (a c d). The normals
# make the exporters keep each face's corners apart.
points='v -1 -1 -1
v 1 -1 -1
v 1 1 -1
v -1 1 -1
v -1 -1 1
v 1 -1 1
v 1 1 1
v -1 1 1
vn 0 0 -1
vn 0 0 1
vn -1 0 0
vn 1 0 0
vn 0 -1 0
vn 0 1 0'
faces=("1 4 3 2" "5 6 7 8" "1 5 8 4" "2 3 7 6" "1 2 6 5" "4 8 7 3")
{
  echo "# a cube of edge 2: 8 shared points, 6 quads wound counter-clockwise seen from outside"
  echo "$points"
  n=1
  for f in "${faces[@]}"; do
    set -- $f
    echo "f $1//$n $2//$n $3//$n $4//$n"
    n=$((n + 1))
  done
} >"$out/cube_quads.obj"
{
  echo "# the cube of cube_quads.obj with each quad (a b c d) split into (a b c) (a c d)"
  echo "$points"
  n=1
  for f in "${faces[@]}"; do
    set -- $f
    echo "f $1//$n $2//$n $3//$n"
    echo "f $1//$n $3//$n $4//$n"
    n=$((n + 1))
  done
} >"$out/cube_triangles.obj"

export_as() {  # source, target, Assimp format id
  assimp export "$out/$1" "$out/$2" "-f$3" >/dev/null
}
export_as cube_quads.obj cube_ascii.ply ply
export_as cube_quads.obj cube_binary.ply plyb
export_as cube_quads.obj cube.dae collada
export_as cube_triangles.obj cube_ascii.stl stl
export_as cube_triangles.obj cube_binary.stl stlb
export_as cube_triangles.obj cube.gltf gltf2
export_as cube_triangles.obj cube.glb glb2
# Assimp 5.2 cannot read back its own binary FBX ("block offset is out of
# range"), so the FBX is ASCII. Its exporter claims centimetres
# (UnitScaleFactor 1) for coordinates that are metres here: say metres.
export_as cube_quads.obj cube.fbx fbxa
sed -i 's/"UnitScaleFactor", "double", "Number", "", 1$/"UnitScaleFactor", "double", "Number", "", 100/' "$out/cube.fbx"
grep -q '"UnitScaleFactor", "double", "Number", "", 100' "$out/cube.fbx" ||
  { echo "make_test_assets: cube.fbx has no UnitScaleFactor to set" >&2; exit 1; }
# The exporters stamp the time; the committed files should not change with it.
sed -i 's|<created>[^<]*</created>|<created>2000-01-01T00:00:00</created>|; s|<modified>[^<]*</modified>|<modified>2000-01-01T00:00:00</modified>|' "$out/cube.dae"
sed -i -E 's/^(\t\tYear:) .*/\1 2000/; s/^(\t\t(Month|Day):) .*/\1 1/; s/^(\t\t(Hour|Minute|Second):) .*/\1 0/' "$out/cube.fbx"

# A tree of nodes that place one unit square (two triangles, corners shared)
# several times:
#   0 root
#   1 Base       at the origin
#   2   Arm      moved by (3, 0, 0), turned 90 degrees about y
#   3     Hand   moved by (0, 2, 0), scaled by 2
#   4 Mirror     scaled by (-1, 1, 1), moved by (0, 0, -3)
#   5 Empty      no mesh
#   6 Twin, 7 Twin   two nodes of one name, moved by (0, 5, 0) and (0, 7, 0)
python3 - "$out/nodes.gltf" <<'PY'
import base64, json, struct, sys
points = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
indices = [0, 1, 2, 0, 2, 3]
data = b"".join(struct.pack("<3f", *p) for p in points) + struct.pack("<6H", *indices)
s = 0.7071067811865476  # sin and cos of 45 degrees: a quaternion of 90 degrees about y
doc = {
    "asset": {"version": "2.0", "generator": "scripts/make_test_assets.sh"},
    "scene": 0,
    "scenes": [{"nodes": [0, 3, 4, 5, 6]}],
    "nodes": [
        {"name": "Base", "mesh": 0, "children": [1]},
        {"name": "Arm", "mesh": 0, "translation": [3, 0, 0], "rotation": [0, s, 0, s], "children": [2]},
        {"name": "Hand", "mesh": 0, "translation": [0, 2, 0], "scale": [2, 2, 2]},
        {"name": "Mirror", "mesh": 0, "scale": [-1, 1, 1], "translation": [0, 0, -3]},
        {"name": "Empty"},
        {"name": "Twin", "mesh": 0, "translation": [0, 5, 0]},
        {"name": "Twin", "mesh": 0, "translation": [0, 7, 0]},
    ],
    "meshes": [{"name": "square", "primitives": [{"attributes": {"POSITION": 0}, "indices": 1, "mode": 4}]}],
    "accessors": [
        {"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
        {"bufferView": 1, "componentType": 5123, "count": 6, "type": "SCALAR"},
    ],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48}, {"buffer": 0, "byteOffset": 48, "byteLength": 12}],
    "buffers": [{"byteLength": len(data), "uri": "data:application/octet-stream;base64," + base64.b64encode(data).decode()}],
}
with open(sys.argv[1], "w") as f:
    json.dump(doc, f, indent=1)
    f.write("\n")
PY
echo "make_test_assets: wrote $(ls "$out" | wc -l) files to $out"
