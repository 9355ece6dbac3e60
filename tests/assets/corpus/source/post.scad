// A tall post on a square foot, 80 high and 20 wide: standing, it is plainly
// taller than wide in any three-quarter view; lying on its side it is not.
$fn = 24;
difference() {
  union() {
    translate([-12, -12, 0]) cube([24, 24, 4]);
    cylinder(d = 12, h = 80);
    translate([0, 0, 76]) sphere(d = 16);
  }
  for (x = [-8, 8], y = [-8, 8]) translate([x, y, -1]) cylinder(d = 3, h = 6);
}
