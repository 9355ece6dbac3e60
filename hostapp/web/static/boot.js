// The first image, before the page's modules have loaded: as soon as layout
// gives the render pane its size, this asks the server for a render of that
// size, opens the event stream and draws the passes it announces. The render pane's
// module takes the stream over when it starts (RenderView.adopt); until then
// events wait here. A plain script, so that it runs while the modules load.
(() => {
  'use strict';
  const pane = document.getElementById('view');
  const canvas = document.getElementById('render');
  const params = new URLSearchParams(location.search);
  // Where api.js reads them: the token, out of the address bar and the history
  // (a copied address must not share it), and the tab's page name.
  const given = params.get('token');
  if (given) {
    sessionStorage.setItem('tessaline-token', given);
    params.delete('token');
    const rest = params.toString();
    history.replaceState(null, '', location.pathname + (rest ? `?${rest}` : '') + location.hash);
  }
  const token = sessionStorage.getItem('tessaline-token') ?? '';
  let page = sessionStorage.getItem('tessaline-page');
  if (!page) {
    page = crypto.randomUUID ? crypto.randomUUID() : String(Math.random()).slice(2);
    sessionStorage.setItem('tessaline-page', page);
  }
  const headers = { 'X-Tessaline-Token': token, 'Content-Type': 'application/json' };
  const boot = {
    size: null, generation: -1, events: null, waiting: [], newest: null, shown: null, adopted: null, drawn: () => {},
  };
  // Resolves once the stream is open, or the start failed (no events then).
  boot.ready = new Promise((resolve) => { boot.started = resolve; });
  window.tessalineBoot = boot;

  // The modules wait for the first image at most this long.
  const modulesLatestMs = 400;
  const side = (css) => Math.min(4096, Math.max(16, Math.round(css * (window.devicePixelRatio || 1))));

  // The view and the stream go out together, before the modules load: the
  // browser opens few connections to one server at a time. The stream begins
  // with the newest pass, which is older than the view's render: passes are
  // drawn only once the view's answer says which generation is this page's.
  async function start() {
    const size = { width: side(pane.clientWidth), height: side(pane.clientHeight) };
    boot.size = size;
    const view = fetch('/api/view', { method: 'POST', headers, body: JSON.stringify({ ...size, page }), priority: 'high' });
    const events = new EventSource(`/api/events?token=${encodeURIComponent(token)}`);
    boot.events = events;
    for (const type of ['pass', 'progress', 'scene', 'error']) {
      events.addEventListener(type, (event) => (boot.adopted ? boot.adopted(type, event) : heard(type, event)));
    }
    // The first image goes first: the modules' requests would share the
    // browser's few connections to the server, and its time, with it.
    let loading = false;
    const load = () => {
      if (!loading) loadModules();
      loading = true;
    };
    boot.drawn = load;
    setTimeout(load, modulesLatestMs);
    try {
      const answer = await view;
      if (!answer.ok) throw new Error(String(answer.status));
      boot.generation = (await answer.json()).generation;
      if (boot.newest) drawNewest();
    } catch {
      // The render pane's module connects again and words the failure.
      events.close();
      boot.events = null;
      load();
    }
    boot.started();
  }

  // Every module at once, rather than one import level after another.
  function loadModules() {
    const modules = ['render_pane', 'render_view', 'api', 'pass_size', 'outline', 'outline_mask', 'app',
      'camera_control', 'camera_sender', 'camera_math', 'channels', 'scene_refresher', 'shortcuts', 'open_files', 'open_request',
      'render_controls', 'panel', 'titlebar', 'curve_editor', 'gradient_editor', 'colour'];
    for (const name of modules) {
      const link = document.createElement('link');
      link.rel = 'modulepreload';
      link.href = `${name}.js`;
      document.head.append(link);
    }
    for (const name of ['render_pane', 'app']) {
      const script = document.createElement('script');
      script.type = 'module';
      script.src = `${name}.js`;
      document.head.append(script);
    }
  }

  function heard(type, event) {
    boot.waiting.push({ type, event });
    if (type !== 'pass') return;
    boot.newest = JSON.parse(event.data);
    if (boot.generation >= 0) drawNewest();
  }

  // A full-size pass takes a while to decode; its generation's quick first
  // pass (a sixteenth of the pixels) is shown meanwhile, as it would be
  // after an edit.
  function drawNewest() {
    const pass = boot.newest;
    if (pass.pass > 0 && !boot.shown) {
      const quarter = { width: Math.max(1, Math.floor(pass.width / 4)), height: Math.max(1, Math.floor(pass.height / 4)) };
      drawFirst({ ...pass, ...quarter, pass: 0, samples: 1, final: false });
    }
    drawFirst(pass);
  }

  // Only a pass of this render's size (or its quick first pass) and of the
  // newest generation; the module checks every later one.
  const fits = (pass) => (pass.width === boot.size.width && pass.height === boot.size.height)
    || (pass.width === Math.max(1, Math.floor(boot.size.width / 4)) && pass.height === Math.max(1, Math.floor(boot.size.height / 4)));

  async function drawFirst(pass) {
    if (!fits(pass) || pass.generation < boot.generation || (boot.shown && boot.shown.pass >= pass.pass && boot.shown.generation >= pass.generation)) return;
    try {
      const answer = await fetch(`/api/image?generation=${pass.generation}&pass=${pass.pass}`,
        { headers: { 'X-Tessaline-Token': token }, priority: 'high' });
      if (!answer.ok) return;
      const bitmap = await createImageBitmap(await answer.blob(), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      if (boot.adopted || (boot.shown && boot.shown.generation >= pass.generation && boot.shown.pass >= pass.pass)) {
        bitmap.close();
        return;
      }
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      canvas.getContext('2d').drawImage(bitmap, 0, 0);
      bitmap.close();
      boot.shown = pass;
      // What the render pane keeps of the pass on screen, as it does.
      canvas.dataset.firstImageMs ??= performance.now().toFixed(1);
      Object.assign(canvas.dataset, {
        generation: pass.generation, pass: pass.pass, samples: pass.samples, final: pass.final,
        width: pass.width, height: pass.height,
      });
      boot.drawn();
    } catch {
      // The module shows the passes from here on.
    }
  }

  // The first observation comes once styles and layout are done: never a
  // size from a half-built page.
  const observer = new ResizeObserver(() => {
    if (pane.clientWidth === 0 || pane.clientHeight === 0) return;
    observer.disconnect();
    start();
  });
  observer.observe(pane);
})();
