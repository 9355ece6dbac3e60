// The render pane: asks the server for a render the size of the pane, shows
// each pass the event stream announces as soon as it is decoded, drops passes
// of renders that an edit has made stale, and keeps the progress bar and the
// status line up to date.
import { getBlob, pageId, postJson, withToken } from './api.js';

const maxSide = 4096;
const minSide = 16;
const resizeSettleMs = 120;
const reconnectMs = { first: 500, most: 10_000 };

export class RenderView {
  constructor({ pane, canvas, progressBar, status }) {
    this.pane = pane;
    this.canvas = canvas;
    this.progressBar = progressBar;
    this.status = status;
    this.shown = { generation: -1, pass: -1 };
    this.newestGeneration = -1;
    this.pendingEdit = null;  // {at, generation}: when the user last edited, and the render then current
    this.size = this.paneSize();
    this.onSceneChanged = () => {};
    this.retryMs = reconnectMs.first;
  }

  start() {
    this.connect();
    new ResizeObserver(() => this.paneResized()).observe(this.pane);
  }

  // Called when the user makes an edit, to time it until its first pass is on screen.
  noteEdit() {
    this.pendingEdit = { at: performance.now(), generation: this.newestGeneration };
    this.progressed({ generation: this.newestGeneration, pass: 0, fraction: 0 });
  }

  // An edit the server refused starts no render to wait for.
  forgetEdit() {
    this.pendingEdit = null;
  }

  paneSize() {
    const scale = window.devicePixelRatio || 1;
    const side = (css) => Math.min(maxSide, Math.max(minSide, Math.round(css * scale)));
    return { width: side(this.pane.clientWidth), height: side(this.pane.clientHeight) };
  }

  // The pane's size goes first, as a POST: opening the stream changes nothing.
  async connect() {
    try {
      await postJson('/api/view', { ...this.size, page: pageId });
    } catch {
      // The stream's own failure below says the server is away.
    }
    const events = new EventSource(withToken('/api/events'));
    events.addEventListener('pass', (e) => this.passAnnounced(JSON.parse(e.data)));
    events.addEventListener('progress', (e) => this.progressed(JSON.parse(e.data)));
    events.addEventListener('scene', (e) => this.onSceneChanged(JSON.parse(e.data)));
    events.addEventListener('error', (e) => this.streamFailed(events, e));
    events.addEventListener('open', () => { this.retryMs = reconnectMs.first; });
  }

  // A server-sent 'error' event carries the render's message; a failed
  // connection does not, and is opened again with the pane's current size,
  // less and less often while the server stays away.
  streamFailed(events, event) {
    if (event.data) {
      this.setStatus(`Render failed: ${JSON.parse(event.data).message}`, true);
      return;
    }
    events.close();
    this.setStatus('Connection to the server lost; retrying…', true);
    setTimeout(() => this.connect(), this.retryMs);
    this.retryMs = Math.min(reconnectMs.most, 2 * this.retryMs);
  }

  paneResized() {
    clearTimeout(this.resizeTimer);
    this.resizeTimer = setTimeout(() => this.sendSize(), resizeSettleMs);
  }

  async sendSize() {
    const size = this.paneSize();
    if (size.width === this.size.width && size.height === this.size.height) return;
    this.size = size;
    try {
      await postJson('/api/view', { ...size, page: pageId });
    } catch (error) {
      this.setStatus(`Could not resize the render: ${error.message}`, true);
    }
  }

  isStale(generation, pass) {
    const { shown } = this;
    return generation < this.newestGeneration || (generation === shown.generation && pass <= shown.pass);
  }

  async passAnnounced(pass) {
    this.newestGeneration = Math.max(this.newestGeneration, pass.generation);
    if (this.isStale(pass.generation, pass.pass)) return;
    let bitmap;
    try {
      const blob = await getBlob('/api/image', { generation: pass.generation, pass: pass.pass });
      bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
    } catch {
      return;  // replaced by a later pass meanwhile: that one is on its way
    }
    // A later pass may have been shown while this one was loading.
    if (this.isStale(pass.generation, pass.pass)) return;
    this.draw(bitmap);
    this.shown = { generation: pass.generation, pass: pass.pass };
    this.recordTimings(pass);
    this.progressed({ generation: pass.generation, pass: pass.pass, fraction: 1, passes: pass.passes });
    this.describePass(pass);
  }

  draw(bitmap) {
    this.canvas.width = bitmap.width;
    this.canvas.height = bitmap.height;
    this.canvas.getContext('2d').drawImage(bitmap, 0, 0);
    bitmap.close();
  }

  // The figures the browser test reads, kept where a user sees them too.
  recordTimings(pass) {
    const now = performance.now();
    const data = this.canvas.dataset;
    if (!data.firstImageMs) data.firstImageMs = now.toFixed(1);
    if (this.pendingEdit && pass.generation > this.pendingEdit.generation) {
      data.editToFirstPassMs = (now - this.pendingEdit.at).toFixed(1);
      this.pendingEdit = null;
    }
    Object.assign(data, {
      generation: pass.generation, pass: pass.pass, samples: pass.samples, final: pass.final,
      width: pass.width, height: pass.height,
    });
  }

  describePass(pass) {
    const quality = pass.final ? 'final' : `pass ${pass.pass + 1} of ${pass.passes}`;
    const parts = [`${quality} · ${pass.width}×${pass.height} · ${pass.samples} sample${pass.samples === 1 ? '' : 's'}`];
    parts.push(`${pass.ms} ms after the change`);
    if (this.canvas.dataset.editToFirstPassMs && pass.pass === 0) {
      parts.push(`on screen ${this.canvas.dataset.editToFirstPassMs} ms after the edit`);
    }
    this.setStatus(parts.join(' · '), false);
  }

  progressed({ generation, pass, fraction, passes }) {
    if (generation < this.newestGeneration) return;
    this.newestGeneration = generation;
    const total = passes ?? this.passes ?? 4;
    this.passes = total;
    const done = Math.min(1, (pass + fraction) / total);
    this.progressBar.style.width = `${(done * 100).toFixed(1)}%`;
    this.progressBar.classList.toggle('done', done >= 1);
  }

  setStatus(text, failed) {
    this.status.textContent = text;
    this.status.classList.toggle('failed', failed);
  }
}
