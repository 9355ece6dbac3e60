// Which passes belong to this page: passes carry their size, and a page shows
// only those of its own render (the pane's pixels times the render scale, and
// the first pass at a quarter of that), never another page's.

// The render's size for a pane of `view` pixels at a render scale.
export function renderSize(view, scale) {
  const side = (pixels) => Math.max(1, Math.round(pixels * scale));
  return { width: side(view.width), height: side(view.height) };
}

// Scaled sizes may round either way on the server: one pixel of slack, only
// when the scale is below 1 (at 1 the sizes are exact).
export function passFitsView(pass, view, scale) {
  if (!view) return false;
  const full = renderSize(view, scale);
  const slack = scale < 1 ? 1 : 0;
  const near = (a, b) => Math.abs(a - b) <= slack;
  const fits = (width, height) => near(pass.width, width) && near(pass.height, height);
  return fits(full.width, full.height)
    || fits(Math.max(1, Math.floor(full.width / 4)), Math.max(1, Math.floor(full.height / 4)));
}
