// A small editor for a falloff curve (knots [[x, y], ...] in the unit square).
// Drag a knot to move it between its neighbours, press on empty space to add
// one, double-click a knot to remove it. The edit is sent when the pointer is
// released, so dragging never floods the server.
const size = { width: 240, height: 120 };
const pad = 8;
const knotRadius = 5;
const minKnots = 2;

// The host's curve: piecewise cubic Hermite with monotone tangents, so what
// the editor draws is what the shader reads.
function monotoneTangents(knots) {
  const n = knots.length;
  const m = new Array(n).fill(0);
  const slope = [];
  const open = [];
  for (let i = 0; i + 1 < n; ++i) {
    const h = knots[i + 1][0] - knots[i][0];
    open.push(h > 0);
    slope.push(h > 0 ? (knots[i + 1][1] - knots[i][1]) / h : 0);
  }
  for (let i = 0; i < n; ++i) {
    const left = i > 0 && open[i - 1];
    const right = i + 1 < n && open[i];
    if (left && right) {
      const [l, r] = [slope[i - 1], slope[i]];
      m[i] = (l > 0 && r > 0) || (l < 0 && r < 0) ? 0.5 * (l + r) : 0;
    } else if (left) {
      m[i] = slope[i - 1];
    } else if (right) {
      m[i] = slope[i];
    }
  }
  for (let i = 0; i + 1 < n; ++i) {
    if (!open[i]) continue;
    if (slope[i] === 0) {
      m[i] = m[i + 1] = 0;
      continue;
    }
    const alpha = m[i] / slope[i];
    const beta = m[i + 1] / slope[i];
    const s = alpha * alpha + beta * beta;
    if (s > 9) {
      const tau = 3 / Math.sqrt(s);
      m[i] = tau * alpha * slope[i];
      m[i + 1] = tau * beta * slope[i];
    }
  }
  return m;
}

function evaluateCurve(knots, tangents, x) {
  if (knots.length === 0) return 0;
  if (x <= knots[0][0]) return knots[0][1];
  if (x >= knots[knots.length - 1][0]) return knots[knots.length - 1][1];
  let i = 0;
  while (knots[i + 1][0] <= x) ++i;
  const [[x0, y0], [x1, y1]] = [knots[i], knots[i + 1]];
  const h = x1 - x0;
  const t = (x - x0) / h;
  const rise = y1 - y0;
  const d0 = h * tangents[i] - rise;
  const d1 = h * tangents[i + 1] - rise;
  return y0 + t * rise + t * (1 - t) * ((1 - t) * d0 - t * d1);
}

const toCanvas = ([x, y]) => [pad + x * (size.width - 2 * pad), size.height - pad - y * (size.height - 2 * pad)];
const clamp01 = (v) => Math.min(1, Math.max(0, v));

export function createCurveEditor({ knots, enabled, label, onChange }) {
  const canvas = document.createElement('canvas');
  canvas.className = 'curve-editor';
  canvas.width = size.width;
  canvas.height = size.height;
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', label);
  // changed: whether the press added or moved a knot, so a plain click sends nothing.
  const state = { knots: knots.map(([x, y]) => [x, y]), dragging: -1, changed: false };
  const draw = () => drawCurve(canvas, state.knots, state.dragging);
  draw();
  if (!enabled) {
    canvas.classList.add('disabled');
    return canvas;
  }

  const pointOf = (event) => {
    const box = canvas.getBoundingClientRect();
    const cx = ((event.clientX - box.left) * size.width) / box.width;
    const cy = ((event.clientY - box.top) * size.height) / box.height;
    return [clamp01((cx - pad) / (size.width - 2 * pad)), clamp01((size.height - pad - cy) / (size.height - 2 * pad))];
  };
  const knotAt = (event) => {
    const box = canvas.getBoundingClientRect();
    const [px, py] = [event.clientX - box.left, event.clientY - box.top];
    const scale = box.width / size.width;
    return state.knots.findIndex((k) => {
      const [kx, ky] = toCanvas(k);
      return Math.hypot(kx * scale - px, ky * scale - py) <= (knotRadius + 3) * scale;
    });
  };

  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    let index = knotAt(event);
    state.changed = index < 0;
    if (index < 0) {
      const point = pointOf(event);
      index = state.knots.findIndex((k) => k[0] > point[0]);
      if (index < 0) index = state.knots.length;
      state.knots.splice(index, 0, point);
    }
    state.dragging = index;
    canvas.setPointerCapture(event.pointerId);
    draw();
  });
  canvas.addEventListener('pointermove', (event) => {
    if (state.dragging < 0) return;
    const i = state.dragging;
    const [x, y] = pointOf(event);
    // A knot stays between its neighbours, so the knots stay sorted by x.
    const low = i > 0 ? state.knots[i - 1][0] : 0;
    const high = i + 1 < state.knots.length ? state.knots[i + 1][0] : 1;
    state.knots[i] = [Math.min(high, Math.max(low, x)), y];
    state.changed = true;
    draw();
  });
  canvas.addEventListener('pointerup', () => {
    if (state.dragging < 0) return;
    state.dragging = -1;
    draw();
    if (state.changed) onChange(rounded(state.knots));
  });
  canvas.addEventListener('dblclick', (event) => {
    const index = knotAt(event);
    if (index < 0 || state.knots.length <= minKnots) return;
    state.knots.splice(index, 1);
    draw();
    onChange(rounded(state.knots));
  });
  return canvas;
}

const rounded = (knots) => knots.map((k) => k.map((v) => Math.round(v * 1e4) / 1e4));

function drawCurve(canvas, knots, active) {
  const g = canvas.getContext('2d');
  const style = getComputedStyle(document.documentElement);
  g.clearRect(0, 0, size.width, size.height);
  g.strokeStyle = style.getPropertyValue('--grid').trim() || '#444';
  g.lineWidth = 1;
  for (let i = 0; i <= 4; ++i) {
    const [x0, y0] = toCanvas([i / 4, 0]);
    const [x1, y1] = toCanvas([i / 4, 1]);
    const [u0, v0] = toCanvas([0, i / 4]);
    const [u1, v1] = toCanvas([1, i / 4]);
    g.beginPath();
    g.moveTo(x0 + 0.5, y0);
    g.lineTo(x1 + 0.5, y1);
    g.moveTo(u0, v0 + 0.5);
    g.lineTo(u1, v1 + 0.5);
    g.stroke();
  }
  const tangents = monotoneTangents(knots);
  g.strokeStyle = style.getPropertyValue('--accent').trim() || '#3cc';
  g.lineWidth = 2;
  g.beginPath();
  for (let i = 0; i <= 100; ++i) {
    const [x, y] = toCanvas([i / 100, evaluateCurve(knots, tangents, i / 100)]);
    if (i === 0) g.moveTo(x, y);
    else g.lineTo(x, y);
  }
  g.stroke();
  knots.forEach((knot, i) => {
    const [x, y] = toCanvas(knot);
    g.beginPath();
    g.arc(x, y, knotRadius, 0, 2 * Math.PI);
    g.fillStyle = i === active ? '#fff' : '#ccc';
    g.fill();
  });
}
