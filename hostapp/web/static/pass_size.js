// Which passes belong to this page: passes carry their size, and a page shows
// only those of its own render (the pane's pixels times the render scale,
// rounded to the nearest pixel, and the first pass at a quarter of that),
// never another page's.

// The render's size for a pane of `view` pixels at a render scale.
export function renderSize(view, scale) {
  const side = (pixels) => Math.max(1, Math.round(pixels * scale));
  return { width: side(view.width), height: side(view.height) };
}

export function passFitsView(pass, view, scale) {
  if (!view) return false;
  const full = renderSize(view, scale);
  const quarter = { width: Math.max(1, Math.floor(full.width / 4)), height: Math.max(1, Math.floor(full.height / 4)) };
  return [full, quarter].some(({ width, height }) => pass.width === width && pass.height === height);
}
