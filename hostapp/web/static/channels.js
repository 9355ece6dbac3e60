// The selected object's material channels in the sidebar: each with its
// shader menu, its strength, the plain colour where the colour channel holds
// one, and the plug-in shader's panel. A channel's panels are fetched before
// any section is shown, so the sidebar appears at once rather than growing
// panel by panel.
import { getJson, nextEdit, postJson } from './api.js';
import { hexToLinear, linearToHex } from './colour.js';
import { renderPanel } from './panel.js';

export const channelNames = ['color', 'bump', 'normal'];
const channelLabels = { color: 'Colour', bump: 'Bump', normal: 'Normal' };
// Plug-in shaders go by their registered names, which are already words. The
// colour channel without a shader holds its plain colour.
const noneLabels = { color: 'Colour', bump: 'None', normal: 'None' };

export class Channels {
  // context: {container, page, view, showMessage, edited(generation)}
  constructor(context) {
    Object.assign(this, context);
    this.slots = new Map();  // channel name → its section
    this.remembered = new Map();
    this.shownSerial = 0;
  }

  get object() {
    return this.page.scene.objects[this.page.selected];
  }

  // Builds every section of the selected object anew, panels first.
  async show() {
    const serial = ++this.shownSerial;
    const object = this.object;
    if (!object) {
      this.container.replaceChildren();
      this.slots.clear();
      return;
    }
    const panels = await Promise.all(channelNames.map((name) => this.fetchPanel(object, name)));
    if (serial !== this.shownSerial) return;
    this.slots.clear();
    this.container.replaceChildren(...channelNames.map((name, i) => {
      const section = this.section(object, name, panels[i]);
      this.slots.set(name, section);
      return section;
    }));
  }

  // Brings the sections up to the scene just read: a channel whose shader
  // changed is built again; otherwise its fields take the new values, and its
  // panel is asked again when reloadPanels says another page edited.
  async update(reloadPanels) {
    const object = this.object;
    const stale = !object || channelNames.some((name) => {
      const section = this.slots.get(name);
      return !section || section.objectIndex !== object.index || section.shader !== object.channels[name]?.shader;
    });
    if (stale) return this.show();
    const serial = this.shownSerial;
    const panels = await Promise.all(channelNames.map((name) => (
      reloadPanels ? this.fetchPanel(object, name) : null)));
    if (serial !== this.shownSerial) return undefined;
    channelNames.forEach((name, i) => {
      const section = this.slots.get(name);
      this.updateFields(section, object.channels[name]);
      if (panels[i]) this.showPanel(section, panels[i]);
    });
    return undefined;
  }

  async fetchPanel(object, name) {
    if (!object.channels[name]?.plugin) return null;
    try {
      return await getJson('/api/panel', { object: object.index, channel: name });
    } catch (error) {
      return { failed: error.message };
    }
  }

  section(object, name, panel) {
    const channel = object.channels[name];
    const section = document.createElement('section');
    section.className = 'channel';
    section.dataset.channel = name;
    Object.assign(section, { objectIndex: object.index, shader: channel.shader, editSerial: 0 });
    const header = document.createElement('header');
    const title = document.createElement('h3');
    title.textContent = channelLabels[name];
    const fields = document.createElement('div');
    fields.className = 'channel-fields';
    fields.append(...this.headerFields(object.index, name, channel));
    header.append(title, fields);
    const body = document.createElement('div');
    body.className = 'channel-body';
    section.append(header, body);
    if (panel) this.showPanel(section, panel);
    return section;
  }

  headerFields(objectIndex, name, channel) {
    const fields = [this.shaderSelect(objectIndex, name, channel.shader)];
    if (channel.shader === 'constant' && Array.isArray(channel.value)) fields.push(this.colourField(objectIndex, name, channel.value));
    if (typeof channel.strength === 'number') fields.push(this.strengthField(objectIndex, name, channel.strength));
    return fields;
  }

  shaderSelect(objectIndex, name, shader) {
    const select = document.createElement('select');
    select.className = 'shader';
    select.setAttribute('aria-label', `${channelLabels[name]} shader`);
    const current = shader === 'constant' ? 'none' : shader;
    const { shaders } = this.page.scene;
    const choices = shaders.includes(current) ? shaders : [current, ...shaders];
    for (const choice of choices) {
      const label = choice === 'none' ? noneLabels[name] : choice;
      select.append(new Option(label, choice, false, choice === current));
    }
    select.addEventListener('change', () => this.editChannel(objectIndex, name, { shader: select.value }, 'change the shader'));
    return select;
  }

  colourField(objectIndex, name, value) {
    const input = document.createElement('input');
    input.type = 'color';
    input.className = 'channel-colour';
    input.setAttribute('aria-label', `${channelLabels[name]}: plain colour`);
    input.value = linearToHex(value);
    // 'change' comes when the picker closes: one edit, not one per hue dragged through.
    input.addEventListener('change', () => this.editChannel(objectIndex, name, { color: hexToLinear(input.value) }, 'change the colour'));
    return input;
  }

  strengthField(objectIndex, name, strength) {
    const input = document.createElement('input');
    input.type = 'number';
    input.className = 'channel-strength';
    Object.assign(input, { min: -100, max: 100, step: 'any', value: String(strength), title: 'Strength: −100 … 100' });
    input.setAttribute('aria-label', `${channelLabels[name]} strength`);
    input.addEventListener('change', () => {
      const value = Number(input.value);
      // Not a number: sent as typed, for the server to word the refusal.
      const valid = input.value.trim() !== '' && Number.isFinite(value);
      this.editChannel(objectIndex, name, { strength: valid ? value : input.value }, 'change the strength');
    });
    const label = document.createElement('label');
    label.className = 'channel-strength-label';
    label.append('Strength', input);
    return label;
  }

  // Fields the user is not in take the scene's values.
  updateFields(section, channel) {
    const set = (selector, value) => {
      const field = section.querySelector(selector);
      if (field && field !== document.activeElement) field.value = value;
    };
    set('select.shader', channel.shader === 'constant' ? 'none' : channel.shader);
    if (Array.isArray(channel.value)) set('input.channel-colour', linearToHex(channel.value));
    if (typeof channel.strength === 'number') set('input.channel-strength', String(channel.strength));
  }

  async editChannel(objectIndex, name, change, what) {
    this.view.noteEdit();
    this.page.editsInFlight++;
    try {
      const entry = await postJson('/api/channel', { object: objectIndex, channel: name, ...change, ...nextEdit() });
      this.edited(entry.generation);
      const { generation, ...object } = entry;
      this.page.scene.objects[objectIndex] = { ...this.page.scene.objects[objectIndex], ...object };
      if (this.page.selected === objectIndex) await this.replaceSection(name);
    } catch (error) {
      this.view.forgetEdit();
      this.view.setStatus(`Could not ${what}: ${error.message}`, true);
      if (this.page.selected === objectIndex) await this.replaceSection(name);
    } finally {
      this.page.editsInFlight--;
    }
  }

  // A channel's section after an edit: rebuilt when its shader changed, else
  // its fields follow the values.
  async replaceSection(name) {
    const object = this.object;
    const channel = object.channels[name];
    const old = this.slots.get(name);
    if (old && old.shader === channel.shader && old.objectIndex === object.index) {
      this.updateFields(old, channel);
      return;
    }
    const fresh = this.section(object, name, await this.fetchPanel(object, name));
    (this.slots.get(name) ?? old)?.replaceWith(fresh);
    this.slots.set(name, fresh);
  }

  showPanel(section, panel) {
    const body = section.querySelector('.channel-body');
    if (panel.failed) {
      body.textContent = `No panel: ${panel.failed}`;
      return;
    }
    const focused = body.contains(document.activeElement) ? document.activeElement.closest('.param')?.dataset.symbol : null;
    const panelElement = renderPanel(panel, {
      edit: (symbol, value) => this.editParam(section, panel, symbol, value),
      linkShaders: this.page.scene.linkShaders,
      showMessage: this.showMessage,
      remembered: this.remembered,
      titleBar: body.querySelector('.titlebar'),
    });
    body.replaceChildren(panelElement);
    if (focused) panelElement.querySelector(`.param[data-symbol="${focused}"] :is(input, select)`)?.focus();
  }

  // Edits go out at once and never wait for each other; only the answer to the
  // newest one rebuilds the panel, so a slow answer cannot undo a later edit.
  async editParam(section, panel, symbol, value) {
    const serial = ++section.editSerial;
    this.view.noteEdit();
    this.page.editsInFlight++;
    try {
      const next = await postJson('/api/param', {
        object: panel.object, channel: panel.channel, symbol, value, ...nextEdit(),
      });
      this.edited(next.generation);
      if (serial === section.editSerial && section.isConnected) this.showPanel(section, next);
    } catch (error) {
      this.view.forgetEdit();
      throw error;
    } finally {
      this.page.editsInFlight--;
    }
  }
}
