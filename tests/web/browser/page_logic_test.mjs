// The preview page's pure parts, without a browser: camera moves and framing,
// which passes belong to a page, the selection outline, the shortcuts, the
// coalescing of scene reloads and the request that opens files.
//
//   node --test tests/web/browser/page_logic_test.mjs
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { test } from 'node:test';

const staticDir = new URL('../../../hostapp/web/static/', import.meta.url);
const load = (name) => import(new URL(name, staticDir));
const { boundingSphere, cameraAxes, distanceOf, dolly, fittedHalfAngles, frameSphere, orbit, pan } = await load('camera_math.js');
const { passFitsView } = await load('pass_size.js');
const { outlinePixels } = await load('outline_mask.js');
const { shortcutOf } = await load('shortcuts.js');
const { SceneRefresher } = await load('scene_refresher.js');
const { requestFor } = await load('open_request.js');

const near = (a, b, tolerance = 1e-9) => Math.abs(a - b) <= tolerance;
const nearVector = (a, b, tolerance = 1e-9) => a.every((v, i) => near(v, b[i], tolerance));
const sub = (a, b) => a.map((v, i) => v - b[i]);
const dot = (a, b) => a.reduce((sum, v, i) => sum + v * b[i], 0);
const unit = (a) => a.map((v) => v / Math.hypot(...a));
const camera = { position: [4, 3, 5], target: [1, 0, -1], fov: 40, aspect: 16 / 9, up: [0, 1, 0] };

test('orbiting keeps the target and the distance, and turns the view', () => {
  for (const [dx, dy] of [[30, 0], [0, -25], [-120, 80]]) {
    const moved = orbit(camera, dx, dy);
    assert.deepEqual(moved.target, camera.target);
    assert.ok(near(distanceOf(moved), distanceOf(camera)), `distance after ${dx}, ${dy}`);
    assert.ok(!nearVector(moved.position, camera.position, 1e-3), `position after ${dx}, ${dy}`);
  }
  // A sideways drag keeps the height over the target; a drag down raises the camera.
  assert.ok(near(orbit(camera, 50, 0).position[1], camera.position[1]));
  assert.ok(orbit(camera, 0, 40).position[1] > camera.position[1]);
});

test('orbiting stops short of the poles, where the view would flip', () => {
  const up = [0, 1, 0];
  for (const dy of [10_000, -10_000]) {
    const moved = orbit(camera, 0, dy);
    const along = dot(unit(sub(moved.position, moved.target)), up);
    assert.ok(Math.abs(along) < 1 && Math.abs(along) > 0.99, `cos to the up axis ${along}`);
    const { right } = cameraAxes(moved);
    assert.ok(right.every(Number.isFinite) && near(Math.hypot(...right), 1));
  }
});

test('panning moves camera and target alike, across the view', () => {
  const moved = pan(camera, 40, -10, 900, 760);
  const shift = sub(moved.position, camera.position);
  assert.ok(nearVector(shift, sub(moved.target, camera.target)));
  assert.ok(Math.hypot(...shift) > 0);
  assert.ok(near(dot(shift, cameraAxes(camera).forward), 0), 'no part along the view');
  // Dragging right moves the camera left: the scene follows the pointer.
  assert.ok(dot(shift, cameraAxes(camera).right) < 0);
});

test('the wheel dollies toward the target and never reaches or passes it', () => {
  const closer = dolly(camera, -100);
  assert.ok(distanceOf(closer) < distanceOf(camera));
  assert.ok(distanceOf(dolly(camera, 100)) > distanceOf(camera));
  const direction = unit(sub(camera.position, camera.target));
  let moved = camera;
  for (let i = 0; i < 200; ++i) moved = dolly(moved, -100_000);
  assert.ok(distanceOf(moved) > 0, 'not onto the target');
  assert.ok(nearVector(unit(sub(moved.position, moved.target)), direction, 1e-6), 'not through it');
});

test('the fitted field of view widens only where the pane is narrower than the scene', () => {
  const wide = fittedHalfAngles(camera, 2);
  assert.ok(near(wide.vertical, (20 * Math.PI) / 180));
  const narrow = fittedHalfAngles(camera, 1);
  assert.ok(narrow.vertical > wide.vertical);
  // The scene's horizontal field of view is kept.
  assert.ok(near(Math.tan(narrow.horizontal), Math.tan((20 * Math.PI) / 180) * (16 / 9)));
});

test('framing puts the whole sphere in view along the same direction', () => {
  const boxes = [{ min: [-1, 0, -1], max: [1, 2, 1] }, { min: [3, 0, 0], max: [4, 1, 1] }];
  const sphere = boundingSphere(boxes);
  assert.deepEqual(sphere.center, [1.5, 1, 0]);
  assert.ok(near(sphere.radius, Math.hypot(5, 2, 2) / 2));
  for (const aspect of [0.5, 1, 2.5]) {
    const framed = frameSphere(camera, sphere, aspect);
    assert.deepEqual(framed.target, sphere.center);
    assert.ok(nearVector(cameraAxes(framed).forward, cameraAxes(camera).forward));
    const { vertical, horizontal } = fittedHalfAngles(camera, aspect);
    // The sphere touches the narrower side of the view, and fits the other.
    assert.ok(near(Math.asin(sphere.radius / distanceOf(framed)), Math.min(vertical, horizontal)));
  }
  assert.equal(boundingSphere([]), null);
  assert.equal(boundingSphere([{ min: [0, 0, 0], max: [Infinity, 1, 1] }]), null);
});

test('a page shows its own passes only', () => {
  const view = { width: 900, height: 760 };
  assert.ok(passFitsView({ width: 900, height: 760 }, view, 1));
  assert.ok(passFitsView({ width: 225, height: 190 }, view, 1), 'the quick first pass');
  assert.ok(!passFitsView({ width: 640, height: 360 }, view, 1), 'another page\'s');
  assert.ok(!passFitsView({ width: 901, height: 760 }, view, 1));
  assert.ok(passFitsView({ width: 450, height: 380 }, view, 0.5));
  assert.ok(passFitsView({ width: 112, height: 95 }, view, 0.5));
  // Odd sides round to the nearest pixel: 901 × 0.25 = 225.25, 763 × 0.25 = 190.75.
  assert.ok(passFitsView({ width: 225, height: 191 }, { width: 901, height: 763 }, 0.25));
  assert.ok(passFitsView({ width: 56, height: 47 }, { width: 901, height: 763 }, 0.25));
  assert.ok(!passFitsView({ width: 225, height: 190 }, { width: 901, height: 763 }, 0.25));
  assert.ok(!passFitsView({ width: 900, height: 760 }, view, 0.5), 'a pass of the old scale');
  assert.ok(!passFitsView({ width: 900, height: 760 }, null, 1), 'before the page asked for a size');
});

test('the outline runs along both sides of the object\'s border, nowhere else', () => {
  // 6 × 4 pixels: object 2 (id 3) covers columns 1 … 3 of rows 1 … 2; object 0 (id 1) column 5.
  const width = 6;
  const height = 4;
  const rgba = new Uint8Array(width * height * 4);
  const put = (x, y, id) => rgba.set([id >> 16, (id >> 8) & 255, id & 255, 255], 4 * (y * width + x));
  for (let y = 1; y <= 2; ++y) for (let x = 1; x <= 3; ++x) put(x, y, 3);
  for (let y = 0; y < height; ++y) put(5, y, 1);
  put(2, 3, 0x010203);  // a large id that shares its low byte with no other
  const edge = outlinePixels(rgba, width, height, 3);
  const rows = [...Array(height).keys()].map((y) => [...edge.subarray(y * width, (y + 1) * width)].join(''));
  assert.deepEqual(rows, ['011100', '111110', '111110', '011100']);
  assert.ok(outlinePixels(rgba, width, height, 0x010203).some(Boolean));
  assert.ok(!outlinePixels(rgba, width, height, 7).some(Boolean), 'an object not in sight');
});

test('shortcuts: undo and redo unless a field is being typed in; A and F outside fields', () => {
  const key = (k, mods = {}) => ({ key: k, ctrlKey: false, metaKey: false, shiftKey: false, altKey: false, ...mods });
  const free = { typing: false, inField: false };
  assert.equal(shortcutOf(key('z', { ctrlKey: true }), free), 'undo');
  assert.equal(shortcutOf(key('Z', { ctrlKey: true, shiftKey: true }), free), 'redo');
  assert.equal(shortcutOf(key('y', { ctrlKey: true }), free), 'redo');
  assert.equal(shortcutOf(key('z', { metaKey: true }), free), 'undo');
  assert.equal(shortcutOf(key('z', { ctrlKey: true }), { typing: true, inField: true }), null);
  assert.equal(shortcutOf(key('z', { ctrlKey: true }), { typing: false, inField: true }), 'undo');
  assert.equal(shortcutOf(key('a'), free), 'frameAll');
  assert.equal(shortcutOf(key('F', { shiftKey: true }), free), null, 'Shift+F is no shortcut');
  assert.equal(shortcutOf(key('f'), free), 'frameSelected');
  assert.equal(shortcutOf(key('a'), { typing: false, inField: true }), null);
  assert.equal(shortcutOf(key('a', { ctrlKey: true }), free), null, 'Ctrl+A selects all');
});

test('scene reloads wait for the page\'s own edits and read panels only for others\' edits', async () => {
  const reloads = [];
  let busy = true;
  const refresher = new SceneRefresher({ busy: () => busy, reload: async (panels) => { reloads.push(panels); } });
  refresher.own(7);
  refresher.sceneChanged(7);
  refresher.sceneChanged(8);  // another page's edit while ours is under way
  await new Promise((resolve) => setTimeout(resolve, 120));
  assert.deepEqual(reloads, [], 'nothing while busy');
  busy = false;
  await new Promise((resolve) => setTimeout(resolve, 120));
  assert.deepEqual(reloads, [true], 'one reading for both events, with the panels');
  refresher.own(9);
  refresher.sceneChanged(9);
  await new Promise((resolve) => setTimeout(resolve, 20));
  assert.deepEqual(reloads, [true, false], 'an own edit: the scene, not the panels');
});

test('one file opens as the body with its name percent-encoded; several as one form', async () => {
  const model = new File(['v 0 0 0'], 'Kübel 1.obj');
  const single = requestFor([model]);
  assert.equal(single.body, model);
  assert.equal(single.headers['X-Tessaline-Filename'], 'K%C3%BCbel%201.obj');
  const material = new File(['newmtl a'], 'Kübel 1.mtl');
  const several = requestFor([model, material]);
  assert.ok(several.body instanceof FormData);
  assert.deepEqual(several.headers, {}, 'the browser writes the multipart type with its boundary');
  assert.deepEqual(several.body.getAll('file').map((part) => part.name), ['Kübel 1.obj', 'Kübel 1.mtl']);
  assert.equal(await several.body.getAll('file')[1].text(), 'newmtl a');
});

test('boot.js preloads every module of the page', () => {
  const boot = readFileSync(new URL('boot.js', staticDir), 'utf8');
  const listed = boot.slice(boot.indexOf('const modules = ['), boot.indexOf('];', boot.indexOf('const modules = [')));
  const names = [...listed.matchAll(/'([a-z_]+)'/g)].map((match) => `${match[1]}.js`).sort();
  const modules = readdirSync(staticDir).filter((name) => name.endsWith('.js') && name !== 'boot.js').sort();
  assert.deepEqual(names, modules);
});
