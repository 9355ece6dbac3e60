// The render pane: asks the server for a render the size of the pane, shows
// each pass of this page's size that the event stream announces as soon as it
// is decoded, drops passes of renders that an edit has made stale, and keeps
// the progress bar and the status line up to date. Several pages may watch
// one server: the render follows the page that asked last, so a page asks
// again when the user turns to it, and never shows another page's passes.
import { getBlob, onTokenRefused, pageId, postJson, withToken } from './api.js';
import { passFitsView } from './pass_size.js';

const maxSide = 4096;
const minSide = 16;
const resizeSettleMs = 120;
// A server that is away is asked again at these pauses; a full server (its
// streams of closed pages not yet let go) frees a place within seconds.
const reconnectMs = { first: 500, most: 3_000 };
const restartedText = 'The server restarted: open the new address it printed in its terminal.';

// Resolves once the element has a size: after the first layout.
function laidOut(element) {
  return new Promise((resolve) => {
    const observer = new ResizeObserver(() => {
      if (element.clientWidth === 0 || element.clientHeight === 0) return;
      observer.disconnect();
      resolve();
    });
    observer.observe(element);
  });
}

export class RenderView {
  constructor({ pane, canvas, progressBar, status, outline }) {
    Object.assign(this, { pane, canvas, progressBar, status, outline });
    this.shown = { generation: -1, pass: -1 };
    this.shownPass = null;
    this.latestPass = null;
    this.newestGeneration = -1;
    this.pendingEdit = null;  // {at, generation}: when the user last edited, and the render then current
    this.pendingMove = null;  // the same for a camera move
    this.passWaiters = [];
    this.size = null;
    this.scale = 1;
    this.aov = 'beauty';
    this.foreign = false;  // the server renders for another page
    this.stopped = false;
    this.onSceneChanged = () => {};
    this.retryMs = reconnectMs.first;
  }

  // The pane's first size is the one layout gives it: the first observation
  // comes after styles and layout, never from a half-built page. boot.js has
  // usually asked for the render and opened the stream already: the view
  // takes them over.
  async start() {
    onTokenRefused(() => this.serverRestarted());
    new ResizeObserver(() => {
      if (this.size && this.pane.clientWidth > 0 && this.pane.clientHeight > 0) this.paneResized();
    }).observe(this.pane);
    const activate = () => this.activate();
    window.addEventListener('focus', activate);
    document.addEventListener('visibilitychange', () => document.visibilityState === 'visible' && activate());
    this.pane.addEventListener('pointerenter', activate);
    const boot = window.tessalineBoot;
    if (boot) await boot.ready;
    if (boot?.events) {
      this.adopt(boot);
    } else {
      await laidOut(this.pane);
      this.size = boot?.size ?? this.paneSize();
      this.connect();
    }
  }

  adopt(boot) {
    this.size = boot.size;
    this.noteGeneration(boot.generation);
    if (boot.shown) {
      this.shown = { generation: boot.shown.generation, pass: boot.shown.pass };
      this.shownPass = boot.shown;
      this.outline?.passShown(boot.shown);
      this.recordTimings(boot.shown);
      this.describePass(boot.shown);
    }
    const handle = this.listen(boot.events);
    boot.adopted = handle;
    for (const { type, event } of boot.waiting.splice(0)) handle(type, event);
    // The pane may have changed its size while the modules loaded.
    this.paneResized();
  }

  // The stream's events, by type: the handler for one stream.
  listen(events) {
    this.events = events;
    return (type, event) => {
      if (type === 'pass') this.passAnnounced(JSON.parse(event.data));
      else if (type === 'progress') this.progressed(JSON.parse(event.data));
      else if (type === 'scene') this.onSceneChanged(JSON.parse(event.data));
      else if (type === 'error') this.streamFailed(events, event);
    };
  }

  // Called when the user makes an edit, to time it until its first pass is on screen.
  noteEdit() {
    this.pendingEdit = { at: performance.now(), generation: this.newestGeneration };
    this.progressed({ generation: this.newestGeneration, overall: 0 });
  }

  // An edit the server refused starts no render to wait for.
  forgetEdit() {
    this.pendingEdit = null;
  }

  // A camera move at time `at`: timed until the first image after it.
  noteMove(at) {
    if (!this.pendingMove) this.pendingMove = { at, generation: this.newestGeneration };
  }

  // A generation an edit of this page started: older passes are stale now.
  noteGeneration(generation) {
    if (generation > this.newestGeneration) this.newestGeneration = generation;
  }

  // Resolves when a pass of that generation (or a later one) is on screen,
  // or after waitMs, whichever comes first.
  passShown(generation, waitMs) {
    if (this.shown.generation >= generation) return Promise.resolve();
    return new Promise((resolve) => {
      const waiter = { generation, resolve };
      this.passWaiters.push(waiter);
      setTimeout(() => {
        this.passWaiters = this.passWaiters.filter((w) => w !== waiter);
        resolve();
      }, waitMs);
    });
  }

  paneSize() {
    const ratio = window.devicePixelRatio || 1;
    const side = (css) => Math.min(maxSide, Math.max(minSide, Math.round(css * ratio)));
    return { width: side(this.pane.clientWidth), height: side(this.pane.clientHeight) };
  }

  async sendView() {
    this.foreign = false;
    const answer = await postJson('/api/view', { ...this.size, page: pageId });
    this.noteGeneration(answer.generation);
    return answer;
  }

  // The pane's size goes first, as a POST: opening the stream changes nothing.
  async connect() {
    if (this.stopped) return;
    try {
      await this.sendView();
    } catch (error) {
      if (error.status === 403) return;  // the token is refused: see serverRestarted
      // Otherwise the stream's own failure below says the server is away.
    }
    const events = new EventSource(withToken('/api/events'));
    const handle = this.listen(events);
    for (const type of ['pass', 'progress', 'scene', 'error']) events.addEventListener(type, (e) => handle(type, e));
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
    if (this.stopped) return;
    this.setStatus('Connection to the server lost; retrying…', true);
    setTimeout(() => this.connect(), this.retryMs);
    this.retryMs = Math.min(reconnectMs.most, 2 * this.retryMs);
  }

  // A server that no longer knows our token was started again: it has a new
  // address, which only its terminal shows. Retrying would never succeed.
  serverRestarted() {
    if (this.stopped) return;
    this.stopped = true;
    this.events?.close();
    this.setStatus(restartedText, true);
    document.body.classList.add('disconnected');
  }

  // The user turned to this page: the server renders for it from now on (a
  // render of this size that is current already is kept as it is).
  async activate() {
    if (this.stopped || !this.size) return;
    try {
      await this.sendView();
    } catch {
      // The stream's failure reports a server that went away.
    }
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
      await this.sendView();
    } catch (error) {
      if (!this.stopped) this.setStatus(`Could not resize the render: ${error.message}`, true);
    }
  }

  // The render scale the server uses now; a pass that did not fit the old
  // scale may fit the new one.
  setScale(scale) {
    if (scale === this.scale) return;
    this.scale = scale;
    if (this.latestPass) this.passAnnounced(this.latestPass);
  }

  // Beauty, normal or albedo: the pass on screen is fetched again as that.
  setAov(aov) {
    if (aov === this.aov) return;
    this.aov = aov;
    this.canvas.dataset.aov = aov;
    if (this.shownPass) this.showPass(this.shownPass, true);
  }

  isStale(generation, pass) {
    const { shown } = this;
    return generation < this.newestGeneration || (generation === shown.generation && pass <= shown.pass);
  }

  passAnnounced(pass) {
    this.latestPass = pass;
    if (!passFitsView(pass, this.size, this.scale)) {
      // Another page's render: this page keeps its image.
      this.foreign = true;
      return;
    }
    this.foreign = false;
    this.noteGeneration(pass.generation);
    if (!this.isStale(pass.generation, pass.pass)) this.showPass(pass, false);
  }

  async showPass(pass, again) {
    const aov = this.aov;
    let bitmap;
    try {
      const params = { generation: pass.generation, pass: pass.pass, ...(aov === 'beauty' ? {} : { aov }) };
      bitmap = await createImageBitmap(await getBlob('/api/image', params),
        { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
    } catch {
      return;  // replaced by a later pass meanwhile: that one is on its way
    }
    // A later pass may have been shown while this one was loading, or the view switched.
    const current = again ? this.shownPass === pass : !this.isStale(pass.generation, pass.pass);
    if (!current || aov !== this.aov) {
      bitmap.close();
      return;
    }
    this.draw(bitmap);
    this.shown = { generation: pass.generation, pass: pass.pass };
    this.shownPass = pass;
    this.outline?.passShown(pass);
    this.recordTimings(pass);
    if (pass.final) this.progressed({ generation: pass.generation, overall: 1 });
    this.describePass(pass);
    this.passWaiters = this.passWaiters.filter((waiter) => {
      if (waiter.generation > pass.generation) return true;
      waiter.resolve();
      return false;
    });
  }

  draw(bitmap) {
    if (this.canvas.width !== bitmap.width) this.canvas.width = bitmap.width;
    if (this.canvas.height !== bitmap.height) this.canvas.height = bitmap.height;
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
    if (this.pendingMove && pass.generation > this.pendingMove.generation) {
      data.moveToImageMs = (now - this.pendingMove.at).toFixed(1);
      data.moves = String(Number(data.moves ?? 0) + 1);
      this.pendingMove = null;
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

  // `overall` weighs each pass by its pixels × the samples it adds, so the bar
  // moves at the pace of the work rather than jumping at each pass.
  progressed({ generation, pass, fraction, passes, overall }) {
    if (generation < this.newestGeneration || this.foreign) return;
    this.newestGeneration = generation;
    const done = Math.min(1, overall ?? (pass + fraction) / (passes ?? 4));
    this.progressBar.style.width = `${(done * 100).toFixed(1)}%`;
    this.progressBar.classList.toggle('done', done >= 1);
  }

  setStatus(text, failed) {
    if (this.stopped && text !== restartedText) return;
    this.status.textContent = text;
    // A long line (a refusal listing what would do) ends in an ellipsis: the whole of it on hover.
    this.status.title = text;
    this.status.classList.toggle('failed', failed);
  }
}
