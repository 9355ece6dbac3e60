// The camera under the pointer: left drag orbits about the target, middle
// drag or Shift+drag pans, the wheel dollies; a click (a press that hardly
// moves) picks the object under it instead. Each drag is one step of the
// server's history: its requests carry one drag id. A wheel gesture (turns
// close together) is one step too.
import { pageId } from './api.js';
import { CameraSender } from './camera_sender.js';
import { boundingSphere, dolly, frameSphere, orbit, pan } from './camera_math.js';

const clickSlopPx = 4;
const wheelGestureMs = 300;
const wheelLinePx = 16;
// The longest a drag's next position waits for the previous one's first image.
const firstImageWaitMs = 120;
// The wheel brings the camera no nearer to its target than this share of the scene's size.
const nearestShare = 1e-3;

export class CameraControl {
  // camera(): the camera as the page knows it; cameraChanged(camera): a move
  // was sent; pick(x, y): a click at that pixel of the render's view.
  // answered(generation): the server took a position; sceneBoxes(): the
  // objects' bounds, whose size says how near the wheel may bring the camera.
  constructor({ pane, view, camera, cameraChanged, pick, failed, answered, sceneBoxes }) {
    Object.assign(this, { pane, view, camera, cameraChanged, pick, sceneBoxes });
    this.drag = null;
    this.dragCount = 0;
    this.wheel = { id: null, at: -Infinity };
    this.sender = new CameraSender({
      settle: (answer) => {
        view.noteGeneration(answer.generation);
        answered(answer.generation);
        return view.passShown(answer.generation, firstImageWaitMs);
      },
      onError: (error) => failed(`Could not move the camera: ${error.message}`),
    });
    pane.addEventListener('pointerdown', (e) => this.pressed(e));
    pane.addEventListener('pointermove', (e) => this.moved(e));
    pane.addEventListener('pointerup', (e) => this.released(e));
    pane.addEventListener('pointercancel', () => { this.drag = null; });
    pane.addEventListener('wheel', (e) => this.wheeled(e), { passive: false });
    // A middle press would start the browser's autoscroll.
    pane.addEventListener('mousedown', (e) => { if (e.button === 1) e.preventDefault(); });
  }

  get dragging() {
    return this.drag !== null || this.sender.busy;
  }

  idle() {
    return this.sender.idle();
  }

  newDragId() {
    this.dragCount += 1;
    return `${pageId}-${this.dragCount}`;
  }

  pressed(event) {
    if ((event.button !== 0 && event.button !== 1) || !this.camera()) return;
    this.pane.setPointerCapture(event.pointerId);
    this.drag = {
      start: { x: event.clientX, y: event.clientY },
      camera: this.camera(),
      mode: event.button === 1 || event.shiftKey ? 'pan' : 'orbit',
      button: event.button,
      moved: false,
      id: this.newDragId(),
    };
  }

  moved(event) {
    const { drag } = this;
    if (!drag) return;
    const dx = event.clientX - drag.start.x;
    const dy = event.clientY - drag.start.y;
    if (!drag.moved && Math.hypot(dx, dy) < clickSlopPx) return;
    drag.moved = true;
    const { width, height } = this.pane.getBoundingClientRect();
    const next = drag.mode === 'pan' ? pan(drag.camera, dx, dy, width, height) : orbit(drag.camera, dx, dy);
    this.move(next, drag.id, event.timeStamp);
  }

  released(event) {
    const { drag } = this;
    this.drag = null;
    if (!drag || event.button !== drag.button) return;
    if (!drag.moved && drag.button === 0) this.pick(...this.viewPixel(event));
  }

  // The pixel of the view the server renders (the size the page sent) under a
  // point of the pane: the image fills the pane whatever the render scale.
  viewPixel(event) {
    const box = this.pane.getBoundingClientRect();
    const { width, height } = this.view.size;
    const x = Math.floor(((event.clientX - box.left) / box.width) * width);
    const y = Math.floor(((event.clientY - box.top) / box.height) * height);
    return [Math.min(width - 1, Math.max(0, x)), Math.min(height - 1, Math.max(0, y))];
  }

  wheeled(event) {
    event.preventDefault();
    const camera = this.camera();
    if (!camera || this.drag) return;
    const pixels = event.deltaMode === 1 ? event.deltaY * wheelLinePx : event.deltaY;
    if (event.timeStamp - this.wheel.at > wheelGestureMs) this.wheel.id = this.newDragId();
    this.wheel.at = event.timeStamp;
    const scene = boundingSphere(this.sceneBoxes());
    const nearest = scene && scene.radius > 0 ? scene.radius * nearestShare : undefined;
    this.move(dolly(camera, pixels, nearest), this.wheel.id, event.timeStamp);
  }

  // Frames the boxes, keeping the direction the camera looks in: one step.
  frame(boxes) {
    const camera = this.camera();
    const sphere = boundingSphere(boxes);
    if (!camera || !sphere) return false;
    const { width, height } = this.view.size;
    this.move(frameSphere(camera, sphere, width / height), this.newDragId(), performance.now());
    return true;
  }

  move(camera, dragId, at) {
    this.view.noteMove(at);
    this.cameraChanged(camera);
    this.sender.send(camera, dragId);
  }
}
