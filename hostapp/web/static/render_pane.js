// The render pane starts on its own, as soon as it and the API have loaded:
// the first image need not wait for the panels' modules. app.js imports the
// same instance.
import { RenderView } from './render_view.js';

export const view = new RenderView({
  pane: document.getElementById('view'),
  canvas: document.getElementById('render'),
  progressBar: document.getElementById('progress-bar'),
  status: document.getElementById('status'),
});
view.start();
