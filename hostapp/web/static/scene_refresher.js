// Keeps the page's fields on the server's values. Every edit, from any page,
// sends a `scene` event; the page reads the scene again for each (coalesced:
// one reading at a time, one more if events came meanwhile). While this
// page's own edits or a drag are under way, the reading waits for them to
// end, then happens. The open panels are read again only when an event was
// not one of this page's own edits, whose answers already brought them.
const busyRetryMs = 50;
const ownKept = 256;

export class SceneRefresher {
  // busy(): this page has edits under way; reload(panels): reads the scene.
  constructor({ busy, reload }) {
    Object.assign(this, { busy, reload });
    this.ownGenerations = [];
    this.heard = [];
    this.timer = null;
    this.running = false;
  }

  // A generation one of this page's edits started.
  own(generation) {
    if (typeof generation !== 'number') return;
    this.ownGenerations.push(generation);
    if (this.ownGenerations.length > ownKept) this.ownGenerations.shift();
  }

  sceneChanged(generation) {
    this.heard.push(generation);
    this.schedule(0);
  }

  schedule(ms) {
    if (this.timer === null) this.timer = setTimeout(() => this.run(), ms);
  }

  async run() {
    this.timer = null;
    if (this.running) return;  // its end looks for more
    if (this.busy()) {
      this.schedule(busyRetryMs);
      return;
    }
    const heard = this.heard.splice(0);
    if (heard.length === 0) return;
    const panels = heard.some((generation) => !this.ownGenerations.includes(generation));
    this.running = true;
    try {
      await this.reload(panels);
    } finally {
      this.running = false;
    }
    if (this.heard.length > 0) this.schedule(0);
  }
}
