// A knot editor for a colour gradient (knots {position, color, brightness,
// bias}). The bar shows the gradient as the renderer evaluates it; below it
// each knot is a marker to select and drag. Double-click the bar to add a
// knot; the fields edit the selected one. Every change is sent whole.
import { hexToLinear, linearToHex, linearToSrgb } from './colour.js';

const barSize = { width: 240, height: 20 };

const withDefaults = (k) => ({ brightness: 1, bias: 0.5, ...k, color: [...k.color] });
const byPosition = (a, b) => a.position - b.position;
const round = (v, digits = 4) => Math.round(v * 10 ** digits) / 10 ** digits;

// t warped so that 0.5 maps to the bias, as the host's gradient does.
function warp(t, bias) {
  const b = bias > 0 && bias < 1 ? bias : bias >= 1 ? 1 - 1e-6 : bias <= 0 ? 1e-6 : 0.5;
  return b === 0.5 ? t : t ** (Math.log(b) / Math.log(0.5));
}

function evaluateGradient(sortedKnots, position) {
  if (sortedKnots.length === 0) return [0, 0, 0];
  const lit = (k) => k.color.map((c) => c * k.brightness);
  const first = sortedKnots[0];
  const last = sortedKnots[sortedKnots.length - 1];
  if (position <= first.position) return lit(first);
  if (position >= last.position) return lit(last);
  const right = sortedKnots.findIndex((k) => k.position > position);
  const [a, b] = [sortedKnots[right - 1], sortedKnots[right]];
  const t = warp((position - a.position) / (b.position - a.position), a.bias);
  const [ca, cb] = [lit(a), lit(b)];
  return ca.map((c, i) => c + (cb[i] - c) * t);
}

export function createGradientEditor({ knots, enabled, label, remembered, onChange }) {
  const state = {
    knots: knots.map(withDefaults).sort(byPosition),
    selected: Math.min(remembered.selected ?? 0, knots.length - 1),
  };
  const root = document.createElement('div');
  root.className = 'gradient-editor';
  root.setAttribute('role', 'group');
  root.setAttribute('aria-label', label);
  const bar = document.createElement('canvas');
  bar.className = 'gradient-bar';
  bar.width = barSize.width;
  bar.height = barSize.height;
  const strip = document.createElement('div');
  strip.className = 'gradient-knots';
  const fields = document.createElement('div');
  fields.className = 'gradient-fields';
  root.append(bar, strip, fields);

  const commit = () => {
    remembered.selected = state.selected;
    onChange(state.knots.map((k) => ({ ...k, position: round(k.position) })));
  };
  const refresh = () => {
    drawBar(bar, state.knots);
    drawMarkers(strip, state, enabled, refresh, commit);
    drawFields(fields, state, enabled, refresh, commit);
  };
  refresh();

  if (enabled) {
    bar.addEventListener('dblclick', (event) => {
      const box = bar.getBoundingClientRect();
      const position = round(Math.min(1, Math.max(0, (event.clientX - box.left) / box.width)), 3);
      const color = evaluateGradient(state.knots, position).map((c) => round(c, 6));
      state.knots.push({ position, color, brightness: 1, bias: 0.5 });
      state.knots.sort(byPosition);
      state.selected = state.knots.findIndex((k) => k.position === position);
      refresh();
      commit();
    });
  }
  return root;
}

function drawBar(canvas, knots) {
  const g = canvas.getContext('2d');
  const pixels = g.createImageData(canvas.width, canvas.height);
  for (let x = 0; x < canvas.width; ++x) {
    const rgb = evaluateGradient(knots, x / (canvas.width - 1)).map((c) => Math.round(linearToSrgb(c) * 255));
    for (let y = 0; y < canvas.height; ++y) {
      pixels.data.set([...rgb, 255], 4 * (y * canvas.width + x));
    }
  }
  g.putImageData(pixels, 0, 0);
}

function drawMarkers(strip, state, enabled, refresh, commit) {
  strip.replaceChildren(...state.knots.map((knot, index) => {
    const marker = document.createElement('button');
    marker.type = 'button';
    marker.className = 'gradient-knot';
    marker.classList.toggle('selected', index === state.selected);
    marker.style.left = `${knot.position * 100}%`;
    marker.style.setProperty('--knot-colour', linearToHex(knot.color));
    marker.setAttribute('aria-label', `Knot at ${knot.position}`);
    marker.disabled = !enabled;
    if (enabled) dragMarker(marker, strip, state, index, refresh, commit);
    return marker;
  }));
}

// Dragging moves the knot's position; a press without a move just selects it.
function dragMarker(marker, strip, state, index, refresh, commit) {
  marker.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    const knot = state.knots[index];
    state.selected = index;
    let moved = false;
    const move = (e) => {
      const box = strip.getBoundingClientRect();
      knot.position = round(Math.min(1, Math.max(0, (e.clientX - box.left) / box.width)), 3);
      moved = true;
      marker.style.left = `${knot.position * 100}%`;
    };
    const release = () => {
      window.removeEventListener('pointermove', move);
      window.removeEventListener('pointerup', release);
      state.knots.sort(byPosition);
      state.selected = state.knots.indexOf(knot);
      refresh();
      if (moved) commit();
    };
    window.addEventListener('pointermove', move);
    window.addEventListener('pointerup', release);
  });
}

function drawFields(fields, state, enabled, refresh, commit) {
  const knot = state.knots[state.selected];
  if (!knot) {
    fields.replaceChildren();
    return;
  }
  const colour = document.createElement('input');
  colour.type = 'color';
  colour.value = linearToHex(knot.color);
  colour.title = 'Colour of the selected knot';
  colour.addEventListener('change', () => {
    knot.color = hexToLinear(colour.value);
    refresh();
    commit();
  });
  const number = (name, key, min, max) => {
    const input = document.createElement('input');
    input.type = 'number';
    Object.assign(input, { min, step: 0.01, value: knot[key], title: `${name} of the selected knot` });
    if (Number.isFinite(max)) input.max = max;
    input.addEventListener('change', () => {
      const value = Number(input.value);
      if (input.value === '' || !Number.isFinite(value)) return refresh();
      knot[key] = Math.min(max, Math.max(min, value));
      state.knots.sort(byPosition);
      state.selected = state.knots.indexOf(knot);
      refresh();
      commit();
    });
    const wrap = document.createElement('label');
    wrap.append(name, input);
    return wrap;
  };
  const remove = document.createElement('button');
  remove.type = 'button';
  remove.textContent = 'Remove';
  remove.disabled = state.knots.length <= 1;
  remove.addEventListener('click', () => {
    state.knots.splice(state.selected, 1);
    state.selected = Math.max(0, state.selected - 1);
    refresh();
    commit();
  });
  const knotActions = document.createElement('div');
  knotActions.className = 'gradient-knot-actions';
  knotActions.append(colour, remove);
  fields.replaceChildren(knotActions, number('Position', 'position', 0, 1),
    number('Brightness', 'brightness', 0, Infinity), number('Bias', 'bias', 0, 1));
  for (const input of fields.querySelectorAll('input, button')) input.disabled = !enabled;
}
