// The render pane starts on its own, as soon as it and the API have loaded:
// the first image need not wait for the panels' modules. app.js imports the
// same instances.
import { Outline } from './outline.js';
import { RenderView } from './render_view.js';

export const outline = new Outline(document.getElementById('outline'));
export const view = new RenderView({
  pane: document.getElementById('view'),
  canvas: document.getElementById('render'),
  progressBar: document.getElementById('progress-bar'),
  status: document.getElementById('status'),
  outline,
});
view.start();
