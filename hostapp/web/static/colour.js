// The renderer works in linear colour; the page shows and edits sRGB.
export function linearToSrgb(value) {
  const v = Math.min(1, Math.max(0, value));
  return v <= 0.0031308 ? 12.92 * v : 1.055 * v ** (1 / 2.4) - 0.055;
}

function srgbToLinear(value) {
  return value <= 0.04045 ? value / 12.92 : ((value + 0.055) / 1.055) ** 2.4;
}

export function linearToHex(rgb) {
  const byte = (v) => Math.round(linearToSrgb(v) * 255).toString(16).padStart(2, '0');
  return `#${rgb.map(byte).join('')}`;
}

export function hexToLinear(hex) {
  const channel = (i) => srgbToLinear(parseInt(hex.slice(1 + 2 * i, 3 + 2 * i), 16) / 255);
  // Rounded so that a saved scene holds readable numbers.
  return [0, 1, 2].map((i) => Math.round(channel(i) * 1e6) / 1e6);
}
