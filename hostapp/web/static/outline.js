// The selected object's outline over the render, drawn from the server's
// object image of the pass on screen.
import { getBlob } from './api.js';
import { outlinePixels } from './outline_mask.js';

const outlineColour = [255, 170, 40, 255];

async function objectImage(pass) {
  const blob = await getBlob('/api/image', { generation: pass.generation, pass: pass.pass, aov: 'object' });
  const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const g = canvas.getContext('2d');
  g.drawImage(bitmap, 0, 0);
  bitmap.close();
  return g.getImageData(0, 0, canvas.width, canvas.height);
}

// Draws the outline of one object of the pass on screen onto a canvas laid
// over the render. Passes of one size share their object image (its first
// sample per pixel does not change with more samples), so it is fetched once
// per generation and size.
export class Outline {
  constructor(canvas) {
    this.canvas = canvas;
    this.objectId = 0;  // index + 1; 0: nothing outlined
    this.pass = null;
    this.cache = { key: '', image: null };
    this.serial = 0;
  }

  select(index) {
    this.objectId = index === null || index === undefined ? 0 : index + 1;
    this.redraw();
  }

  passShown(pass) {
    this.pass = pass;
    this.redraw();
  }

  async redraw() {
    const serial = ++this.serial;
    const { pass, objectId } = this;
    if (!pass || objectId === 0) {
      this.clear();
      return;
    }
    const key = `${pass.generation}/${pass.width}x${pass.height}`;
    let image = this.cache.key === key ? this.cache.image : null;
    if (!image) {
      try {
        image = await objectImage(pass);
      } catch {
        return;  // a newer pass is on its way, and its outline with it
      }
      this.cache = { key, image };
    }
    if (serial === this.serial) this.draw(image, objectId);
  }

  draw(image, objectId) {
    const edge = outlinePixels(image.data, image.width, image.height, objectId);
    const out = new ImageData(image.width, image.height);
    for (let p = 0; p < edge.length; ++p) if (edge[p]) out.data.set(outlineColour, 4 * p);
    this.canvas.width = image.width;
    this.canvas.height = image.height;
    this.canvas.getContext('2d').putImageData(out, 0, 0);
    this.canvas.dataset.outlined = String(objectId - 1);
    this.canvas.dataset.outlinePixels = String(edge.reduce((sum, v) => sum + v, 0));
  }

  clear() {
    this.canvas.getContext('2d').clearRect(0, 0, this.canvas.width, this.canvas.height);
    delete this.canvas.dataset.outlined;
    this.canvas.dataset.outlinePixels = '0';
  }
}
