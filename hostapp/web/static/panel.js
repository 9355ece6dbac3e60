// A shader's attribute panel built from the description the server reports:
// groups, separators, the title bar and one control per parameter, each
// showing its label, unit, range and whether it is enabled. Controls hand
// edits to context.edit(symbol, value), which answers with a promise; a
// refused value shows the server's message under its control.
import { createCurveEditor } from './curve_editor.js';
import { createGradientEditor } from './gradient_editor.js';
import { createTitleBar } from './titlebar.js';

const unitSuffix = { DEGREE: '°', PERCENT: '%', METER: 'm' };
// A number and its unit: a space before a unit symbol, none before the degree
// sign of an angle.
const withUnit = (number, unit) => (unit === 'DEGREE' ? `${number}°` : `${number}${unitSuffix[unit] ? ` ${unitSuffix[unit]}` : ''}`);

export function renderPanel(panel, context) {
  const root = document.createElement('div');
  root.className = 'panel';
  root.dataset.shader = panel.shader;
  root.append(...renderElements(panel.elements, { ...context, panel }));
  return root;
}

// Kinds of element this page does not know are left out rather than guessed at.
function renderElements(elements, context) {
  return elements.map((element) => renderElement(element, context)).filter(Boolean);
}

function renderElement(element, context) {
  switch (element.kind) {
    case 'group': return renderGroup(element, context);
    case 'separator': return document.createElement('hr');
    // The bar of the panel this one replaces keeps its image and hover state.
    case 'titlebar': return context.titleBar ?? createTitleBar({
      object: context.panel.object, channel: context.panel.channel, showMessage: context.showMessage,
    });
    case 'param': return renderParam(element, context);
    default: return null;
  }
}

function renderGroup(group, context) {
  const children = renderElements(group.elements ?? [], context);
  if (!group.label) {
    const plain = document.createElement('div');
    plain.className = 'group';
    plain.append(...children);
    return plain;
  }
  const box = document.createElement('fieldset');
  box.className = 'group';
  box.dataset.symbol = group.symbol ?? '';
  const legend = document.createElement('legend');
  legend.textContent = group.label;
  box.append(legend, ...children);
  return box;
}

function renderParam(param, context) {
  const row = document.createElement('div');
  row.className = `param param-${param.type.toLowerCase()}`;
  row.dataset.symbol = param.symbol;
  row.classList.toggle('disabled', !param.enabled);
  const id = `${context.panel.channel}-${param.symbol}`;
  const label = document.createElement('label');
  label.textContent = param.label || param.symbol;
  label.htmlFor = id;
  const error = document.createElement('p');
  error.className = 'param-error';
  error.hidden = true;

  // A refused value leaves the parameter as it was, so the control is built
  // again from it and the server's message stays beneath.
  let control;
  const build = () => controlFor(param, { ...context, id, edit });
  const edit = async (value) => {
    error.hidden = true;
    try {
      await context.edit(param.symbol, value);
    } catch (refusal) {
      error.textContent = refusal.message;
      error.hidden = false;
      const fresh = build();
      control.replaceWith(fresh);
      control = fresh;
    }
  };
  control = build();
  row.append(label, control, error);
  return row;
}

function controlFor(param, context) {
  const enabled = param.enabled !== false;
  switch (param.type) {
    case 'REAL': return numberField(param, context, enabled, false);
    case 'LONG': return param.cycle ? cycleSelect(param, context, enabled) : numberField(param, context, enabled, true);
    case 'BOOL': return checkbox(param, context, enabled);
    case 'STRING': return textField(param, context, enabled);
    case 'SPLINE': return createCurveEditor({
      knots: param.value ?? [], enabled, label: param.label,
      onChange: (knots) => context.edit(knots),
    });
    case 'GRADIENT': return createGradientEditor({
      knots: param.value ?? [], enabled, label: param.label, remembered: rememberedFor(context, param),
      onChange: (knots) => context.edit(knots),
    });
    case 'SHADERLINK': return shaderPicker(param, context, enabled);
    default: return readOnly(param);
  }
}

// What an editor keeps across the panel being built again after each edit.
function rememberedFor(context, param) {
  const key = `${context.panel.channel}/${param.symbol}`;
  if (!context.remembered.has(key)) context.remembered.set(key, {});
  return context.remembered.get(key);
}

function numberField(param, context, enabled, integer) {
  const wrap = document.createElement('span');
  wrap.className = 'number';
  const input = document.createElement('input');
  input.type = 'number';
  input.id = context.id;
  input.disabled = !enabled;
  input.step = param.step ?? (integer ? 1 : 'any');
  if (param.min !== undefined) input.min = param.min;
  if (param.max !== undefined) input.max = param.max;
  input.value = param.value;
  input.title = rangeText(param);
  input.addEventListener('change', () => {
    const value = Number(input.value);
    // Not a number: sent as typed, for the server to word the refusal.
    const valid = input.value.trim() !== '' && Number.isFinite(value);
    context.edit(valid ? (integer ? Math.round(value) : value) : input.value);
  });
  wrap.append(input);
  if (unitSuffix[param.unit]) {
    const unit = document.createElement('span');
    unit.className = 'unit';
    unit.textContent = unitSuffix[param.unit];
    wrap.append(unit);
  }
  return wrap;
}

export function rangeText(param) {
  const { min, max, unit } = param;
  if (min !== undefined && max !== undefined) return `${withUnit(min, unit)} … ${withUnit(max, unit)}`;
  if (min !== undefined) return `at least ${withUnit(min, unit)}`;
  if (max !== undefined) return `at most ${withUnit(max, unit)}`;
  return '';
}

function cycleSelect(param, context, enabled) {
  const select = document.createElement('select');
  select.id = context.id;
  select.disabled = !enabled;
  for (const entry of param.cycle) {
    select.append(new Option(entry.label || entry.symbol, String(entry.value), false, entry.value === param.value));
  }
  select.addEventListener('change', () => context.edit(Number(select.value)));
  return select;
}

function checkbox(param, context, enabled) {
  const input = document.createElement('input');
  input.type = 'checkbox';
  input.id = context.id;
  input.disabled = !enabled;
  input.checked = Boolean(param.value);
  input.addEventListener('change', () => context.edit(input.checked));
  return input;
}

function textField(param, context, enabled) {
  const input = document.createElement('input');
  input.type = 'text';
  input.id = context.id;
  input.disabled = !enabled;
  input.value = param.value ?? '';
  input.addEventListener('change', () => context.edit(input.value));
  return input;
}

// A link holds a whole shader; the picker chooses which, with its defaults.
function shaderPicker(param, context, enabled) {
  const select = document.createElement('select');
  select.id = context.id;
  select.disabled = !enabled;
  const current = param.value?.shader ?? 'none';
  select.append(new Option('None', 'none', false, current === 'none'));
  for (const name of context.linkShaders) select.append(new Option(name, name, false, name === current));
  select.addEventListener('change', () => {
    const value = select.value === 'none' ? null : { shader: select.value, params: {} };
    context.edit(value);
  });
  return select;
}

function readOnly(param) {
  const text = document.createElement('output');
  text.textContent = param.value === undefined || param.value === null ? '—' : JSON.stringify(param.value);
  return text;
}
