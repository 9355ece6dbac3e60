// The render's own settings: the final pass's samples, the render scale and
// pause. They show the server's values (any page may change them) and are no
// part of the edit history.
import { postJson } from './api.js';

export class RenderControls {
  constructor({ samples, scale, pause, view }) {
    Object.assign(this, { samples, scale, pause, view });
    this.paused = false;
    samples.addEventListener('change', () => {
      const value = Number(samples.value);
      this.send({ samples: Number.isInteger(value) ? value : samples.value });
    });
    scale.addEventListener('change', () => this.send({ scale: Number(scale.value) }));
    pause.addEventListener('click', () => this.send({ paused: !this.paused }));
  }

  // The values as GET /api/scene's `render` or POST /api/render's answer give them.
  show(render) {
    if (!render) return;
    this.last = render;
    if (typeof render.samples === 'number' && this.samples !== document.activeElement) this.samples.value = String(render.samples);
    if (typeof render.scale === 'number') {
      this.scale.value = String(render.scale);
      this.view.setScale(render.scale);
    }
    this.paused = Boolean(render.paused);
    this.pause.textContent = this.paused ? 'Resume' : 'Pause';
    this.pause.setAttribute('aria-pressed', String(this.paused));
    document.body.classList.toggle('paused', this.paused);
  }

  async send(change) {
    try {
      const answer = await postJson('/api/render', change);
      this.view.noteGeneration(answer.generation);
      this.show(answer.render);
    } catch (error) {
      this.view.setStatus(`Could not change the render: ${error.message}`, true);
      this.show(this.last);
    }
  }
}
