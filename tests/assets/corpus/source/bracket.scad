// An angle bracket: a base flange with two slotted mounting holes, an
// upright web with a round hole, and a triangular gusset between them.
$fn = 32;
thick = 4;

difference() {
  union() {
    cube([60, 30, thick]);                       // base flange
    translate([0, 0, 0]) cube([thick, 30, 40]);  // upright web
    // gusset
    translate([0, 15 - thick / 2, 0])
      rotate([90, 0, 0]) mirror([0, 0, 1])
        linear_extrude(thick) polygon([[0, 0], [30, 0], [0, 30]]);
  }
  // slotted holes in the flange
  for (y = [8, 22]) hull() {
    translate([30, y, -1]) cylinder(d = 5, h = thick + 2);
    translate([40, y, -1]) cylinder(d = 5, h = thick + 2);
  }
  // countersink on the first slot
  translate([50, 8, thick - 1.5]) cylinder(d1 = 5, d2 = 9, h = 1.6);
  translate([50, 8, -1]) cylinder(d = 5, h = thick + 2);
  // round hole through the web
  translate([-1, 15, 28]) rotate([0, 90, 0]) cylinder(d = 10, h = thick + 2);
}
