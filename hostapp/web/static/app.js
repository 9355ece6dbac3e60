// The preview page: the object list, each chosen object's material channels
// with their shader panels, the render pane, Save, and the in-page message
// box the title bar's name button opens.
import { getJson, nextEdit, postJson, withToken } from './api.js';
import { renderPanel } from './panel.js';
import { view } from './render_pane.js';

const channelLabels = { color: 'Colour', bump: 'Bump', normal: 'Normal' };
// Plug-in shaders go by their registered names, which are already words.
const shaderLabels = { none: 'None' };

const page = {
  scene: null,
  selected: 0,
  knownGeneration: -1,
  editsInFlight: 0,
  remembered: new Map(),
  slots: new Map(),  // channel name → its section of the sidebar
};

view.onSceneChanged = sceneChangedElsewhere;
document.getElementById('save').href = withToken('/api/scene.json');
loadScene();

async function loadScene() {
  try {
    page.scene = await getJson('/api/scene');
  } catch (error) {
    view.setStatus(`Could not read the scene: ${error.message}`, true);
    return;
  }
  page.knownGeneration = Math.max(page.knownGeneration, page.scene.generation);
  page.selected = Math.min(page.selected, page.scene.objects.length - 1);
  showObjectList();
  showChannels();
}

// Another tab edited the scene: show what it did, unless an edit of ours is
// under way, whose answer brings the panel anyway.
function sceneChangedElsewhere({ generation }) {
  if (page.editsInFlight > 0 || generation <= page.knownGeneration) return;
  loadScene();
}

function showObjectList() {
  const list = document.getElementById('object-list');
  list.replaceChildren(...page.scene.objects.map((object, index) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = object.name;
    button.setAttribute('aria-pressed', String(index === page.selected));
    button.addEventListener('click', () => {
      page.selected = index;
      showObjectList();
      showChannels();
    });
    item.append(button);
    return item;
  }));
}

function showChannels() {
  const object = page.scene.objects[page.selected];
  const container = document.getElementById('channels');
  page.slots.clear();
  container.replaceChildren(...Object.keys(channelLabels).map((name) => {
    const slot = channelSection(object, name);
    page.slots.set(name, slot);
    return slot;
  }));
}

function channelSection(object, name) {
  const channel = object.channels[name];
  const section = document.createElement('section');
  section.className = 'channel';
  section.dataset.channel = name;
  const header = document.createElement('header');
  const title = document.createElement('h3');
  title.textContent = channelLabels[name];
  header.append(title, shaderSelect(object, name, channel.shader));
  const body = document.createElement('div');
  body.className = 'channel-body';
  section.append(header, body);
  section.editSerial = 0;
  if (channel.plugin) loadPanel(section, object.index, name);
  return section;
}

function shaderSelect(object, name, shader) {
  const select = document.createElement('select');
  select.setAttribute('aria-label', `${channelLabels[name]} shader`);
  // The colour channel without a shader holds its plain colour.
  const current = shader === 'constant' ? 'none' : shader;
  const choices = page.scene.shaders.includes(current) ? page.scene.shaders : [current, ...page.scene.shaders];
  for (const shader of choices) {
    select.append(new Option(shaderLabels[shader] ?? shader, shader, false, shader === current));
  }
  select.addEventListener('change', () => switchShader(object.index, name, select));
  return select;
}

async function switchShader(objectIndex, name, select) {
  view.noteEdit();
  page.editsInFlight++;
  try {
    const entry = await postJson('/api/channel', {
      object: objectIndex, channel: name, shader: select.value, ...nextEdit(),
    });
    page.knownGeneration = Math.max(page.knownGeneration, entry.generation);
    page.scene.objects[objectIndex] = { ...page.scene.objects[objectIndex], ...entry };
    if (page.selected === objectIndex) replaceSection(name);
  } catch (error) {
    view.forgetEdit();
    view.setStatus(`Could not change the shader: ${error.message}`, true);
    replaceSection(name);
  } finally {
    page.editsInFlight--;
  }
}

function replaceSection(name) {
  const object = page.scene.objects[page.selected];
  const fresh = channelSection(object, name);
  page.slots.get(name)?.replaceWith(fresh);
  page.slots.set(name, fresh);
}

async function loadPanel(section, objectIndex, channel) {
  try {
    showPanel(section, await getJson('/api/panel', { object: objectIndex, channel }));
  } catch (error) {
    section.querySelector('.channel-body').textContent = `No panel: ${error.message}`;
  }
}

function showPanel(section, panel) {
  const body = section.querySelector('.channel-body');
  const focused = body.contains(document.activeElement) ? document.activeElement.closest('.param')?.dataset.symbol : null;
  const panelElement = renderPanel(panel, {
    edit: (symbol, value) => editParam(section, panel, symbol, value),
    linkShaders: page.scene.linkShaders,
    showMessage,
    remembered: page.remembered,
    titleBar: body.querySelector('img.titlebar'),
  });
  body.replaceChildren(panelElement);
  if (focused) panelElement.querySelector(`.param[data-symbol="${focused}"] :is(input, select)`)?.focus();
}

// Edits go out at once and never wait for each other; only the answer to the
// newest one rebuilds the panel, so a slow answer cannot undo a later edit.
async function editParam(section, panel, symbol, value) {
  const serial = ++section.editSerial;
  view.noteEdit();
  page.editsInFlight++;
  try {
    const next = await postJson('/api/param', {
      object: panel.object, channel: panel.channel, symbol, value, ...nextEdit(),
    });
    page.knownGeneration = Math.max(page.knownGeneration, next.generation);
    if (serial === section.editSerial && section.isConnected) showPanel(section, next);
  } catch (error) {
    view.forgetEdit();
    throw error;
  } finally {
    page.editsInFlight--;
  }
}

function showMessage(text) {
  const dialog = document.getElementById('message-box');
  document.getElementById('message-text').textContent = text;
  if (!dialog.open) dialog.showModal();
}
