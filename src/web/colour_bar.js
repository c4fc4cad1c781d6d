// Colour bars: the scale beside a map or a heat map (upright) and under a
// strip of maps (lying), one rectangle per entry of the colour map.
import { INK, MUTED, rgb } from "./colours.js";
import { line, svgText } from "./svg.js";

// An upright bar at x from top to top + height, w wide. scale: { ticks, t }
// or null for nothing to scale; title is written upright beside the ticks,
// at titleX.
export function uprightBar(o) {
  const { x, top, height, w, cmap, scale } = o;
  const bottom = top + height, out = [];
  if (scale) {
    for (let k = 0; k < cmap.length; k++) {
      const y0 = bottom - ((k + 1) * height) / cmap.length;
      out.push(`<rect x="${x}" y="${y0.toFixed(2)}" width="${w}" height="${(height / cmap.length + 0.6).toFixed(2)}" fill="${rgb(cmap[k])}"/>`);
    }
    for (const t of scale.ticks) {
      const y = (bottom - Math.min(1, Math.max(0, scale.t(t.v))) * height).toFixed(1);
      out.push(line(x + w, y, x + w + 5, y, INK), svgText(x + w + 8, (Number(y) + 4).toFixed(1), t.text));
    }
  } else if (o.emptyText) {
    out.push(svgText(x, bottom + 16, o.emptyText));
  }
  out.push(`<rect x="${x}" y="${top}" width="${w}" height="${height}" fill="none" stroke="${INK}"/>`);
  if (o.title) {
    const cy = top + height / 2;
    out.push(svgText(o.titleX, cy, o.title, `text-anchor="middle" transform="rotate(90 ${o.titleX} ${cy})"`));
  }
  return out.join("");
}

// A lying bar across the top of a W x H figure, as under the strip of maps.
export function lyingBar(o) {
  const { W, H, cmap, scale } = o;
  const L = 16, R = 40, bw = W - L - R, T = 6, bh = 16, out = [];
  if (scale) {
    for (let k = 0; k < cmap.length; k++) {
      out.push(`<rect x="${(L + (k * bw) / cmap.length).toFixed(2)}" y="${T}" width="${(bw / cmap.length + 0.6).toFixed(2)}" height="${bh}" fill="${rgb(cmap[k])}"/>`);
    }
    for (const t of scale.ticks) {
      const x = (L + scale.t(t.v) * bw).toFixed(1);
      out.push(line(x, T + bh, x, T + bh + 4, INK), svgText(x, T + bh + 16, t.text, 'text-anchor="middle"'));
    }
    out.push(svgText(L + bw / 2, H - 2, o.title, `text-anchor="middle" style="fill:${MUTED}"`));
  } else {
    out.push(`<rect x="${L}" y="${T}" width="${bw}" height="${bh}" fill="${rgb(o.emptyRgb)}"/>`,
      svgText(L + bw / 2, T + bh + 16, o.emptyText, 'text-anchor="middle"'));
  }
  out.push(`<rect x="${L}" y="${T}" width="${bw}" height="${bh}" fill="none" stroke="${INK}"/>`);
  return out.join("");
}
