// The title bar row of a panel: an image the module's own user area draws on
// the server. Pointer moves, presses and leaving go to the server in order
// (moves coalesced while one is under way); the answers say when to fetch the
// image again, what message box to show and what to open.
import { getBlob, postJson } from './api.js';

const minWidth = 240;
const maxWidth = 4096;
// Shown until the server's drawing arrives: the box is held by the style
// sheet, and an image without a source would show the broken-image mark.
const placeholder = 'data:image/gif;base64,R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7';

export function createTitleBar({ object, channel, showMessage }) {
  const image = document.createElement('img');
  image.className = 'titlebar';
  image.alt = 'Tessaline title bar';
  image.draggable = false;
  image.src = placeholder;
  const bar = { object, channel, image, width: 0, queue: [], sending: false, showMessage, drawn: 0 };

  // The image is as wide as its panel (style.css); the bar is drawn at that width.
  new ResizeObserver(() => resized(bar)).observe(image);
  image.addEventListener('pointermove', (e) => send(bar, 'move', e));
  image.addEventListener('pointerleave', (e) => send(bar, 'leave', e));
  image.addEventListener('pointerdown', (e) => e.button === 0 && send(bar, 'down', e));
  image.addEventListener('pointerup', (e) => e.button === 0 && send(bar, 'up', e));
  return image;
}

function resized(bar) {
  const available = bar.image.clientWidth;
  const width = Math.min(maxWidth, Math.max(minWidth, Math.round(available)));
  if (available === 0 || width === bar.width) return;
  bar.width = width;
  redraw(bar);
}

async function redraw(bar) {
  const serial = ++bar.drawn;
  try {
    const blob = await getBlob('/api/titlebar', { object: bar.object, channel: bar.channel, width: bar.width });
    if (serial !== bar.drawn) return;  // a newer drawing is on its way
    const previous = bar.image.src;
    bar.image.src = URL.createObjectURL(blob);
    if (previous.startsWith('blob:')) URL.revokeObjectURL(previous);
  } catch {
    // The panel went away (the channel changed) while the image was loading.
  }
}

function send(bar, event, pointer) {
  if (bar.width === 0) return;  // not drawn yet: nothing to point at
  const box = bar.image.getBoundingClientRect();
  const scale = bar.width / (box.width || bar.width);
  const message = {
    object: bar.object, channel: bar.channel, width: bar.width, event,
    x: Math.round((pointer.clientX - box.left) * scale), y: Math.round((pointer.clientY - box.top) * scale),
  };
  const last = bar.queue[bar.queue.length - 1];
  if (event === 'move' && last?.event === 'move') bar.queue[bar.queue.length - 1] = message;
  else bar.queue.push(message);
  if (!bar.sending) drain(bar);
}

async function drain(bar) {
  bar.sending = true;
  while (bar.queue.length > 0) {
    const message = bar.queue.shift();
    try {
      act(bar, await postJson('/api/titlebar', message));
    } catch {
      // A lost pointer event only costs a highlight; the next one catches up.
    }
  }
  bar.sending = false;
}

function act(bar, answer) {
  if (answer.redraw) redraw(bar);
  if (answer.messageBox) bar.showMessage(answer.messageBox);
  if (answer.open) {
    const address = answer.open;
    window.open(address, '_blank', 'noopener');
  }
}
