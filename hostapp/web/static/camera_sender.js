// Sends camera positions to the server one at a time: while one is under
// way, only the newest position waits, and goes out when the answer comes and
// the render it started has put its first image on screen (or a little while
// has passed). The server so renders the newest position the pointer gave,
// and a quick drag still shows images instead of cancelling every render
// before its first pass.
import { postJson } from './api.js';

export class CameraSender {
  // settle(answer): a promise that ends when the next position may go.
  constructor({ settle, onError }) {
    this.pending = null;
    this.sending = false;
    this.settle = settle;
    this.onError = onError;
    this.idleWaiters = [];
  }

  send(camera, drag) {
    this.pending = { position: camera.position, target: camera.target, fov: camera.fov, drag };
    if (!this.sending) this.drain();
  }

  get busy() {
    return this.sending;
  }

  // Resolves once every position given so far has been answered.
  idle() {
    return this.sending ? new Promise((resolve) => this.idleWaiters.push(resolve)) : Promise.resolve();
  }

  async drain() {
    this.sending = true;
    while (this.pending) {
      const body = this.pending;
      this.pending = null;
      try {
        await this.settle(await postJson('/api/camera', body));
      } catch (error) {
        this.onError(error);
      }
    }
    this.sending = false;
    this.idleWaiters.splice(0).forEach((resolve) => resolve());
  }
}
