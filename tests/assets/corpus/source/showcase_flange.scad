// A pipe flange with a raised hub, a bolt circle of six holes, ribs and a
// keyed bore: the CAD part of the manual's pictures.
$fn = 48;
difference() {
  union() {
    cylinder(d = 80, h = 8);                           // flange disc
    cylinder(d = 44, h = 26);                          // hub
    translate([0, 0, 26]) cylinder(d1 = 44, d2 = 40, h = 2);  // chamfer on the hub
    for (a = [30 : 60 : 330]) rotate([0, 0, a])        // ribs between the bolts
      translate([0, 2.5, 8]) rotate([90, 0, 0])
        linear_extrude(5) polygon([[21, 0], [36, 0], [21, 16]]);
  }
  translate([0, 0, -1]) cylinder(d = 28, h = 40);      // bore
  translate([12, -3, -1]) cube([5, 6, 40]);           // key way
  for (a = [0 : 60 : 300]) rotate([0, 0, a])           // bolt holes, counterbored
    translate([31, 0, -1]) {
      cylinder(d = 7, h = 12);
      translate([0, 0, 6]) cylinder(d = 12, h = 4);
    }
  translate([0, 0, 7.5]) difference() {                // a groove around the face
    cylinder(d = 84, h = 1);
    cylinder(d = 76, h = 1);
  }
}
