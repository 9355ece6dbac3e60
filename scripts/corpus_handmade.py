#!/usr/bin/env python3
"""Writes the hand-made files of the mesh corpus: polygons no exporter makes
(concave, hundreds of corners), headers other tools write, and files that
must be refused. Run by scripts/make_corpus.sh:

    python3 scripts/corpus_handmade.py OUT_FOLDER

Flat shapes lie in the ground plane (y = 0, facing +y), centred on the
origin, so that a camera straight above sees them whole.
"""
import json
import math
import os
import struct
import sys

out = sys.argv[1]


def write(name, text, encoding="utf-8"):
    path = os.path.join(out, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text.encode(encoding) if isinstance(text, str) else text)


def number(v, digits=6):
    text = ("%.*f" % (digits, v)).rstrip("0").rstrip(".")
    return "0" if text in ("", "-0", "0") else text


def ground(u, v):
    """(u, v) in the plane seen from above: u to the right (+x), v up the
    image (-z), so counter-clockwise in (u, v) faces +y."""
    return (u, 0.0, -v)


def flat_obj(name, comment, outline, digits=6):
    """One OBJ face of the outline's corners, counter-clockwise from above."""
    lines = ["# " + comment]
    lines += ["v %s %s %s" % tuple(number(c, digits) for c in ground(u, v)) for u, v in outline]
    lines.append("f " + " ".join(str(i + 1) for i in range(len(outline))))
    write(name, "\n".join(lines) + "\n")


def circle(n, radius, start=0.0):
    return [(radius * math.cos(start + 2 * math.pi * i / n), radius * math.sin(start + 2 * math.pi * i / n))
            for i in range(n)]


def split_ring(outer, inner, gap_degrees, steps):
    """A ring with a slot cut through it at +u: one concave polygon whose
    middle is outside it."""
    half = math.radians(gap_degrees) / 2
    angles = [half + (2 * math.pi - 2 * half) * i / steps for i in range(steps + 1)]
    return ([(outer * math.cos(a), outer * math.sin(a)) for a in angles] +
            [(inner * math.cos(a), inner * math.sin(a)) for a in reversed(angles)])


# Concave polygons and polygons of many corners.
flat_obj("ring_c.obj", "a ring of radius 1 (inner 0.5) with a 40 degree slot at +x: one concave face of 66 corners",
         split_ring(1.0, 0.5, 40, 32))
star = []
for i in range(10):
    r = 1.0 if i % 2 == 0 else 0.4
    a = math.pi / 2 + math.pi * i / 5
    star.append((r * math.cos(a), r * math.sin(a)))
flat_obj("star.obj", "a five-pointed star of radius 1 (notches at 0.4), first tip at +v: one concave face of 10 corners",
         star)
flat_obj("disc_300.obj", "a disc of radius 1: one face of 300 corners", circle(300, 1.0))
flat_obj("disc_1000.obj", "a disc of radius 1: one face of 1000 corners", circle(1000, 1.0))
flower = [((1.0 + 0.08 * math.sin(40 * t)) * math.cos(t), (1.0 + 0.08 * math.sin(40 * t)) * math.sin(t))
          for t in (2 * math.pi * i / 10000 for i in range(10000))]
flat_obj("huge_polygon.obj", "a wavy disc of radius about 1 with 40 waves: one concave face of 10000 corners", flower,
         digits=5)

# A ring with a true hole, as a keyhole: the outer loop, a cut to the inner
# loop, the inner loop the other way round, and back along the cut. The cut's
# two ends are each named twice.
outer = circle(32, 1.0)
inner = circle(32, 0.5)
keyhole = ["# a ring of radius 1 (inner 0.5) as one face: outer loop, a cut at +x, the inner loop backwards, the cut back"]
keyhole += ["v %s %s %s" % tuple(number(c) for c in ground(u, v)) for u, v in outer + inner]
corners = list(range(1, 33)) + [1, 33] + [33 + (32 - i) % 32 for i in range(1, 33)]
keyhole.append("f " + " ".join(str(c) for c in corners))
write("ring_keyhole.obj", "\n".join(keyhole) + "\n")

# No polygons: must be refused, not rendered empty.
write("lines_only.obj", "# a square's outline as a polyline: no faces\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nl 1 2 3 4 1\n")
write("points_only.obj", "# four points: no faces\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\np 1 2 3 4\n")
write("skeleton.bvh", """HIERARCHY
ROOT Hips
{
  OFFSET 0.0 0.0 0.0
  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
  JOINT Spine
  {
    OFFSET 0.0 10.0 0.0
    CHANNELS 3 Zrotation Xrotation Yrotation
    JOINT Head
    {
      OFFSET 0.0 8.0 0.0
      CHANNELS 3 Zrotation Xrotation Yrotation
      End Site
      {
        OFFSET 0.0 4.0 0.0
      }
    }
  }
  JOINT LeftLeg
  {
    OFFSET 2.0 -1.0 0.0
    CHANNELS 3 Zrotation Xrotation Yrotation
    End Site
    {
      OFFSET 0.0 -9.0 0.0
    }
  }
}
MOTION
Frames: 2
Frame Time: 0.033333
0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0
0.0 0.1 0.0 0.0 5.0 0.0 0.0 2.0 0.0 0.0 3.0 0.0 0.0 1.0 0.0
""")

# A square pyramid (base 2, height 1.5 along z): 5 points, a quad and four triangles.
pyramid_points = [(-1, -1, 0), (1, -1, 0), (1, 1, 0), (-1, 1, 0), (0, 0, 1.5)]
pyramid_faces = [(0, 3, 2, 1), (0, 1, 4), (1, 2, 4), (2, 3, 4), (3, 0, 4)]


def ply(header_extra, stray=None):
    head = ["ply", "format ascii 1.0"] + header_extra
    head += ["element vertex 5", "property float x", "property float y", "property float z"]
    if stray:
        head.append(stray)
    head += ["element face 5", "property list uchar int vertex_indices", "end_header"]
    body = ["%g %g %g" % p for p in pyramid_points] + ["%d %s" % (len(f), " ".join(map(str, f))) for f in pyramid_faces]
    return "\n".join(head + body) + "\n"


write("pyramid_comments.ply",
      ply(["comment made by a scanner's export, z up", "obj_info num_cols 5", "obj_info num_rows 1",
           "comment TextureFile none"]))
write("pyramid_stray_line.ply", ply(["comment written by hand"], stray="generated by MeshTool 2.1"))


def off(comment_in_data):
    lines = ["OFF", "# a square pyramid, written by hand", "", "5 5 8  # points faces edges"]
    lines += ["%g %g %g" % p for p in pyramid_points[:2]]
    if comment_in_data:
        lines.append("# the far corners")
    lines += ["%g %g %g" % p for p in pyramid_points[2:]]
    lines += ["%d %s" % (len(f), " ".join(map(str, f))) for f in pyramid_faces]
    return "\n".join(lines) + "\n"


write("pyramid_comments.off", off(False))
write("pyramid_comment_in_data.off", off(True))

# COLLADA in Latin-1: node ids and names with bytes 0xE9 (é), 0xE0 (à), 0xF4
# (ô). Assimp names a COLLADA node by its id.
dae = """<?xml version="1.0" encoding="ISO-8859-1"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><unit name="meter" meter="1"/><up_axis>Y_UP</up_axis></asset>
  <library_geometries>
    <geometry id="pyramide-mesh" name="Pyramide">
      <mesh>
        <source id="pyramide-positions">
          <float_array id="pyramide-positions-array" count="15">-1 0 1 1 0 1 1 0 -1 -1 0 -1 0 1.5 0</float_array>
          <technique_common><accessor source="#pyramide-positions-array" count="5" stride="3">
            <param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>
          </accessor></technique_common>
        </source>
        <vertices id="pyramide-vertices"><input semantic="POSITION" source="#pyramide-positions"/></vertices>
        <polylist count="5">
          <input semantic="VERTEX" source="#pyramide-vertices" offset="0"/>
          <vcount>4 3 3 3 3</vcount>
          <p>0 3 2 1 0 1 4 1 2 4 2 3 4 3 0 4</p>
        </polylist>
      </mesh>
    </geometry>
  </library_geometries>
  <library_visual_scenes>
    <visual_scene id="Sc\xe8ne" name="Sc\xe8ne">
      <node id="Pyramide_\xe0_gauche" name="Pyramide \xe0 gauche">
        <translate>-1.5 0 0</translate>
        <instance_geometry url="#pyramide-mesh"/>
      </node>
      <node id="Pyramide_\xe9lev\xe9e_c\xf4t\xe9_droit" name="Pyramide \xe9lev\xe9e c\xf4t\xe9 droit">
        <translate>1.5 0 0</translate>
        <scale>1 2 1</scale>
        <instance_geometry url="#pyramide-mesh"/>
      </node>
    </visual_scene>
  </library_visual_scenes>
  <scene><instance_visual_scene url="#Sc\xe8ne"/></scene>
</COLLADA>
"""
write("latin1_names.dae", dae, encoding="latin-1")

# A glTF whose buffer lies outside its folder: a model file must not make the
# host read files beside or above it. The buffer exists and is valid, so
# only where it lies can be the reason for refusing it.
positions = [(-1, 0, 1), (1, 0, 1), (1, 0, -1), (-1, 0, -1), (0, 1.5, 0)]
indices = [0, 1, 4, 1, 2, 4, 2, 3, 4, 3, 0, 4, 0, 3, 2, 0, 2, 1]
blob = b"".join(struct.pack("<3f", *p) for p in positions) + struct.pack("<%dH" % len(indices), *indices)
write("outside.bin", blob)
gltf = {
    "asset": {"version": "2.0", "generator": "written by hand"},
    "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "Pyramid", "mesh": 0}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1, "mode": 4}]}],
    "buffers": [{"uri": "../outside.bin", "byteLength": len(blob)}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 60},
                    {"buffer": 0, "byteOffset": 60, "byteLength": 2 * len(indices)}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 5, "type": "VEC3",
                   "min": [-1, 0, -1], "max": [1, 1.5, 1]},
                  {"bufferView": 1, "componentType": 5123, "count": len(indices), "type": "SCALAR"}],
}
write("escape/outside.gltf", json.dumps(gltf, indent=1) + "\n")
