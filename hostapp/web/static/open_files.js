// Opening a model: files dropped anywhere on the page, or chosen with the
// Open button. One file goes as the request's body with its name in a header;
// several (an .obj with its .mtl, a .gltf with its .bin and textures) go as
// one multipart request, and the server opens the model among them.
import { postBody } from './api.js';
import { requestFor } from './open_request.js';

const carriesFiles = (event) => [...(event.dataTransfer?.types ?? [])].includes('Files');

// opened(scene, names): the server's answer, the scene it opened.
export function setUpOpening({ button, input, status, opened }) {
  button.addEventListener('click', () => input.click());
  input.addEventListener('change', () => {
    const files = [...input.files];
    input.value = '';
    if (files.length > 0) openFiles(files, status, opened);
  });

  let depth = 0;  // dragenter/dragleave pairs of nested elements
  const highlight = (on) => document.body.classList.toggle('dropping', on);
  document.addEventListener('dragenter', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    depth += 1;
    highlight(true);
  });
  document.addEventListener('dragover', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = 'copy';
  });
  document.addEventListener('dragleave', () => {
    depth = Math.max(0, depth - 1);
    if (depth === 0) highlight(false);
  });
  document.addEventListener('drop', (event) => {
    // Left to the browser, a dropped file would replace the page.
    event.preventDefault();
    depth = 0;
    highlight(false);
    const files = [...(event.dataTransfer?.files ?? [])];
    if (files.length > 0) openFiles(files, status, opened);
  });
}

async function openFiles(files, status, opened) {
  const names = files.map((file) => file.name).join(', ');
  status(`Opening ${names}…`, false);
  const { body, headers } = requestFor(files);
  try {
    opened(await postBody('/api/open', body, headers), names);
  } catch (error) {
    status(`Could not open ${names}: ${error.message}`, true);
  }
}
