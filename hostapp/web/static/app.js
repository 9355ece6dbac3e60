// The preview page: the object list and the selected object's channels, the
// camera under the pointer, picking and the selection's outline, undo and
// redo, the view and render switches, opening models, Save, and the in-page
// message box the title bar's name button opens. The render pane itself
// starts on its own (render_pane.js).
import { getJson, pageId, postJson, withToken } from './api.js';
import { CameraControl } from './camera_control.js';
import { Channels } from './channels.js';
import { setUpOpening } from './open_files.js';
import { RenderControls } from './render_controls.js';
import { outline, view } from './render_pane.js';
import { SceneRefresher } from './scene_refresher.js';
import { setUpShortcuts } from './shortcuts.js';

const byId = (id) => document.getElementById(id);

// The selected object outlives a reload of the page (not the tab).
const selectedKey = 'tessaline-selected';

const page = {
  scene: null,
  camera: null,     // the scene's camera, moved by this page's drags before the server confirms them
  selected: Number(sessionStorage.getItem(selectedKey)) || 0,
  editsInFlight: 0,
};

const channels = new Channels({
  container: byId('channels'), page, view, showMessage, edited: (generation) => refresher.own(generation),
});
const camera = new CameraControl({
  pane: byId('view'),
  view,
  camera: () => page.camera,
  cameraChanged: (moved) => { page.camera = moved; },
  pick,
  failed: (text) => view.setStatus(text, true),
  answered: (generation) => refresher.own(generation),
  sceneBoxes: () => (page.scene?.objects ?? []).map((object) => object.bounds).filter(Boolean),
});
const renderControls = new RenderControls({
  samples: byId('samples'), scale: byId('scale'), pause: byId('pause'), view,
});
const refresher = new SceneRefresher({
  busy: () => page.editsInFlight > 0 || camera.dragging,
  reload: (panels) => reloadScene(panels),
});

view.onSceneChanged = ({ generation }) => refresher.sceneChanged(generation);
byId('save').href = withToken('/api/scene.json');
setUpButtons();
setUpShortcuts({ undo: () => walkHistory('undo'), redo: () => walkHistory('redo'), frameAll, frameSelected });
setUpOpening({
  button: byId('open'), input: byId('open-files'), status: (text, failed) => view.setStatus(text, failed), opened,
});
firstLoad();

async function firstLoad() {
  try {
    showScene(await getJson('/api/scene'));
  } catch (error) {
    view.setStatus(`Could not read the scene: ${error.message}`, true);
    return;
  }
  await channels.show();
}

// What every reading of the scene updates; the channels are the caller's.
function showScene(scene) {
  page.scene = scene;
  if (!camera.dragging && scene.camera) page.camera = scene.camera;
  page.selected = Math.max(0, Math.min(page.selected, scene.objects.length - 1));
  showObjectList();
  showHistory(scene.history);
  renderControls.show(scene.render);
}

// Reads the scene again; the open panels too when another page (or undo)
// may have changed their values.
async function reloadScene(panels) {
  let scene;
  try {
    scene = await getJson('/api/scene');
  } catch (error) {
    view.setStatus(`Could not read the scene: ${error.message}`, true);
    return;
  }
  showScene(scene);
  await channels.update(panels);
}

// The buttons stay while the objects do (a reload after each edit must not
// swallow a click under way); only which one is pressed changes.
function showObjectList() {
  const list = byId('object-list');
  const names = page.scene.objects.map((object) => object.name);
  const buttons = [...list.querySelectorAll('button')];
  if (buttons.length === names.length && buttons.every((button, i) => button.textContent === names[i])) {
    buttons.forEach((button, i) => button.setAttribute('aria-pressed', String(i === page.selected)));
    return;
  }
  list.replaceChildren(...page.scene.objects.map((object, index) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = object.name;
    button.setAttribute('aria-pressed', String(index === page.selected));
    button.addEventListener('click', () => select(index));
    item.append(button);
    return item;
  }));
}

// Selects an object as its button in the list does: its panels open and the
// render outlines it.
function select(index) {
  outline.select(index);
  if (index === null) return;
  if (index !== page.selected) {
    page.selected = index;
    sessionStorage.setItem(selectedKey, String(index));
    channels.show();
  }
  showObjectList();
}

async function pick(x, y) {
  try {
    const answer = await getJson('/api/pick', { x, y, page: pageId });
    select(answer.object ?? null);
  } catch (error) {
    view.setStatus(`Could not pick: ${error.message}`, true);
  }
}

function frameAll() {
  const objects = page.scene?.objects ?? [];
  if (!camera.frame(objects.map((object) => object.bounds).filter(Boolean))) view.setStatus('Nothing to frame', false);
}

function frameSelected() {
  const bounds = page.scene?.objects[page.selected]?.bounds;
  if (!camera.frame(bounds ? [bounds] : [])) view.setStatus('Nothing to frame', false);
}

function showHistory(history) {
  byId('undo').disabled = !(history?.undo > 0);
  byId('redo').disabled = !(history?.redo > 0);
}

async function walkHistory(direction) {
  // A drag's last position goes first, so that undo takes back the whole drag.
  await camera.idle();
  view.noteEdit();
  page.editsInFlight++;
  try {
    const answer = await postJson(`/api/${direction}`, {});
    refresher.own(answer.generation);
    view.noteGeneration(answer.generation);
  } catch (error) {
    view.forgetEdit();
    const nothing = error.status === 409 ? `Nothing to ${direction}` : `Could not ${direction}: ${error.message}`;
    view.setStatus(nothing, error.status !== 409);
  } finally {
    page.editsInFlight--;
  }
  // What changed back may be anything: every field is read again.
  await reloadScene(true);
}

function opened(scene, names) {
  view.noteGeneration(scene.generation ?? -1);
  if (scene.generation !== undefined) refresher.own(scene.generation);
  page.selected = 0;
  sessionStorage.setItem(selectedKey, '0');
  outline.select(null);
  showScene(scene);
  channels.show();
  view.setStatus(`Opened ${names}`, false);
}

function setUpButtons() {
  byId('undo').addEventListener('click', () => walkHistory('undo'));
  byId('redo').addEventListener('click', () => walkHistory('redo'));
  byId('frame-all').addEventListener('click', frameAll);
  byId('frame-selected').addEventListener('click', frameSelected);
  for (const button of document.querySelectorAll('#aov button')) {
    button.addEventListener('click', () => {
      for (const other of document.querySelectorAll('#aov button')) other.setAttribute('aria-pressed', String(other === button));
      view.setAov(button.dataset.aov);
    });
  }
}

function showMessage(text) {
  const dialog = byId('message-box');
  byId('message-text').textContent = text;
  if (!dialog.open) dialog.showModal();
}
