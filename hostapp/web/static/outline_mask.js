// The server's object image holds per pixel the object index + 1 as a 24-bit
// number (red × 65536 + green × 256 + blue; 0: background). An object's
// outline is every pixel whose object-or-not differs from a neighbour's, on
// both sides of the border, so the line is two pixels wide.
export function objectIdAt(rgba, pixel) {
  return rgba[4 * pixel] * 65536 + rgba[4 * pixel + 1] * 256 + rgba[4 * pixel + 2];
}

// 1 for each pixel of the outline of the object with that id, else 0.
export function outlinePixels(rgba, width, height, id) {
  const inside = new Uint8Array(width * height);
  for (let p = 0; p < inside.length; ++p) inside[p] = objectIdAt(rgba, p) === id ? 1 : 0;
  const edge = new Uint8Array(width * height);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const p = y * width + x;
      if (x + 1 < width && inside[p] !== inside[p + 1]) edge[p] = edge[p + 1] = 1;
      if (y + 1 < height && inside[p] !== inside[p + width]) edge[p] = edge[p + width] = 1;
    }
  }
  return edge;
}
