# Builds the Blender models of the mesh corpus and exports each in every
# format Blender writes that Assimp reads. Run by scripts/make_corpus.sh:
#
#   blender -b --factory-startup --python scripts/corpus_blender.py -- OUT_FOLDER
#
# Blender is z up; every exporter is left at its own default axes, as a user
# exporting a model would, so the files differ in how they state their frame.
import math
import os
import sys

import bmesh
import bpy

out = sys.argv[sys.argv.index("--") + 1]


def fresh():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def link(name, bm):
    mesh = bpy.data.meshes.new(name)
    bm.to_mesh(mesh)
    bm.free()
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    return obj


def apply_modifiers(obj):
    """Bakes the modifiers into the mesh: every format gets the same polygons."""
    depsgraph = bpy.context.evaluated_depsgraph_get()
    mesh = bpy.data.meshes.new_from_object(obj.evaluated_get(depsgraph))
    obj.modifiers.clear()
    obj.data = mesh


def bevel(obj, width, segments=2):
    mod = obj.modifiers.new("Bevel", "BEVEL")
    mod.width = width
    mod.segments = segments
    mod.limit_method = "ANGLE"


def box(name, size, location, bevel_width=0.0, segments=2):
    bm = bmesh.new()
    bmesh.ops.create_cube(bm, size=1.0)
    for v in bm.verts:
        v.co = (v.co.x * size[0] + location[0], v.co.y * size[1] + location[1], v.co.z * size[2] + location[2])
    obj = link(name, bm)
    if bevel_width > 0:
        bevel(obj, bevel_width, segments)
    return obj


def cylinder(name, radius, depth, location, axis="Z", segments=16, bevel_width=0.0):
    bm = bmesh.new()
    bmesh.ops.create_cone(bm, cap_ends=True, segments=segments, radius1=radius, radius2=radius, depth=depth)
    turn = {"X": ("Y", math.pi / 2), "Y": ("X", math.pi / 2), "Z": ("Z", 0.0)}[axis]
    from mathutils import Matrix
    bmesh.ops.rotate(bm, verts=bm.verts, matrix=Matrix.Rotation(turn[1], 3, turn[0]))
    bmesh.ops.translate(bm, verts=bm.verts, vec=location)
    obj = link(name, bm)
    if bevel_width > 0:
        bevel(obj, bevel_width)
    return obj


def prism(name, outline, thickness, origin, plane="XZ"):
    """A flat shape of one n-gon (concave if the outline is) extruded to a
    slab: the two caps stay single polygons, the sides are quads."""
    bm = bmesh.new()

    def place(u, v, w):
        if plane == "XZ":  # standing upright, facing -y
            return (origin[0] + u, origin[1] + w, origin[2] + v)
        return (origin[0] + u, origin[1] + v, origin[2] + w)

    front = [bm.verts.new(place(u, v, 0.0)) for u, v in outline]
    back = [bm.verts.new(place(u, v, thickness)) for u, v in outline]
    n = len(outline)
    bm.faces.new(front)
    bm.faces.new(list(reversed(back)))
    for i in range(n):
        j = (i + 1) % n
        bm.faces.new((front[j], front[i], back[i], back[j]))
    bmesh.ops.recalc_face_normals(bm, faces=bm.faces)
    return link(name, bm)


def letter_c(radius, width, gap_degrees, steps):
    """The outline of a C: an outer arc and the inner arc back, open on +u."""
    half = math.radians(gap_degrees) / 2
    angles = [half + (2 * math.pi - 2 * half) * i / steps for i in range(steps + 1)]
    outer = [(radius * math.cos(a), radius * math.sin(a)) for a in angles]
    inner = [((radius - width) * math.cos(a), (radius - width) * math.sin(a)) for a in reversed(angles)]
    return outer + inner


def export_all(stem, formats):
    path = os.path.join(out, stem)
    if "obj" in formats:
        bpy.ops.wm.obj_export(filepath=path + ".obj", export_materials=False, export_uv=False)
    if "fbx" in formats:
        bpy.ops.export_scene.fbx(filepath=path + ".fbx", use_selection=False)
    if "gltf" in formats:
        bpy.ops.export_scene.gltf(filepath=path + ".gltf", export_format="GLTF_SEPARATE",
                                  export_texcoords=False, export_materials="NONE")
    if "glb" in formats:
        bpy.ops.export_scene.gltf(filepath=path + ".glb", export_format="GLB", export_texcoords=False,
                                  export_normals=False, export_materials="NONE")
    if "dae" in formats:
        bpy.ops.wm.collada_export(filepath=path + ".dae")
    if "stl" in formats:
        bpy.ops.export_mesh.stl(filepath=path + ".stl", ascii=False)
    if "ply" in formats:
        bpy.ops.export_mesh.ply(filepath=path + ".ply", use_ascii=False, use_normals=False, use_uv_coords=False,
                                use_colors=False)
    if "x3d" in formats:
        bpy.ops.export_scene.x3d(filepath=path + ".x3d")
    if "blend" in formats:
        # Only the scene and what it uses: a file from the full start-up is
        # half a megabyte of interface. Uncompressed, as Assimp reads it.
        bpy.data.libraries.write(path + ".blend", {bpy.context.scene}, compress=False)


EVERY_FORMAT = ("obj", "fbx", "gltf", "glb", "dae", "stl", "ply", "x3d")


def monkey(levels, keep=1.0):
    """Suzanne, subdivided and smooth shaded: an organic surface of quads,
    or of triangles where `keep` < 1 decimates it to stay small."""
    fresh()
    bpy.ops.mesh.primitive_monkey_add(size=2.0)
    obj = bpy.context.active_object
    obj.name = "Suzanne"
    mod = obj.modifiers.new("Subdivision", "SUBSURF")
    mod.levels = levels
    mod.render_levels = levels
    if keep < 1.0:
        mod = obj.modifiers.new("Decimate", "DECIMATE")
        mod.ratio = keep
    apply_modifiers(obj)
    for polygon in obj.data.polygons:
        polygon.use_smooth = True


def truck(detail):
    """A small truck: bevelled boxes, cylinder wheels, door seams cut into
    the cab, and a C-shaped badge whose faces are concave n-gons."""
    fresh()
    segs = 3 if detail else 1
    body = box("Chassis", (3.0, 1.2, 0.35), (0.0, 0.0, 0.45), 0.04, segs)
    bed = box("Bed", (1.8, 1.2, 0.6), (-0.6, 0.0, 0.9), 0.03, segs)
    cab = box("Cab", (1.1, 1.15, 0.95), (0.9, 0.0, 1.07), 0.08, segs)
    # Door seams and a window recess: thin cuts into the cab's side.
    cutters = []
    for y in (-0.58, 0.58):
        cutters.append(box("seam_front", (0.02, 0.06, 0.75), (0.55, y, 1.0)))
        cutters.append(box("seam_back", (0.02, 0.06, 0.75), (1.25, y, 1.0)))
        cutters.append(box("window", (0.6, 0.06, 0.35), (0.9, y, 1.3)))
    cutters.append(box("windscreen", (0.06, 0.95, 0.38), (1.45, 0.0, 1.3)))
    for c in cutters:
        mod = cab.modifiers.new("Cut", "BOOLEAN")
        mod.operation = "DIFFERENCE"
        mod.solver = "EXACT"
        mod.object = c
    apply_modifiers(cab)
    for c in cutters:
        bpy.data.objects.remove(c)
    for name, obj in (("Chassis", body), ("Bed", bed)):
        apply_modifiers(obj)
    wheel_segments = 32 if detail else 16
    for i, (x, y) in enumerate(((1.0, -0.62), (1.0, 0.62), (-0.9, -0.62), (-0.9, 0.62))):
        w = cylinder("Wheel%d" % i, 0.36, 0.28, (x, y, 0.36), "Y", wheel_segments, 0.03)
        apply_modifiers(w)
        hub = cylinder("Hub%d" % i, 0.16, 0.32, (x, y, 0.36), "Y", wheel_segments // 2, 0.015)
        apply_modifiers(hub)
    for i, y in enumerate((-0.42, 0.42)):
        lamp = cylinder("Lamp%d" % i, 0.08, 0.06, (1.49, y, 0.8), "X", 16, 0.01)
        apply_modifiers(lamp)
    bumper = box("Bumper", (0.12, 1.3, 0.14), (1.52, 0.0, 0.42), 0.03, segs)
    apply_modifiers(bumper)
    if detail:
        for i in range(5):
            slat = box("Grille%d" % i, (0.04, 0.6, 0.04), (1.47, 0.0, 0.68 + 0.06 * i), 0.01)
            apply_modifiers(slat)
        pipe = cylinder("Exhaust", 0.05, 0.9, (0.3, -0.52, 1.3), "Z", 12, 0.01)
        apply_modifiers(pipe)
    # The badge on the bed's side: a C whose caps are single concave n-gons.
    prism("Badge", letter_c(0.22, 0.07, 60, 24), 0.03, (-0.6, -0.63, 0.95))


def figure():
    """A standing figure 1.8 tall, 0.6 wide and 0.3 deep: lying on its back
    it is plainly wider than tall in any three-quarter view."""
    fresh()
    for side, x in (("L", 0.12), ("R", -0.12)):
        apply_modifiers(cylinder("Leg" + side, 0.08, 0.85, (x, 0.0, 0.425), "Z", 12, 0.01))
        apply_modifiers(cylinder("Arm" + side, 0.06, 0.65, (x * 2.3, 0.0, 1.18), "Z", 12, 0.01))
    apply_modifiers(box("Torso", (0.46, 0.26, 0.62), (0.0, 0.0, 1.16), 0.05))
    bm = bmesh.new()
    bmesh.ops.create_uvsphere(bm, u_segments=16, v_segments=10, radius=0.14)
    bmesh.ops.translate(bm, verts=bm.verts, vec=(0.0, 0.0, 1.64))
    link("Head", bm)
    # A nose toward -y (Blender's front), so the front is not a guess either.
    apply_modifiers(box("Nose", (0.04, 0.06, 0.05), (0.0, -0.15, 1.63)))


def letter():
    """A flat C lying on the ground: its two caps are concave 50-gons."""
    fresh()
    prism("Letter", letter_c(1.0, 0.35, 50, 24), 0.1, (0.0, 0.0, 0.0), plane="XY")


monkey(1, 0.45)
export_all("monkey", EVERY_FORMAT)
truck(False)
export_all("truck", EVERY_FORMAT)
figure()
export_all("figure", EVERY_FORMAT + ("blend",))
letter()
export_all("letter", ("obj", "fbx", "ply", "dae"))
# The showcase models of the manual: more detail, one compact file each.
truck(True)
export_all("showcase_truck", ("glb",))
monkey(2)
export_all("showcase_monkey", ("glb",))
