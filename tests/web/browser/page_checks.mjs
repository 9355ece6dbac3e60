// The preview page's scene handling in a real browser: the camera under the
// pointer, picking, undo and redo, the shown image's kind, opening a dropped
// model, a steady layout while the page loads, and the word a page gives
// when its server has restarted. Each check takes the scenario's tools:
// {check, stepMs, canvasPixels, difference}.
import { readFileSync } from 'node:fs';

// The scene as Save writes it, read in the page with its token.
export const savedScene = (page) => page.evaluate(async () => {
  const answer = await fetch('/api/scene.json', { headers: { 'X-Tessaline-Token': sessionStorage.getItem('tessaline-token') } });
  return answer.json();
});

const sameVector = (a, b) => Array.isArray(a) && Array.isArray(b) && a.every((v, i) => Math.abs(v - b[i]) < 1e-6);
const sameCamera = (a, b) => sameVector(a.position, b.position) && sameVector(a.target, b.target);
const describeCamera = (c) => `position ${c.position.map((v) => v.toFixed(3)).join(', ')}, target ${c.target.map((v) => v.toFixed(3)).join(', ')}`;

// Waits for the saved camera to pass the test and then to hold still (a
// drag's last positions may still be on their way).
async function waitForCamera(page, test, stepMs) {
  const until = Date.now() + stepMs;
  const settleMs = 250;
  let camera = (await savedScene(page)).camera;
  let still = null;
  while (Date.now() < until) {
    await page.waitForTimeout(50);
    const next = (await savedScene(page)).camera;
    if (!sameCamera(next, camera)) still = null;
    camera = next;
    if (!test(camera)) continue;
    still ??= Date.now();
    if (Date.now() - still >= settleMs) break;
  }
  return { camera, ok: test(camera) };
}

async function paneCentre(page) {
  const box = await page.locator('#view').boundingBox();
  return { box, x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

// A pointer drag over the render, in steps as a hand moves.
export async function drag(page, dx, dy, { shift = false, button = 'left' } = {}) {
  const { x, y } = await paneCentre(page);
  await page.mouse.move(x, y);
  if (shift) await page.keyboard.down('Shift');
  await page.mouse.down({ button });
  const steps = 8;
  for (let i = 1; i <= steps; ++i) {
    await page.mouse.move(x + (dx * i) / steps, y + (dy * i) / steps);
    await page.waitForTimeout(15);
  }
  await page.mouse.up({ button });
  if (shift) await page.keyboard.up('Shift');
}

// Orbit, pan and the wheel each move the camera the server saves; orbiting
// keeps the target, panning moves it, the wheel brings the camera nearer.
export async function checkCameraMoves(page, t) {
  const distance = (c) => Math.hypot(...c.position.map((v, i) => v - c.target[i]));
  let before = (await savedScene(page)).camera;
  await drag(page, 80, 30);
  let after = await waitForCamera(page, (c) => !sameCamera(c, before), t.stepMs);
  t.check('a left drag orbits the camera', after.ok && sameVector(after.camera.target, before.target),
    describeCamera(after.camera));

  before = after.camera;
  await drag(page, -60, 40, { shift: true });
  after = await waitForCamera(page, (c) => !sameCamera(c, before), t.stepMs);
  t.check('a Shift+drag pans the camera', after.ok && !sameVector(after.camera.target, before.target),
    describeCamera(after.camera));

  before = after.camera;
  await drag(page, 40, -30, { button: 'middle' });
  after = await waitForCamera(page, (c) => !sameCamera(c, before), t.stepMs);
  t.check('a middle drag pans the camera', after.ok && !sameVector(after.camera.target, before.target));

  before = after.camera;
  const { x, y } = await paneCentre(page);
  await page.mouse.move(x, y);
  await page.mouse.wheel(0, -240);
  after = await waitForCamera(page, (c) => !sameCamera(c, before), t.stepMs);
  t.check('the wheel moves the camera toward its target', after.ok && distance(after.camera) < distance(before)
    && sameVector(after.camera.target, before.target), `${distance(before).toFixed(3)} → ${distance(after.camera).toFixed(3)}`);

  // Framing all from up close moves the camera out to where the scene fits.
  before = after.camera;
  await page.keyboard.press('a');
  after = await waitForCamera(page, (c) => !sameCamera(c, before), t.stepMs);
  t.check('A frames all objects', after.ok && distance(after.camera) > distance(before));
}

// A pixel of the shown image where the object with that index is, in CSS
// pixels of the page: found in the server's object image, not by picking.
async function pixelOfObject(page, index) {
  const found = await page.evaluate(async (id) => {
    const data = document.querySelector('#render').dataset;
    const answer = await fetch(`/api/image?generation=${data.generation}&pass=${data.pass}&aov=object`,
      { headers: { 'X-Tessaline-Token': sessionStorage.getItem('tessaline-token') } });
    if (!answer.ok) return null;
    const bitmap = await createImageBitmap(await answer.blob(), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const g = canvas.getContext('2d');
    g.drawImage(bitmap, 0, 0);
    const pixels = g.getImageData(0, 0, bitmap.width, bitmap.height).data;
    // The object's pixel farthest from its border (sides of a 9 × 9 box all inside).
    const at = (x, y) => pixels[4 * (y * bitmap.width + x)] * 65536 + pixels[4 * (y * bitmap.width + x) + 1] * 256
      + pixels[4 * (y * bitmap.width + x) + 2];
    for (let margin = 8; margin >= 0; margin -= 2) {
      for (let y = margin; y < bitmap.height - margin; y += 3) {
        for (let x = margin; x < bitmap.width - margin; x += 3) {
          if (at(x, y) === id && at(x - margin, y) === id && at(x + margin, y) === id
            && at(x, y - margin) === id && at(x, y + margin) === id) {
            return { x: x + 0.5, y: y + 0.5, width: bitmap.width, height: bitmap.height };
          }
        }
      }
    }
    return null;
  }, index + 1);
  if (!found) return null;
  const box = await page.locator('#view').boundingBox();
  return { x: box.x + (found.x / found.width) * box.width, y: box.y + (found.y / found.height) * box.height };
}

// Clicks the object's pixel and waits for its button to be the pressed one.
async function pickSelects(page, t, { name, index }) {
  const point = await pixelOfObject(page, index);
  if (!point) return false;
  await page.mouse.click(point.x, point.y);
  return page.waitForFunction((wanted) => document.querySelector('#object-list button[aria-pressed="true"]')
    ?.textContent === wanted, name, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
}

const pressedObject = (page) => page.locator('#object-list button[aria-pressed="true"]').textContent();
const outlineState = (page) => page.locator('#outline').evaluate((canvas) => ({ ...canvas.dataset }));

// A click on an object selects it and outlines it; a click on the background clears the outline.
export async function checkPick(page, t, { name, index, scaled = '' }) {
  await page.waitForFunction(() => document.querySelector('#render').dataset.final === 'true', null, { timeout: t.stepMs });
  if (scaled) {
    t.check(`a click${scaled} selects the object under it`, await pickSelects(page, t, { name, index }), await pressedObject(page));
    return;
  }
  const point = await pixelOfObject(page, index);
  if (!t.check(`the object image shows ${name}`, point !== null)) return;
  await page.mouse.click(point.x, point.y);
  const selected = await page.waitForFunction((wanted) => document.querySelector('#object-list button[aria-pressed="true"]')
    ?.textContent === wanted, name, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  t.check('a click on the render selects the object under it', selected, await pressedObject(page));
  const outlined = await page.waitForFunction((wanted) => {
    const data = document.querySelector('#outline').dataset;
    return data.outlined === String(wanted) && Number(data.outlinePixels) > 0;
  }, index, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  const state = await outlineState(page);
  t.check('… and outlines it', outlined, `${state.outlinePixels ?? 0} outline pixels`);
  // The top left corner of the demo is sky.
  const box = await page.locator('#view').boundingBox();
  await page.mouse.click(box.x + 4, box.y + 4);
  const cleared = await page.waitForFunction(() => document.querySelector('#outline').dataset.outlinePixels === '0',
    null, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  t.check('a click on the background clears the outline', cleared);
}

const radiusField = (page) => page.locator('.channel[data-channel="normal"] .param[data-symbol="SOFTEDGE_RADIUS"] input');

async function waitForRadius(page, value, stepMs) {
  return page.waitForFunction((wanted) => Number(document.querySelector(
    '.channel[data-channel="normal"] .param[data-symbol="SOFTEDGE_RADIUS"] input')?.value) === wanted,
  value, { timeout: stepMs, polling: 20 }).then(() => true, () => false);
}

// Ctrl+Z and Ctrl+Shift+Z walk a radius edit and a camera move back and forth.
export async function checkUndoRedo(page, t) {
  const field = radiusField(page);
  const radius0 = Number(await field.inputValue());
  const radius1 = radius0 === 0.3 ? 0.25 : 0.3;
  await field.fill(String(radius1));
  await field.press('Enter');
  await waitForRadius(page, radius1, t.stepMs);
  const camera0 = await waitForCamera(page, () => true, t.stepMs).then((r) => r.camera);
  await drag(page, -70, 0);
  const moved = await waitForCamera(page, (c) => !sameCamera(c, camera0), t.stepMs);
  const camera1 = moved.camera;
  // Focus is off the field now (the drag pressed on the render).
  await page.keyboard.press('Control+z');
  const cameraBack = await waitForCamera(page, (c) => sameCamera(c, camera0), t.stepMs);
  t.check('Ctrl+Z takes the camera move back', moved.ok && cameraBack.ok, describeCamera(cameraBack.camera));
  await page.keyboard.press('Control+z');
  const undone = await waitForRadius(page, radius0, t.stepMs);
  t.check('… then the radius edit', undone, await field.inputValue());
  await page.keyboard.press('Control+Shift+z');
  t.check('Ctrl+Shift+Z makes the radius edit again', undone && await waitForRadius(page, radius1, t.stepMs),
    await field.inputValue());
  await page.keyboard.press('Control+Shift+z');
  const cameraAgain = await waitForCamera(page, (c) => sameCamera(c, camera1), t.stepMs);
  t.check('… then the camera move', moved.ok && cameraAgain.ok, describeCamera(cameraAgain.camera));
  const redoDisabled = await page.waitForFunction(() => document.querySelector('#redo').disabled, null,
    { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  t.check('with nothing left to redo, Redo is disabled', redoDisabled && !(await page.locator('#undo').isDisabled()));

  // In a field being typed in, Ctrl+Z is the field's own.
  await field.fill('0.123');
  await page.keyboard.press('Control+z');
  await page.waitForTimeout(300);
  const camera = (await savedScene(page)).camera;
  t.check('Ctrl+Z in a field being typed in leaves the scene alone', moved.ok && sameCamera(camera, camera1));
  // Committed as it was, so that leaving the field changes nothing.
  await field.fill(String(radius1));
  await field.press('Enter');
}

// The normal view shows a different image of the same pass, and beauty the first again.
export async function checkAovSwitch(page, t) {
  await page.waitForFunction(() => document.querySelector('#render').dataset.final === 'true', null, { timeout: t.stepMs });
  const beauty = await t.canvasPixels(page);
  await page.locator('#aov button[data-aov="normal"]').click();
  let normal = beauty;
  const until = Date.now() + t.stepMs;
  while (Date.now() < until && t.difference(beauty, normal).share < 0.05) {
    await page.waitForTimeout(50);
    normal = await t.canvasPixels(page);
  }
  const change = t.difference(beauty, normal);
  t.check('the normal view shows another image', change.share >= 0.05, `${(change.share * 100).toFixed(1)} % of the pixels differ`);
  await page.locator('#aov button[data-aov="beauty"]').click();
  await page.waitForFunction(() => document.querySelector('#render').dataset.aov === 'beauty', null, { timeout: t.stepMs });
  await page.waitForTimeout(300);
  const back = t.difference(beauty, await t.canvasPixels(page));
  t.check('… and beauty the beauty image again', back.share < 0.01, `${(back.share * 100).toFixed(2)} % differ`);
}

// Over the first second of a load the title bar's row and the render pane keep their boxes.
export async function checkNoLayoutShift(page, t) {
  await page.addInitScript(() => {
    window.layoutSamples = [];
    const started = performance.now();
    const sample = () => {
      const bar = document.querySelector('.channel[data-channel="normal"] .titlebar');
      const box = (element) => {
        if (!element) return null;
        const r = element.getBoundingClientRect();
        return [r.x, r.y, r.width, r.height].map((v) => Math.round(v * 10) / 10).join(',');
      };
      window.layoutSamples.push({ bar: box(bar), pane: box(document.querySelector('#view')) });
      if (performance.now() - started < 1200) requestAnimationFrame(sample);
    };
    requestAnimationFrame(sample);
  });
  await page.reload();
  await page.waitForTimeout(1500);
  const samples = await page.evaluate(() => window.layoutSamples);
  const bars = samples.map((s) => s.bar).filter(Boolean);
  const panes = new Set(samples.map((s) => s.pane));
  t.check('the title bar appears while the page loads', bars.length > 0, `${bars.length} of ${samples.length} frames`);
  t.check('the title bar\'s row keeps its box from its first frame', new Set(bars).size === 1, [...new Set(bars)].join(' | '));
  t.check('the render pane keeps its box from the first frame', panes.size === 1, [...panes].join(' | '));
  const image = await page.locator('.channel[data-channel="normal"] img.titlebar').evaluate((img) => ({
    natural: img.naturalHeight, shown: img.getBoundingClientRect().height,
  }));
  t.check('the box held for the title bar is the height the server draws', image.natural === Math.round(image.shown),
    `${image.natural} drawn, ${image.shown} held`);
}

// Samples and scale show in the passes; at half scale the image still fills
// the pane, and a click still picks what is under it.
export async function checkRenderControls(page, t, pickable) {
  const pane = await page.locator('#view').boundingBox();
  await page.locator('#samples').fill('8');
  await page.locator('#samples').press('Enter');
  const eight = await page.waitForFunction(() => {
    const data = document.querySelector('#render').dataset;
    return data.final === 'true' && data.samples === '8';
  }, null, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  t.check('Samples sets the final pass\'s samples', eight, `final pass with ${(await page.locator('#render').evaluate((c) => c.dataset.samples))}`);
  await page.locator('#scale').selectOption('0.5');
  const half = await page.waitForFunction(({ width, height }) => {
    const data = document.querySelector('#render').dataset;
    return data.final === 'true' && Number(data.width) === Math.round(width / 2) && Number(data.height) === Math.round(height / 2);
  }, { width: pane.width, height: pane.height }, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  const shown = await page.locator('#render').boundingBox();
  t.check('at scale ½ the half-size image fills the pane', half && shown.width === pane.width && shown.height === pane.height,
    `${await page.locator('#render').evaluate((c) => `${c.width} × ${c.height}`)} shown at ${shown.width} × ${shown.height}`);
  await checkPick(page, t, { ...pickable, scaled: ' at scale ½' });
  await page.locator('#scale').selectOption('1');
  await page.locator('#samples').fill('16');
  await page.locator('#samples').press('Enter');
  await page.locator('#pause').click();
  const paused = await page.waitForFunction(() => document.querySelector('#pause').textContent === 'Resume',
    null, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  await page.locator('#pause').click();
  const resumed = await page.waitForFunction(() => document.querySelector('#pause').textContent === 'Pause'
    && document.querySelector('#render').dataset.final === 'true' && document.querySelector('#render').dataset.samples === '16',
  null, { timeout: t.stepMs, polling: 20 }).then(() => true, () => false);
  t.check('Pause and Resume stop and finish the render', paused && resumed);
}

// Drops files ({name, base64}) on the render as a user's drag from the desktop
// would; answers whether the page highlighted itself while they were over it.
async function dropFiles(page, files) {
  return page.evaluate((list) => {
    const transfer = new DataTransfer();
    for (const { name, base64 } of list) {
      transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
    }
    const fire = (type) => document.querySelector('#view').dispatchEvent(new DragEvent(type, {
      dataTransfer: transfer, bubbles: true, cancelable: true,
    }));
    fire('dragenter');
    fire('dragover');
    const highlighted = document.body.classList.contains('dropping');
    fire('drop');
    return highlighted && !document.body.classList.contains('dropping');
  }, files);
}

const objectNames = (page) => page.locator('#object-list button').allTextContents();

async function waitForObjects(page, test, stepMs) {
  return page.waitForFunction(test, null, { timeout: stepMs, polling: 50 }).then(() => true, () => false);
}

const namesOtherThan = (old) => `(() => {
  const now = [...document.querySelectorAll('#object-list button')].map((b) => b.textContent).join('\\n');
  return now !== '' && now !== ${JSON.stringify(old.join('\n'))};
})()`;
const namesEqual = (old) => `[...document.querySelectorAll('#object-list button')].map((b) => b.textContent).join('\\n')
  === ${JSON.stringify(old.join('\n'))}`;

// A model file dropped on the page opens in place of the scene, so do an .obj
// and its .mtl dropped together; a text file is refused; Undo walks back.
export async function checkDropOpens(page, t, assets) {
  const demo = await objectNames(page);
  const file = (path, name = path.split(/[\\/]/).pop()) => ({ name, base64: readFileSync(path).toString('base64') });
  const stl = file(assets.stl);
  t.check('dragging files over the page highlights it', await dropFiles(page, [stl]));
  const opened = await waitForObjects(page, namesOtherThan(demo), t.stepMs);
  t.check(`a dropped ${stl.name} opens`, opened, `${(await objectNames(page)).join(', ')}; ${await page.locator('#status').textContent()}`);
  const imaged = opened && await page.waitForFunction(() => document.querySelector('#render').dataset.final === 'true',
    null, { timeout: t.stepMs }).then(() => true, () => false);
  t.check('… and renders', imaged);
  const stlScene = await objectNames(page);

  await dropFiles(page, [{ name: 'notes.txt', base64: Buffer.from('not a model').toString('base64') }]);
  const refused = await page.waitForFunction(() => document.querySelector('#status').classList.contains('failed')
    && /notes\.txt/.test(document.querySelector('#status').textContent), null, { timeout: t.stepMs, polling: 20 })
    .then(() => true, () => false);
  t.check('a file that is no model is refused in the status line', refused, await page.locator('#status').textContent());

  const material = { name: 'cube.mtl', base64: Buffer.from('newmtl red\nKd 1 0 0\n').toString('base64') };
  await dropFiles(page, [material, file(assets.obj)]);
  const both = opened && await waitForObjects(page, namesOtherThan(stlScene), t.stepMs);
  t.check('an .obj dropped with its .mtl opens', both, (await objectNames(page)).join(', '));

  await page.locator('#undo').click();
  const backToStl = both && await waitForObjects(page, namesEqual(stlScene), t.stepMs);
  await page.locator('#undo').click();
  const backToDemo = backToStl && await waitForObjects(page, namesEqual(demo), t.stepMs);
  t.check('Undo brings the scenes before the files back, one by one', backToDemo, (await objectNames(page)).join(', '));
}

// After the server restarts, the page stops retrying and says what to do.
export async function checkRestartWording(page, t, restart) {
  await restart();
  const said = await page.waitForFunction(() => /restarted/.test(document.querySelector('#status').textContent),
    null, { timeout: t.stepMs, polling: 50 }).then(() => true, () => false);
  t.check('a page of a restarted server says so', said, await page.locator('#status').textContent());
}
