// Camera moves as pure functions of a camera {position, target, fov, aspect,
// up} and the pointer's travel, so that a drag is always computed from where
// it began (no drift from rounding one move onto the next).
const orbitRadiansPerPixel = 0.008;
const wheelFactorPerPixel = 0.0015;
// Keeps the view direction clear of the up axis, where "right" is undefined.
const poleMargin = 0.01;
// How close a dolly may bring the camera when the caller names no scene
// size: near enough for any model, far enough to keep the direction exact.
const nearestDefault = 1e-6;

const add = (a, b) => a.map((v, i) => v + b[i]);
const sub = (a, b) => a.map((v, i) => v - b[i]);
const scale = (a, s) => a.map((v) => v * s);
const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
const length = (a) => Math.sqrt(dot(a, a));
const normalize = (a) => scale(a, 1 / (length(a) || 1));
const radians = (degrees) => (degrees * Math.PI) / 180;

const upOf = (camera) => normalize(camera.up ?? [0, 1, 0]);

// The camera's own axes: forward (toward the target), right and up on screen.
export function cameraAxes(camera) {
  const forward = normalize(sub(camera.target, camera.position));
  let right = cross(forward, upOf(camera));
  if (length(right) < 1e-9) right = cross(forward, [1, 0, 0]);
  right = normalize(right);
  return { forward, right, up: cross(right, forward) };
}

// The half angles of the field of view the preview shows in a pane of the
// given width / height: the scene's vertical field of view, widened where the
// pane is narrower than the scene's image so that its horizontal one fits.
export function fittedHalfAngles(camera, paneAspect) {
  const sceneAspect = camera.aspect ?? paneAspect;
  let tanVertical = Math.tan(radians(camera.fov) / 2);
  if (paneAspect < sceneAspect) tanVertical *= sceneAspect / paneAspect;
  return { vertical: Math.atan(tanVertical), horizontal: Math.atan(tanVertical * paneAspect) };
}

// Turns the camera about its target: dx about the up axis, dy over it.
export function orbit(camera, dx, dy) {
  const up = upOf(camera);
  const offset = sub(camera.position, camera.target);
  const distance = length(offset);
  const polar = Math.acos(Math.max(-1, Math.min(1, dot(normalize(offset), up))));
  const newPolar = Math.max(poleMargin, Math.min(Math.PI - poleMargin, polar - dy * orbitRadiansPerPixel));
  // The offset's part across the up axis, turned by the azimuth step.
  let across = sub(offset, scale(up, dot(offset, up)));
  if (length(across) < 1e-12 * distance) across = cameraAxes(camera).up.map((v) => -v);
  const side = normalize(cross(up, across));
  const azimuth = -dx * orbitRadiansPerPixel;
  const turned = add(scale(normalize(across), Math.cos(azimuth)), scale(side, Math.sin(azimuth)));
  const direction = add(scale(up, Math.cos(newPolar)), scale(turned, Math.sin(newPolar)));
  return { ...camera, position: add(camera.target, scale(direction, distance)) };
}

// Slides camera and target across the view so that the point at the target's
// depth follows the pointer: dx, dy in CSS pixels of a pane paneHeight high.
export function pan(camera, dx, dy, paneWidth, paneHeight) {
  const { right, up } = cameraAxes(camera);
  const distance = length(sub(camera.position, camera.target));
  const half = fittedHalfAngles(camera, paneWidth / paneHeight).vertical;
  const perPixel = (2 * distance * Math.tan(half)) / paneHeight;
  const shift = add(scale(right, -dx * perPixel), scale(up, dy * perPixel));
  return { ...camera, position: add(camera.position, shift), target: add(camera.target, shift) };
}

// Moves the camera toward its target (wheel down pulls away); never onto or
// through it: the distance stays at least `nearest`.
export function dolly(camera, wheelPixels, nearest = nearestDefault) {
  const offset = sub(camera.position, camera.target);
  const distance = length(offset);
  const wanted = distance * Math.exp(wheelPixels * wheelFactorPerPixel);
  const next = Math.max(Math.min(nearest, distance), wanted);
  return { ...camera, position: add(camera.target, scale(offset, next / distance)) };
}

// The sphere around a set of {min, max} boxes (their joint box's).
export function boundingSphere(boxes) {
  if (boxes.length === 0) return null;
  const min = [0, 1, 2].map((i) => Math.min(...boxes.map((b) => b.min[i])));
  const max = [0, 1, 2].map((i) => Math.max(...boxes.map((b) => b.max[i])));
  if (![...min, ...max].every(Number.isFinite)) return null;
  return { center: scale(add(min, max), 0.5), radius: length(sub(max, min)) / 2 };
}

// The camera that looks the same way as now at the sphere's centre, as close
// as the fitted field of view allows with the whole sphere in sight.
export function frameSphere(camera, sphere, paneAspect) {
  const { forward } = cameraAxes(camera);
  const { vertical, horizontal } = fittedHalfAngles(camera, paneAspect);
  // A point or a flat box still needs some distance.
  const radius = sphere.radius > 0 ? sphere.radius : 1;
  const distance = radius / Math.sin(Math.min(vertical, horizontal));
  return { ...camera, target: sphere.center, position: sub(sphere.center, scale(forward, distance)) };
}

export const distanceOf = (camera) => length(sub(camera.position, camera.target));
